// Tavo (Client): the desktop program. Everything it needs is built here once
// and handed down; the window's load event then runs the start-up sequence.

#include <QApplication>
#include <filesystem>
#include <string>

#include "commands/client.h"
#include "commands/client_state.h"
#include "link/serial_link.h"
#include "platform/computer_files.h"
#include "platform/serial_port.h"
#include "platform/steady_clock.h"
#include "ui/artwork.h"
#include "ui/client_commands.h"
#include "ui/main_form.h"
#include "ui/window_link_host.h"

namespace {

// The directory that was current at start, ending with the separator. Kept
// as the operating system's bytes: it names the settings file and the ports.
std::string CurrentDirectory() {
  std::error_code error;
  std::string dir = std::filesystem::current_path(error).string();
  const char separator = static_cast<char>(std::filesystem::path::preferred_separator);
  if (!dir.empty() && dir.back() != separator && dir.back() != '/') dir.push_back(separator);
  return dir;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QCoreApplication::setApplicationName("Tavo");
  QCoreApplication::setApplicationVersion(TAVO_VERSION);
  QGuiApplication::setDesktopFileName("tavo");
  QApplication::setWindowIcon(tavo::ui::WindowIcon());

  tavo::commands::ClientState state;
  state.StartDirectory = CurrentDirectory();

  tavo::platform::QtSerialPort port(state.StartDirectory);
  tavo::platform::SteadyClock clock;
  tavo::platform::NativeComputerFiles files;

  tavo::ui::MainForm form(state, files, tavo::ui::DefaultServices());
  tavo::ui::WindowLinkHost host(form, [&port] { return port.OpenFailureText(); });
  tavo::link::SerialLink link(port, clock, host);
  tavo::commands::Client client(state, form, link, files);
  tavo::ui::ClientCommands commands(client);

  form.Form_Load(commands);
  return QApplication::exec();
}

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <algorithm>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <tuple>

#include "commands/client.h"
#include "organizer-sim/organizer.h"
#include "platform/computer_files.h"
#include "platform/serial_port.h"
#include "platform/steady_clock.h"
#include "support/temp_dir.h"
#include "ui/client_commands.h"
#include "ui/main_form.h"
#include "ui/msg.h"

namespace tavo {
namespace {

namespace fs = std::filesystem;

// Runs `rate` times faster than real time, so the 12 s limits pass quickly
// while the waits still block on the real device.
class ScaledClock : public link::Clock {
 public:
  explicit ScaledClock(double rate) : rate_(rate), origin_(steady_.Now()) {}
  double Now() override { return origin_ + (steady_.Now() - origin_) * rate_; }

 private:
  platform::SteadyClock steady_;
  double rate_;
  double origin_;
};

// The program as main() builds it: the real window on the offscreen platform,
// the commands, QSerialPort on COM2 of a temporary start directory served by
// the simulated organizer over a pseudo-terminal, and the computer's files
// below another temporary directory (drive "t").
struct Rig : link::LinkHost {
  testing::TempDir start;
  testing::TempDir pc;
  sim::Organizer organizer;
  std::unique_ptr<sim::PtyServer> server;
  ScaledClock clock;
  int baud;
  commands::ClientState state;
  platform::NativeComputerFiles files{{{'t', pc.path().string()}}};
  platform::QtSerialPort port{start.path().string() + "/"};
  std::unique_ptr<ui::MainForm> form;
  link::SerialLink link{port, clock, *this};
  std::unique_ptr<commands::Client> client;
  std::unique_ptr<ui::ClientCommands> commands;
  std::vector<std::string> messages;
  // Runs whenever the link lets window events run, as the user's hand would.
  std::function<void()> on_pump;
  // Questions are answered with Enter, which takes their default button.
  bool answer_by_keyboard = false;

  explicit Rig(double clock_rate = 1.0, int pty_baud = 0) : clock(clock_rate), baud(pty_baud) {
    // No About window, port COM2 at 38400 baud.
    start.Put("tavo_c.cfg", "0\r\n0\r\n1\r\n0\r\n9375\r\n7425\r\n\r\n\r\n\r\n\r\n 2\r\n 4\r\n");
    state.StartDirectory = start.path().string() + "/";
    ui::WindowServices services;
    services.screen = [] { return settings::ScreenSize{30000, 20000}; };
    services.run_dialog = [this](QDialog& dialog) {
      if (auto* box = qobject_cast<QMessageBox*>(&dialog)) {
        messages.push_back(box->text().toStdString());
        if (answer_by_keyboard && box->icon() == QMessageBox::Question) {
          box->show();
          QTest::keyClick(box, Qt::Key_Return);
          return static_cast<int>(box->standardButton(box->clickedButton()));
        }
      }
      return 0;
    };
    services.end_program = [] {};
    form = std::make_unique<ui::MainForm>(state, files, services);
    client = std::make_unique<commands::Client>(state, *form, link, files);
    commands = std::make_unique<ui::ClientCommands>(*client);
    form->Form_Load(*commands);
  }
  ~Rig() override {
    if (server) server->Stop();
  }
  void PumpEvents() override {
    form->PumpEvents();
    if (on_pump) on_pump();
  }
  void ShowLinkError(const std::string& text) override { messages.push_back(text); }

  // Faults are injected before: from here the organizer is the server's.
  void Serve() {
    server = std::make_unique<sim::PtyServer>(organizer, baud);
    ASSERT_TRUE(server->Link((start.path() / "com2").string()));
  }

  QPushButton* Button(const char* name) const { return form->findChild<QPushButton*>(name); }
  void Click(const char* name) const { QTest::mouseClick(Button(name), Qt::LeftButton); }
  std::vector<std::string> Rows(bool organizer_pane) const {
    std::vector<std::string> rows;
    const int count = organizer_pane ? form->OrganizerRowCount() : form->ComputerRowCount();
    for (int row = 0; row < count; ++row) {
      rows.push_back(organizer_pane ? form->OrganizerRowText(row) : form->ComputerRowText(row));
    }
    return rows;
  }
  int Row(bool organizer_pane, const std::string& text) const {
    const std::vector<std::string> rows = Rows(organizer_pane);
    const auto at = std::find(rows.begin(), rows.end(), text);
    if (at == rows.end()) ADD_FAILURE() << text << " not listed";
    return static_cast<int>(at - rows.begin());
  }
  // The command has ended and left the window usable.
  void ExpectIdle() const {
    EXPECT_FALSE(form->StatusLoaded());
    EXPECT_TRUE(form->MainWindowEnabled());
    EXPECT_FALSE(client->Busy());
    EXPECT_FALSE(port.IsOpen());
  }
  void ExpectUnsynchronized() const {
    EXPECT_EQ(Rows(true), std::vector<std::string>{"unsynchronized ..."});
    for (const char* b : {"Copy1", "Copy2", "CreateDir", "Delete"})
      EXPECT_FALSE(Button(b)->isEnabled());
    EXPECT_TRUE(Button("Synchronize")->isEnabled());
    ExpectIdle();
  }
};

// The keyboard's hand: keys go where the focus is, as they do for a person.
void Key(Qt::Key key) {
  QApplication::processEvents();  // as the event loop does between two keys
  QWidget* focus = QApplication::focusWidget();
  ASSERT_NE(focus, nullptr) << "no widget has the keyboard focus";
  QTest::keyClick(focus, key);
}

QString FocusName() {
  QApplication::processEvents();
  return QApplication::focusWidget() == nullptr ? QString()
                                                : QApplication::focusWidget()->objectName();
}

void TabTo(const char* name) {
  for (int i = 0; i < 20 && FocusName() != name; ++i) Key(Qt::Key_Tab);
  ASSERT_EQ(FocusName(), name);
}

// Moves the current row of the focused pane to the row showing `text`,
// selecting it alone.
void ArrowTo(const Rig& rig, const std::string& text) {
  QApplication::processEvents();
  auto* list = qobject_cast<QTreeWidget*>(QApplication::focusWidget());
  ASSERT_NE(list, nullptr);
  const bool organizer = list->objectName() == "ListView1";
  const int row = rig.Row(organizer, text);
  Key(Qt::Key_Home);
  for (int i = 0; i < row; ++i) Key(Qt::Key_Down);
  ASSERT_EQ(organizer ? rig.form->OrganizerCurrentRow() : rig.form->ComputerCurrentRow(), row);
}

// Over a paced line, so that blocks arrive a few characters at a time while
// the port sleeps through their arrivals. Files of no bytes, of one whole
// part and of three parts, and a name that is no UTF-8, come back as they were.
TEST(Window, ATreeIsWalkedCopiedAndDeletedWithTheKeyboardAlone) {
  Rig rig(1.0, 115200);
  rig.answer_by_keyboard = true;
  std::string bytes(5000, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 256);
  fs::create_directories(rig.pc.path() / "tree" / "sub");
  fs::create_directories(rig.pc.path() / "back");
  rig.pc.Put("tree/empty", "");
  rig.pc.Put("tree/a.txt", bytes.substr(0, 1956));
  rig.pc.Put("tree/sub/b.txt", bytes);
  rig.pc.Put("tree/sub/caf\xe9", "x");
  rig.client->ListComputerDirectory();
  rig.Serve();
  QApplication::setActiveWindow(rig.form.get());
  rig.form->activateWindow();
  TabTo("Synchronize");
  Key(Qt::Key_Space);
  TabTo("ListView2");
  ArrowTo(rig, "<tree>");
  TabTo("Copy2");
  Key(Qt::Key_Space);  // "<<< Copy"
  TabTo("ListView1");
  ArrowTo(rig, "<tree>");
  Key(Qt::Key_Return);
  ArrowTo(rig, "<sub>");
  Key(Qt::Key_Enter);
  EXPECT_EQ(rig.Rows(true), (std::vector<std::string>{"<..>", "b.txt", "caf\xe9"}));
  Key(Qt::Key_Backspace);
  Key(Qt::Key_Backspace);
  ArrowTo(rig, "<tree>");
  TabTo("ListView2");
  ArrowTo(rig, "<back>");
  Key(Qt::Key_Return);
  TabTo("Copy1");
  Key(Qt::Key_Space);  // "Copy >>>" of the organizer's <tree>, still selected
  EXPECT_EQ(testing::ReadTree(rig.pc.path() / "back" / "tree"),
            testing::ReadTree(rig.pc.path() / "tree"));

  TabTo("ListView1");
  ArrowTo(rig, "<tree>");
  Key(Qt::Key_Delete);
  EXPECT_EQ(rig.messages, std::vector<std::string>{"Are you sure?"});
  EXPECT_EQ(rig.Rows(true), (std::vector<std::string>{"<Sharp Memos>"}));
  rig.ExpectIdle();
  rig.server->Stop();
  EXPECT_EQ(rig.organizer.Texts().size(), 1u);  // the root index alone
}

// A silent organizer costs one reply limit; a line going dead (a USB adapter
// pulled) closes the port, so the command ends at once. A stall would cost a
// further whole limit, so each budget leaves most of a limit for the real work
// around the waits, which a sanitizer build or a busy machine slows severalfold
// (on the silent line's clock, 10 times as fast, that work counts tenfold).
TEST(Window, SilenceAndHangUpEndUnsynchronizedInBoundedTime) {
  constexpr double kLimit = link::kReplyLimit;
  for (const auto& [fault, rate, least, most] :
       {std::tuple{sim::FaultKind::kSilence, 10.0, kLimit, 2 * kLimit},
        {sim::FaultKind::kHangUp, 1.0, 0.0, kLimit / 2}}) {
    Rig rig(rate);
    rig.organizer.InjectFault({fault, fault == sim::FaultKind::kSilence ? 1 : 2});
    rig.Serve();
    const double real_start = platform::SteadyClock().Now();
    const double start = rig.clock.Now();
    rig.Click("Synchronize");
    rig.ExpectUnsynchronized();
    EXPECT_GE(rig.clock.Now() - start, least);
    EXPECT_LT(rig.clock.Now() - start, most);
    EXPECT_LT(platform::SteadyClock().Now() - real_start, kLimit / 2);
  }
}

// While a command runs the user reaches only the status window; its Cancel,
// and the main window's close box, stop the command instead of ending the
// program in the middle of an exchange, and the window comes back usable.
TEST(Window, CancelAndTheCloseBoxStopASynchronize) {
  for (bool close_box : {false, true}) {
    SCOPED_TRACE(close_box ? "close box" : "Cancel");
    Rig rig(1.0, 9600);
    for (int i = 0; i < 40; ++i) rig.organizer.PutText("memo " + std::to_string(i), "x");
    rig.Serve();
    bool stopped = false;
    rig.on_pump = [&] {
      if (stopped || !rig.form->StatusLoaded()) return;
      stopped = true;
      EXPECT_FALSE(rig.form->MainWindowEnabled());
      if (close_box) {
        EXPECT_FALSE(rig.form->close());
      } else {
        QTest::mouseClick(rig.form->StatusWindow()->findChild<QPushButton*>("Command1"),
                          Qt::LeftButton);
      }
    };
    rig.Click("Synchronize");
    EXPECT_TRUE(stopped);
    EXPECT_TRUE(rig.form->isVisible());
    rig.ExpectUnsynchronized();
  }
}

std::string Self() {
  std::ifstream in("/proc/self/comm");
  std::string name;
  std::getline(in, name);
  return name + " (pid " + std::to_string(::getpid()) + ")";
}

// Another program on the window's COM2 by another path (its /dev/pts name;
// here another opening in this process, which the lock treats alike):
// Synchronize is refused and names it; once it lets go, Synchronize works.
TEST(Window, APortInUseIsRefusedAndItsHolderNamed) {
  Rig rig;
  rig.Serve();
  const std::string device = fs::canonical(rig.server->SlavePath()).string();
  platform::QtSerialPort other("/");
  other.SetDevice(rig.server->SlavePath());
  ASSERT_TRUE(other.Open(link::PortSettings{}));
  rig.Click("Synchronize");
  rig.ExpectUnsynchronized();
  // What the window's error box says below "Can't open serial port!".
  EXPECT_EQ(rig.port.OpenFailureText(), "COM2 (" + device + ") is in use by " + Self() +
                                            ".\nClose it, or choose another port.");
  other.Close();
  rig.Click("Synchronize");
  EXPECT_TRUE(rig.client->Synchronized());
}

// Two organizers, each reached as ./com2 from its own directory, do not
// block each other: the lock is the device's, not the path's.
TEST(SerialPort, TwoDevicesByTheSameRelativePathBothOpen) {
  sim::Organizer a_organizer, b_organizer;
  sim::PtyServer a(a_organizer, 0), b(b_organizer, 0);
  testing::TempDir a_dir, b_dir;
  ASSERT_TRUE(a.Link((a_dir.path() / "com2").string()));
  ASSERT_TRUE(b.Link((b_dir.path() / "com2").string()));
  platform::QtSerialPort a_port(""), b_port("");
  a_port.SetDevice("./com2");
  b_port.SetDevice("./com2");
  const fs::path before = fs::current_path();
  fs::current_path(a_dir.path());
  EXPECT_TRUE(a_port.Open(link::PortSettings{})) << a_port.ErrorText();
  fs::current_path(b_dir.path());
  EXPECT_TRUE(b_port.Open(link::PortSettings{})) << b_port.ErrorText();
  fs::current_path(before);
  EXPECT_EQ(b_port.DeviceName(), fs::canonical(b.SlavePath()).string());
  a.Stop();
  b.Stop();
}

}  // namespace
}  // namespace tavo

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

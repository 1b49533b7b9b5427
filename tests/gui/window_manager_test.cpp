// The main window under a real window manager (run by under_window_manager.sh):
// the frame it draws is part of the outer size that is stored and applied.

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <memory>

#include "platform/computer_files.h"
#include "support/temp_dir.h"
#include "ui/main_form.h"
#include "ui/twips.h"

namespace tavo::ui {
namespace {

class IdleCommands : public WindowCommands {
 public:
  void Synchronize_Click() override {}
  void ListView1_DblClick() override {}
  void Copy1_Click() override {}
  void Copy2_Click() override {}
  void Delete_Click() override {}
  void CreateDir_Click() override {}
  void ListComputerDirectory() override {}
  void Drive1_Change() override {}
  void ListView2_DblClick() override {}
  void SetUnsynchronized() override {}
  void RequestStop() override {}
  bool Busy() const override { return false; }
};

std::string Settings(int left, int top, int width, int height) {
  const auto n = [](int v) { return " " + std::to_string(v) + "\r\n"; };
  return n(left) + n(top) + "1\r\n0\r\n" + n(width) + n(height) + "\r\n\r\n\r\n\r\n 2\r\n 2\r\n";
}

// Waits until the window manager has framed the window and the frame holds
// still for a moment.
QRect SettledFrame(const QWidget& window) {
  QElapsedTimer timer;
  timer.start();
  QRect last;
  qint64 still_since = 0;
  while (timer.elapsed() < 5000) {
    QTest::qWait(20);
    const QRect frame = window.frameGeometry();
    if (frame == last && frame.size() != window.geometry().size()) {
      if (timer.elapsed() - still_since >= 150) return frame;
    } else {
      last = frame;
      still_since = timer.elapsed();
    }
  }
  ADD_FAILURE() << "the window manager never framed the window";
  return window.frameGeometry();
}

class WindowManagerTest : public ::testing::Test {
 protected:
  // One start of the program: the window comes up, settles, and the user
  // closes it after `user` has had its way. Returns the frame it came up with.
  QRect Run(const std::function<void(MainForm&)>& user = {}) {
    commands::ClientState state;
    state.StartDirectory = dir_.path().string() + "/";
    WindowServices services = DefaultServices();
    services.end_program = [] {};
    MainForm form(state, files_, services);
    IdleCommands commands;
    form.Form_Load(commands);
    const QRect frame = SettledFrame(form);
    if (user) user(form);
    form.close();
    return frame;
  }

  testing::TempDir dir_;
  platform::NativeComputerFiles files_{{{'c', "/"}}};
};

TEST_F(WindowManagerTest, TenStartsGiveBackTheStoredFrame) {
  const std::string stored = Settings(1500, 1200, 9375, 7425);
  dir_.Put("tavo_c.cfg", stored);
  for (int start = 0; start < 10; ++start) {
    SCOPED_TRACE(start);
    EXPECT_EQ(Run(), TwipsRect(1500, 1200, 9375, 7425));
    ASSERT_EQ(dir_.Get("tavo_c.cfg"), stored);
  }
}

TEST_F(WindowManagerTest, AMovedAndResizedWindowComesBackWhereTheUserLeftIt) {
  dir_.Put("tavo_c.cfg", Settings(0, 0, 9375, 7425));
  QRect left_at;
  Run([&](MainForm& form) {
    // The window manager carries the request out, as after a drag.
    form.move(form.frameGeometry().topLeft() + QPoint(130, 70));
    form.resize(form.size() + QSize(110, 60));
    left_at = SettledFrame(form);
  });
  EXPECT_EQ(Run(), left_at);
  EXPECT_EQ(Run(), left_at);
}

}  // namespace
}  // namespace tavo::ui

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

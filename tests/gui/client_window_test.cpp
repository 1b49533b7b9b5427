#include <gtest/gtest.h>

#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <memory>

#include "commands/client.h"
#include "gui_fakes.h"
#include "link/serial_link.h"
#include "support/fake_port.h"
#include "ui/client_commands.h"
#include "ui/main_form.h"
#include "ui/msg.h"

namespace tavo::ui {
namespace {

// The real window driven through the real commands over a scripted port.
class ClientWindowTest : public ::testing::Test {
 protected:
  class Host : public link::LinkHost {
   public:
    explicit Host(ClientWindowTest& t) : t_(t) {}
    void PumpEvents() override {
      t_.form_->PumpEvents();
      if (t_.on_pump_) t_.on_pump_();
    }
    void ShowLinkError(const std::string& text) override { t_.form_->ShowMessage(text); }

   private:
    ClientWindowTest& t_;
  };

  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    state_.StartDirectory = testing::NativeDir(dir_);
    // No About window, so the start needs no clock.
    testing::WriteFile(state_.StartDirectory + "tavo_c.cfg",
                       "0\r\n0\r\n1\r\n0\r\n9375\r\n7425\r\n\r\n\r\n\r\n\r\n2\r\n2\r\n");
    WindowServices services;
    services.screen = [] { return settings::ScreenSize{30000, 20000}; };
    services.run_dialog = [this](QDialog&) {
      ++dialogs_;
      return 0;
    };
    services.end_program = [] {};
    form_ = std::make_unique<MainForm>(state_, files_, services);
    client_ = std::make_unique<commands::Client>(state_, *form_, link_, files_);
    commands_ = std::make_unique<ClientCommands>(*client_);
    form_->Form_Load(*commands_);
  }

  bool Enabled(const char* name) const { return form_->findChild<QWidget*>(name)->isEnabled(); }
  void ExpectOrganizerButtons(bool enabled) const {
    for (const char* b : {"Copy1", "Copy2", "CreateDir", "Delete"}) {
      EXPECT_EQ(Enabled(b), enabled) << b;
    }
    EXPECT_TRUE(Enabled("Synchronize"));
  }
  // "get fs0" finds nothing; writing the empty root index gets its three "ok".
  void ScriptEmptyRootIndex() {
    port_.Arrive("missing\n");
    port_.Arrive("ok\nok\nok\n");
  }
  void ClickSynchronize() {
    QTest::mouseClick(form_->findChild<QPushButton*>("Synchronize"), Qt::LeftButton);
  }

  QTemporaryDir dir_;
  commands::ClientState state_;
  testing::FakeComputerFiles files_;
  tavo::testing::FakeClock clock_;
  tavo::testing::FakePort port_{clock_};
  Host host_{*this};
  link::SerialLink link_{port_, clock_, host_};
  std::function<void()> on_pump_;
  int dialogs_ = 0;
  std::unique_ptr<MainForm> form_;
  std::unique_ptr<commands::Client> client_;
  std::unique_ptr<ClientCommands> commands_;
};

TEST_F(ClientWindowTest, StartsUnsynchronizedWithoutOpeningThePort) {
  ASSERT_EQ(form_->OrganizerRowCount(), 1);
  EXPECT_EQ(form_->OrganizerRowText(0), "unsynchronized ...");
  EXPECT_FALSE(Enabled("ListView1"));
  ExpectOrganizerButtons(false);
  EXPECT_EQ(port_.opens, 0);
}

TEST_F(ClientWindowTest, SynchronizeWithoutRootIndexShowsTheRoot) {
  // After the flush: "dir" with no memos, "get fs0" not found, then the
  // three "ok" of writing the empty root index.
  port_.Arrive("0\nok\n", 1.0);
  ScriptEmptyRootIndex();
  ClickSynchronize();
  EXPECT_EQ(port_.written.substr(0, 13), "dir\nget fs0\np");
  ASSERT_EQ(form_->OrganizerRowCount(), 1);
  EXPECT_EQ(form_->OrganizerRowText(0), "<Sharp Memos>");
  EXPECT_TRUE(Enabled("ListView1"));
  ExpectOrganizerButtons(true);
  EXPECT_FALSE(form_->StatusLoaded());
  EXPECT_TRUE(form_->MainWindowEnabled());
  EXPECT_FALSE(port_.IsOpen());
}

TEST_F(ClientWindowTest, SilentOrganizerEndsUnsynchronized) {
  ClickSynchronize();  // every wait runs out on the fake clock
  EXPECT_EQ(form_->OrganizerRowText(0), "unsynchronized ...");
  ExpectOrganizerButtons(false);
  EXPECT_FALSE(form_->StatusLoaded());
  EXPECT_TRUE(form_->MainWindowEnabled());
  EXPECT_FALSE(client_->Busy());
}

TEST_F(ClientWindowTest, CancelDuringSynchronizeEndsUnsynchronized) {
  port_.Arrive("2\n", 1.0);
  port_.Arrive("a\n", 3.0);
  port_.Arrive("b\nok\n", 3.0);
  ScriptEmptyRootIndex();  // so that only the stop can make it fail
  bool cancelled = false;
  on_pump_ = [&] {
    if (cancelled || !form_->StatusLoaded()) return;
    // The user can reach nothing but the status window's button.
    EXPECT_FALSE(form_->MainWindowEnabled());
    EXPECT_TRUE(client_->Busy());
    auto* cancel = form_->StatusWindow()->findChild<QPushButton*>("Command1");
    QTest::mouseClick(cancel, Qt::LeftButton);
    cancelled = true;
  };
  ClickSynchronize();
  EXPECT_TRUE(cancelled);
  EXPECT_EQ(form_->OrganizerRowText(0), "unsynchronized ...");
  ExpectOrganizerButtons(false);
  EXPECT_FALSE(form_->StatusLoaded());
  EXPECT_TRUE(form_->MainWindowEnabled());
}

TEST_F(ClientWindowTest, CloseBoxDuringSynchronizeStopsInsteadOfExiting) {
  port_.Arrive("1\n", 1.0);
  port_.Arrive("a\nok\n", 3.0);
  ScriptEmptyRootIndex();
  bool closed = false;
  on_pump_ = [&] {
    if (closed || !form_->StatusLoaded()) return;
    closed = true;
    EXPECT_FALSE(form_->close());
  };
  ClickSynchronize();
  EXPECT_TRUE(closed);
  EXPECT_TRUE(form_->isVisible());
  EXPECT_EQ(form_->OrganizerRowText(0), "unsynchronized ...");
}

}  // namespace
}  // namespace tavo::ui

#include "ui/main_form.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <algorithm>
#include <memory>

#include "gui_fakes.h"
#include "ui/display_text.h"
#include "ui/input_new_dir.h"
#include "ui/msg.h"
#include "ui/twips.h"

namespace tavo::ui {
namespace {

using testing::FakeComputerFiles;
using testing::ManualWaitClock;
using testing::ReadFile;
using testing::RecordingCommands;
using testing::WriteFile;

constexpr const char* kStoredGeometry =
    "300\r\n450\r\n1\r\n0\r\n7000\r\n6000\r\n\r\n\r\n\r\n\r\n 3\r\n4\r\n";

class MainFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    state_.StartDirectory = testing::NativeDir(dir_);
    services_.screen = [] { return settings::ScreenSize{30000, 20000}; };
    services_.open_document = [this](const std::string& path) { opened_.push_back(path); };
    services_.run_dialog = [this](QDialog& dialog) { return answer_dialog_(dialog); };
    services_.clock = clock_.Clock();
    services_.end_program = [this] { ++ended_; };
  }

  void Load(const std::string& config_file) {
    if (!config_file.empty()) WriteFile(CfgPath(), config_file);
    form_ = std::make_unique<MainForm>(state_, files_, services_);
    commands_ = std::make_unique<RecordingCommands>(state_);
    form_->Form_Load(*commands_);
  }

  std::string CfgPath() const { return state_.StartDirectory + "tavo_c.cfg"; }
  template <typename T>
  T* Find(const char* name) const {
    return form_->findChild<T*>(name);
  }
  bool Enabled(const char* name) const {
    const QWidget* w = Find<QWidget>(name);
    return w != nullptr && w->isEnabled();
  }

  QTemporaryDir dir_;
  commands::ClientState state_;
  FakeComputerFiles files_;
  ManualWaitClock clock_;
  WindowServices services_;
  std::vector<std::string> opened_;
  std::function<int(QDialog&)> answer_dialog_ = [](QDialog&) { return 0; };
  int ended_ = 0;
  std::unique_ptr<MainForm> form_;
  std::unique_ptr<RecordingCommands> commands_;
};

TEST_F(MainFormTest, StartsUnsynchronizedWithTheComputerListed) {
  state_.ReloadMemoView = true;
  Load(kStoredGeometry);
  EXPECT_EQ(commands_->calls,
            (std::vector<std::string>{"ListComputerDirectory", "SetUnsynchronized"}));
  EXPECT_TRUE(form_->isVisible());
  EXPECT_EQ(form_->windowTitle(), "Tavo (Client)");
  EXPECT_FALSE(state_.ReloadMemoView);
  EXPECT_EQ(state_.ComputerDrive, "h");
  EXPECT_EQ(state_.ComputerPath, "\\");
  EXPECT_TRUE(form_->MainWindowEnabled());

  auto* list = Find<QTreeWidget>("ListView2");
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->headerItem()->text(0), "Filename:");
  EXPECT_EQ(list->headerItem()->text(1), "Size (bytes):");
  EXPECT_EQ(list->selectionMode(), QAbstractItemView::ExtendedSelection);
  // The design width, or what the header's font needs to show it whole.
  EXPECT_EQ(list->columnWidth(1), std::max(TwipsToPx(1100), list->header()->sectionSizeHint(1)));
  EXPECT_EQ(clock_.sleeps, 0);  // ShowAboutAtStart is "0"
}

TEST_F(MainFormTest, StartUpGeometryComesFromTheSettings) {
  Load(kStoredGeometry);
  const QRect outer = form_->frameGeometry();
  EXPECT_EQ(outer.left(), TwipsToPx(300));
  EXPECT_EQ(outer.top(), TwipsToPx(450));
  EXPECT_EQ(outer.width(), TwipsToPx(7000));
  EXPECT_EQ(outer.height(), TwipsToPx(6000));
}

TEST_F(MainFormTest, StoredSizeBelowTheMinimumOpensAtTheMinimum) {
  Load("0\r\n0\r\n1\r\n0\r\n100\r\n200\r\n\r\n\r\n\r\n\r\n2\r\n2\r\n");
  EXPECT_EQ(form_->frameGeometry().width(), TwipsToPx(6400));
  EXPECT_EQ(form_->frameGeometry().height(), TwipsToPx(5400));
}

TEST_F(MainFormTest, AboutWindowWaitsTwoSecondsBeforeTheWindowAppears) {
  bool main_visible_during_wait = false;
  bool about_visible_during_wait = false;
  services_.clock.sleep = [&](double s) {
    clock_.now += s;
    clock_.slept += s;
    main_visible_during_wait |= form_ != nullptr && form_->isVisible();
    for (QWidget* w : QApplication::topLevelWidgets()) {
      about_visible_during_wait |= w->objectName() == "About" && w->isVisible();
    }
  };
  Load("");  // no settings file: the defaults show the About window
  EXPECT_GE(clock_.slept, 2.0);
  EXPECT_LT(clock_.slept, 2.1);
  EXPECT_TRUE(about_visible_during_wait);
  EXPECT_FALSE(main_visible_during_wait);
  for (QWidget* w : QApplication::topLevelWidgets()) {
    EXPECT_FALSE(w->objectName() == "About" && w->isVisible());
  }
  EXPECT_TRUE(form_->MainWindowEnabled());
}

TEST_F(MainFormTest, NarrowWindowSpringsBackAndControlsFollowTheLayout) {
  Load(kStoredGeometry);
  form_->SetOuterGeometry(form_->OuterLeft(), form_->OuterTop(), 5000, 9000);
  QApplication::processEvents();
  EXPECT_EQ(form_->frameGeometry().width(), TwipsToPx(6400));
  EXPECT_EQ(form_->frameGeometry().height(), TwipsToPx(9000));

  form_->SetOuterGeometry(form_->OuterLeft(), form_->OuterTop(), 12000, 8000);
  QApplication::processEvents();
  const WindowLayout& l = form_->CurrentLayout();
  EXPECT_NEAR(l.window_width, 12000, 15);
  auto* copy2 = Find<QPushButton>("Copy2");
  auto* frame3 = Find<QWidget>("Frame3");
  auto* synchronize = Find<QPushButton>("Synchronize");
  EXPECT_EQ(copy2->x(), frame3->x());
  EXPECT_EQ(synchronize->geometry(), TwipsRect(l.synchronize.left, l.synchronize.top,
                                               l.synchronize.width, l.synchronize.height));
  // Together the two columns take the width the layout planned.
  for (const char* name : {"ListView1", "ListView2"}) {
    const QTreeWidget* list = Find<QTreeWidget>(name);
    EXPECT_EQ(list->columnWidth(0) + list->columnWidth(1),
              TwipsToPx(l.name_column1) + TwipsToPx(1100));
  }
}

TEST_F(MainFormTest, ExitStoresTheGeometryWithLeadingBlanks) {
  Load(kStoredGeometry);
  form_->ExitProgram();
  const auto px = [](double t) { return std::to_string(std::lround(PxToTwips(TwipsToPx(t)))); };
  EXPECT_EQ(ReadFile(CfgPath()), " " + px(300) + "\r\n " + px(450) + "\r\n1\r\n0\r\n " + px(7000) +
                                     "\r\n " + px(6000) + "\r\n\r\n\r\n\r\n\r\n 3\r\n4\r\n");
  EXPECT_EQ(ended_, 1);
}

TEST_F(MainFormTest, CloseBoxWhenIdleExits) {
  Load(kStoredGeometry);
  EXPECT_TRUE(form_->close());
  EXPECT_EQ(ended_, 1);
  EXPECT_NE(ReadFile(CfgPath()), "<missing>");
}

TEST_F(MainFormTest, StatusWindowCancelStopsOnceAndOnlyTheActionUnloadsIt) {
  Load(kStoredGeometry);
  state_.StopRequested = 1;  // left over from an earlier action
  form_->StatusShow("Synchronizing (can take some time - wait, please) ...");
  Msg* msg = form_->StatusWindow();
  ASSERT_NE(msg, nullptr);
  EXPECT_TRUE(msg->isVisible());
  EXPECT_EQ(state_.StopRequested, 0);
  EXPECT_FALSE(form_->MainWindowEnabled());
  EXPECT_FALSE(form_->centralWidget()->isEnabled());
  EXPECT_FALSE(form_->menuBar()->isEnabled());
  EXPECT_TRUE(msg->isEnabled());
  EXPECT_EQ(msg->windowTitle(), " ");
  EXPECT_EQ(msg->Text(), "Synchronizing (can take some time - wait, please) ...");

  const QPoint where = msg->pos();
  form_->StatusShow("Copying a.txt (50%) ...");
  EXPECT_EQ(msg->pos(), where);
  EXPECT_EQ(msg->Text(), "Copying a.txt (50%) ...");

  auto* cancel = msg->findChild<QPushButton*>("Command1");
  ASSERT_NE(cancel, nullptr);
  EXPECT_EQ(cancel->text(), "Cancel");
  QTest::mouseClick(cancel, Qt::LeftButton);
  EXPECT_EQ(state_.StopRequested, 1);
  EXPECT_FALSE(cancel->isEnabled());
  EXPECT_EQ(commands_->calls.back(), "RequestStop");

  // Neither the close box nor Escape unloads it mid-action.
  msg->close();
  QTest::keyClick(msg, Qt::Key_Escape);
  EXPECT_TRUE(msg->isVisible());
  EXPECT_TRUE(form_->StatusLoaded());

  form_->SetMainWindowEnabled(true);
  form_->StatusUnload();
  EXPECT_FALSE(msg->isVisible());
  EXPECT_TRUE(form_->centralWidget()->isEnabled());

  form_->StatusShow("Entering directory ...");
  EXPECT_TRUE(cancel->isEnabled());
  EXPECT_EQ(state_.StopRequested, 0);
}

TEST_F(MainFormTest, ButtonsAndDoubleClicksStartTheirCommandsUnlessOneRuns) {
  Load(kStoredGeometry);
  for (auto b : {commands::OrganizerButton::kCopy1, commands::OrganizerButton::kCopy2,
                 commands::OrganizerButton::kCreateDir, commands::OrganizerButton::kDelete}) {
    form_->SetOrganizerButtonEnabled(b, true);
  }
  form_->SetOrganizerPaneEnabled(true);
  form_->SetOrganizerRows({{"<Sharp Memos>", ""}, {"a", "< 2Kb"}});
  form_->SetComputerRows({{"<docs>", ""}});
  commands_->calls.clear();
  for (const char* b : {"Synchronize", "Copy1", "Copy2", "Delete", "CreateDir"}) {
    QTest::mouseClick(Find<QPushButton>(b), Qt::LeftButton);
  }
  auto dbl = [this](const char* name) {
    auto* list = Find<QTreeWidget>(name);
    QApplication::processEvents();
    const QRect r = list->visualItemRect(list->topLevelItem(0));
    // A real double-click starts with a press on the row.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, r.center());
  };
  dbl("ListView1");
  dbl("ListView2");
  EXPECT_EQ(commands_->calls, (std::vector<std::string>{
                                  "Synchronize_Click", "Copy1_Click", "Copy2_Click", "Delete_Click",
                                  "CreateDir_Click", "ListView1_DblClick", "ListView2_DblClick"}));
  EXPECT_TRUE(form_->OrganizerRowSelected(0));
  EXPECT_EQ(form_->OrganizerCurrentRow(), 0);

  auto* drive = Find<QComboBox>("Drive1");
  drive->setCurrentIndex(0);
  EXPECT_EQ(commands_->calls.back(), "Drive1_Change");
  EXPECT_EQ(form_->SelectedDriveText(), "c: [system]");

  commands_->calls.clear();
  commands_->busy = true;
  QTest::mouseClick(Find<QPushButton>("Synchronize"), Qt::LeftButton);
  EXPECT_TRUE(commands_->calls.empty());
}

TEST_F(MainFormTest, PaneRowsGiveBackTheirExactBytes) {
  Load(kStoredGeometry);
  std::string all;
  for (int c = 0; c < 256; ++c) all.push_back(static_cast<char>(c));
  std::vector<commands::PaneRow> rows = {{all, "12"}};
  for (int c = 0; c < 256; ++c) rows.push_back({std::string(1, static_cast<char>(c)) + " ", ""});
  rows.push_back({"caf\xc3\xa9", ""});
  form_->SetOrganizerRows(rows);
  form_->SetComputerRows(rows);
  ASSERT_EQ(form_->OrganizerRowCount(), 258);
  ASSERT_EQ(form_->ComputerRowCount(), 258);
  for (int r = 0; r < 258; ++r) {
    EXPECT_EQ(form_->OrganizerRowText(r), rows[r].text) << r;
    EXPECT_EQ(form_->ComputerRowText(r), rows[r].text) << r;
  }
  EXPECT_EQ(form_->OrganizerRowText(999), "");
  EXPECT_EQ(form_->OrganizerCurrentRow(), -1);

  // Shown text: UTF-8 where it is valid, one character per byte elsewhere.
  auto* list = Find<QTreeWidget>("ListView1");
  EXPECT_EQ(list->topLevelItem(257)->text(0), QString::fromUtf8("caf\xc3\xa9"));
  EXPECT_EQ(list->topLevelItem(0xe9 + 1)->text(0), QString(QChar(0xe9)) + " ");
  EXPECT_EQ(list->topLevelItem(1 + 1)->text(0), QString(QChar(0x2401)) + " ");
  EXPECT_EQ(list->topLevelItem(0)->text(1), "12");

  form_->SetOrganizerRowSelected(3, true);
  form_->SetComputerRowSelected(5, true);
  EXPECT_TRUE(form_->OrganizerRowSelected(3));
  EXPECT_FALSE(form_->OrganizerRowSelected(4));
  EXPECT_TRUE(form_->ComputerRowSelected(5));
  form_->SetOrganizerRowSelected(3, false);
  EXPECT_FALSE(form_->OrganizerRowSelected(3));
}

TEST_F(MainFormTest, HelpItemsOpenTheirDocuments) {
  const std::string installed = testing::NativeDir(dir_) + "installed/";
  ASSERT_TRUE(QDir(dir_.path()).mkdir("installed"));
  services_.document_dirs = {installed};
  WriteFile(state_.StartDirectory + "tavo_client.license.html", "x");
  WriteFile(installed + "tavo_client.readme.html", "x");
  WriteFile(installed + "tavo_client.license.html", "x");
  Load(kStoredGeometry);
  for (const char* item : {"license", "readme", "limit", "historyfile", "CheckUp", "onlinedoc"}) {
    auto* action = form_->findChild<QAction*>(item);
    ASSERT_NE(action, nullptr) << item;
    action->trigger();
  }
  EXPECT_EQ(opened_, (std::vector<std::string>{
                         state_.StartDirectory + "tavo_client.license.html",
                         installed + "tavo_client.readme.html",
                         state_.StartDirectory + "tavo_client.limitations.html",
                         state_.StartDirectory + "tavo_client.history.html",
                         state_.StartDirectory + "tavo_client_version.html",
                         installed + "tavo_client.readme.html",
                     }));
}

TEST_F(MainFormTest, AboutFromTheMenuIsModalAndClosesOnAClick) {
  Load(kStoredGeometry);
  bool seen = false;
  answer_dialog_ = [&](QDialog& dialog) {
    seen = dialog.objectName() == "About";
    EXPECT_EQ(dialog.size(), TwipsSize(7500, 4485));
    dialog.show();
    QTest::mouseClick(&dialog, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_FALSE(dialog.isVisible());
    return dialog.result();
  };
  form_->findChild<QAction*>("Help_About")->trigger();
  EXPECT_TRUE(seen);
}

TEST_F(MainFormTest, MessageBoxes) {
  Load(kStoredGeometry);
  QString title;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
  int answer = QMessageBox::Yes;
  answer_dialog_ = [&](QDialog& dialog) {
    auto& box = dynamic_cast<QMessageBox&>(dialog);
    title = box.windowTitle();
    icon = box.icon();
    buttons = box.standardButtons();
    return answer;
  };
  EXPECT_TRUE(form_->AskQuestion("File a exists! Overwrite?"));
  EXPECT_EQ(title, "Question");
  EXPECT_EQ(icon, QMessageBox::Question);
  EXPECT_EQ(buttons, QMessageBox::Yes | QMessageBox::No);
  answer = QMessageBox::No;
  EXPECT_FALSE(form_->AskQuestion("Are you sure?"));

  form_->ShowMessage("Error: Can't open serial port!");
  EXPECT_EQ(title, QCoreApplication::applicationName());
  EXPECT_EQ(buttons, QMessageBox::Ok);
}

TEST_F(MainFormTest, NewDirectoryNameDialog) {
  Load(kStoredGeometry);
  auto press = [&](const char* button, const QString& typed) {
    answer_dialog_ = [=](QDialog& dialog) {
      auto& input = dynamic_cast<InputNewDir&>(dialog);
      EXPECT_EQ(input.windowTitle(), "Choosing directory name ...");
      EXPECT_TRUE(input.Text1()->text().isEmpty());
      input.Text1()->insert(typed);
      // Enter in the text box must not press a button.
      QTest::keyClick(input.Text1(), Qt::Key_Return);
      EXPECT_EQ(input.Answer().NewDirectoryResult, 0);
      if (button != nullptr) {
        QTest::mouseClick(input.findChild<QPushButton*>(button), Qt::LeftButton);
      }
      return input.result();
    };
    return form_->AskNewDirectoryName();
  };
  auto ok = press("Command1", QString::fromUtf8("  Bilder \xc3\xa9 "));
  EXPECT_EQ(ok.NewDirectoryResult, 1);
  EXPECT_EQ(ok.NewDirectoryName, "  Bilder \xc3\xa9 ");
  EXPECT_FALSE(form_->MainWindowEnabled());  // the command enables it when it ends
  form_->SetMainWindowEnabled(true);

  EXPECT_EQ(press("Command2", "x").NewDirectoryResult, 2);
  EXPECT_EQ(press(nullptr, "x").NewDirectoryResult, 0);
}

}  // namespace
}  // namespace tavo::ui

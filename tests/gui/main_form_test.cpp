#include "ui/main_form.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <QTest>
#include <QTreeWidget>
#include <algorithm>
#include <limits>
#include <memory>

#include "link/serial_link.h"
#include "platform/computer_files.h"
#include "platform/port_diagnosis.h"
#include "support/fake_port.h"
#include "support/temp_dir.h"
#include "ui/input_new_dir.h"
#include "ui/msg.h"
#include "ui/options_dialogs.h"
#include "ui/twips.h"
#include "ui/window_link_host.h"

namespace tavo::ui {
namespace {

// Records what the window starts.
class RecordingCommands : public WindowCommands {
 public:
  void Synchronize_Click() override { calls.push_back("Synchronize"); }
  void ListView1_DblClick() override { calls.push_back("ListView1"); }
  void Copy1_Click() override { calls.push_back("Copy1"); }
  void Copy2_Click() override { calls.push_back("Copy2"); }
  void Delete_Click() override { calls.push_back("Delete"); }
  void CreateDir_Click() override { calls.push_back("CreateDir"); }
  void ListComputerDirectory() override { calls.push_back("ListComputerDirectory"); }
  void Drive1_Change() override { calls.push_back("Drive1"); }
  void ListView2_DblClick() override { calls.push_back("ListView2"); }
  void SetUnsynchronized() override { calls.push_back("SetUnsynchronized"); }
  void RequestStop() override { calls.push_back("RequestStop"); }
  bool Busy() const override { return busy; }

  std::vector<std::string> calls;
  bool busy = false;
};

// Lines of a settings file: position 300,450, size 7000x6000, About off.
std::string Settings(const char* save = "1", const char* port = " 3", const char* baud = "4") {
  return std::string("300\r\n450\r\n") + save + "\r\n0\r\n7000\r\n6000\r\n\r\n\r\n\r\n\r\n" + port +
         "\r\n" + baud + "\r\n";
}

class MainFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    state_.StartDirectory = dir_.path().string() + "/";
    services_.screen = [] { return settings::ScreenSize{30000, 20000}; };
    services_.open_document = [this](const std::string& path) { opened_.push_back(path); };
    services_.run_dialog = [this](QDialog& dialog) { return answer_dialog_(dialog); };
    services_.clock = {[this] { return slept_; },
                       [this](double seconds) {
                         slept_ += seconds;
                         if (on_sleep_) on_sleep_();
                       }};
    services_.end_program = [this] { ++ended_; };
  }
  void Load(const std::string& settings_file) {
    if (!settings_file.empty()) dir_.Put("tavo_c.cfg", settings_file);
    form_ = std::make_unique<MainForm>(state_, files_, services_);
    form_->Form_Load(commands_);
  }
  template <typename T = QWidget>
  T* Find(const char* name) const {
    return form_->findChild<T*>(name);
  }
  void Trigger(const char* action) const { Find<QAction>(action)->trigger(); }
  // The user's hand in the next dialogs of type T.
  template <typename T>
  void Answer(std::function<void(T&)> user) {
    answer_dialog_ = [user](QDialog& dialog) {
      user(dynamic_cast<T&>(dialog));
      return dialog.result();
    };
  }
  bool AboutShown() const {
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::any_of(windows.begin(), windows.end(),
                       [](QWidget* w) { return w->objectName() == "About" && w->isVisible(); });
  }

  testing::TempDir dir_;
  commands::ClientState state_;
  // Drive "h" holds the current directory.
  platform::NativeComputerFiles files_{{{'c', "/"}, {'h', std::filesystem::current_path()}}};
  RecordingCommands commands_;
  WindowServices services_;
  double slept_ = 0;  // the clock moves only while the window sleeps
  std::function<void()> on_sleep_;
  std::vector<std::string> opened_;
  std::function<int(QDialog&)> answer_dialog_ = [](QDialog&) { return 0; };
  int ended_ = 0;
  std::unique_ptr<MainForm> form_;
};

// The computer pane is listed before the organizer pane falls to
// unsynchronized; the close box, when idle, stores the place with leading
// blanks and ends the program.
TEST_F(MainFormTest, StartsUnsynchronizedWhereTheSettingsSayAndExitStoresThePlace) {
  state_.ReloadMemoView = true;
  Load(Settings());
  EXPECT_EQ(form_->frameGeometry(), TwipsRect(300, 450, 7000, 6000));
  EXPECT_EQ(commands_.calls,
            (std::vector<std::string>{"ListComputerDirectory", "SetUnsynchronized"}));
  EXPECT_TRUE(form_->isVisible() && form_->MainWindowEnabled());
  EXPECT_FALSE(state_.ReloadMemoView);
  EXPECT_EQ(state_.ComputerDrive + state_.ComputerPath, "h\\");
  EXPECT_EQ(slept_, 0);  // no About window

  EXPECT_TRUE(form_->close());
  const auto at = [](double t) {
    return " " + std::to_string(std::lround(PxToTwips(TwipsToPx(t))));
  };
  EXPECT_EQ(dir_.Get("tavo_c.cfg"), at(300) + "\r\n" + at(450) + "\r\n1\r\n0\r\n" + at(7000) +
                                        "\r\n" + at(6000) + "\r\n\r\n\r\n\r\n\r\n 3\r\n4\r\n");
  EXPECT_EQ(ended_, 1);

  Load("0\r\n0\r\n1\r\n0\r\n100\r\n200\r\n\r\n\r\n\r\n\r\n2\r\n2\r\n");
  EXPECT_EQ(form_->frameGeometry().size(), TwipsSize(6400, 5400));  // the minimum
}

// Stored numbers far out of range open a window no larger than the screen's
// free area with some of it on the screen, and are written back so bounded
// even where the geometry is not stored at exit.
TEST_F(MainFormTest, HugeAndNegativeGeometryIsBoundedByTheScreen) {
  services_.screen = [] { return settings::ScreenSize{30000, 20000, 28800, 19200}; };
  Load("-1000000000000\r\n 99999999999\r\n0\r\n0\r\n60000\r\n45000\r\n\r\n\r\n\r\n\r\n2\r\n2\r\n");
  EXPECT_EQ(form_->frameGeometry(), TwipsRect(-27800, 19000, 28800, 19200));
  EXPECT_TRUE(form_->close());
  EXPECT_EQ(dir_.Get("tavo_c.cfg"),
            "-27800\r\n 19000\r\n0\r\n0\r\n 28800\r\n 19200\r\n\r\n\r\n\r\n\r\n2\r\n2\r\n");
  // Pixels saturate rather than wrap around.
  EXPECT_EQ(TwipsToPx(-1e12), std::numeric_limits<int>::min());
  EXPECT_EQ(TwipsToPx(1e300), std::numeric_limits<int>::max());
}

TEST_F(MainFormTest, AboutWindowAloneForTwoSecondsAtStart) {
  bool main_shown = false, about_shown = false;
  on_sleep_ = [&] {
    main_shown |= form_ != nullptr && form_->isVisible();
    about_shown |= AboutShown();
  };
  Load("");  // no settings file: the defaults show the About window
  EXPECT_GE(slept_, 2.0);
  EXPECT_LT(slept_, 2.1);
  EXPECT_TRUE(about_shown);
  EXPECT_FALSE(main_shown);
  EXPECT_FALSE(AboutShown());
  EXPECT_TRUE(form_->MainWindowEnabled());
}

TEST_F(MainFormTest, NarrowWindowSpringsBackAndControlsFollowTheLayout) {
  Load(Settings());
  form_->SetOuterGeometry(form_->OuterLeft(), form_->OuterTop(), 5000, 9000);
  QApplication::processEvents();
  EXPECT_EQ(form_->frameGeometry().size(), TwipsSize(6400, 9000));

  form_->SetOuterGeometry(form_->OuterLeft(), form_->OuterTop(), 12000, 8000);
  QApplication::processEvents();
  const WindowLayout& l = form_->CurrentLayout();
  EXPECT_NEAR(l.window_width, 12000, 15);
  EXPECT_EQ(Find("Synchronize")->geometry(), TwipsRect(l.synchronize.left, l.synchronize.top,
                                                       l.synchronize.width, l.synchronize.height));
  // The name column takes the width the layout planned, less what a wider
  // header font needs for the size column.
  for (const char* name : {"ListView1", "ListView2"}) {
    const QTreeWidget* list = Find<QTreeWidget>(name);
    const int size_hint = std::max(TwipsToPx(1100), list->header()->sectionSizeHint(1));
    EXPECT_EQ(list->columnWidth(0), TwipsToPx(l.name_column1) - (size_hint - TwipsToPx(1100)));
  }
}

// Cancel, the close box and Escape each ask the action to stop, once; only
// the action unloads the status window.
TEST_F(MainFormTest, StatusWindowStopsOnceAndOnlyTheActionUnloadsIt) {
  Load(Settings());
  for (int way = 0; way < 3; ++way) {
    SCOPED_TRACE(way);
    state_.StopRequested = 1;  // left over from an earlier action
    form_->StatusShow("Synchronizing ...");
    Msg* msg = form_->StatusWindow();
    form_->StatusShow("Copying a.txt (50%) ...");
    EXPECT_EQ(msg->Text(), "Copying a.txt (50%) ...");
    EXPECT_TRUE(msg->isVisible() && msg->isEnabled());
    EXPECT_FALSE(form_->MainWindowEnabled() || form_->centralWidget()->isEnabled() ||
                 form_->menuBar()->isEnabled());
    EXPECT_EQ(state_.StopRequested, 0);

    commands_.calls.clear();
    const std::function<void()> stops[] = {
        [&] { QTest::mouseClick(msg->findChild<QPushButton*>("Command1"), Qt::LeftButton); },
        [&] { msg->close(); }, [&] { QTest::keyClick(msg, Qt::Key_Escape); }};
    stops[way]();
    EXPECT_EQ(commands_.calls, std::vector<std::string>{"RequestStop"});
    for (const auto& stop : stops) stop();
    EXPECT_EQ(commands_.calls, std::vector<std::string>{"RequestStop"});  // once
    EXPECT_TRUE(msg->isVisible());
    EXPECT_TRUE(form_->StatusLoaded());

    form_->SetMainWindowEnabled(true);
    form_->StatusUnload();
    EXPECT_FALSE(msg->isVisible());
    EXPECT_TRUE(form_->centralWidget()->isEnabled());
  }
}

TEST_F(MainFormTest, ButtonsStartTheirCommandsUnlessOneRuns) {
  Load(Settings());
  commands_.calls.clear();
  for (const char* b : {"Synchronize", "Copy1", "Copy2", "Delete", "CreateDir"}) {
    QTest::mouseClick(Find<QPushButton>(b), Qt::LeftButton);
  }
  Find<QComboBox>("Drive1")->setCurrentIndex(0);
  EXPECT_EQ(commands_.calls, (std::vector<std::string>{"Synchronize", "Copy1", "Copy2", "Delete",
                                                       "CreateDir", "Drive1"}));
  EXPECT_EQ(form_->SelectedDriveText(), "c: /");

  commands_.calls.clear();
  commands_.busy = true;
  QTest::mouseClick(Find<QPushButton>("Synchronize"), Qt::LeftButton);
  EXPECT_TRUE(commands_.calls.empty());
}

TEST_F(MainFormTest, PaneRowsGiveBackTheirExactBytes) {
  Load(Settings());
  std::string all;
  for (int c = 0; c < 256; ++c) all.push_back(static_cast<char>(c));
  std::vector<commands::PaneRow> rows = {{all, "12"}};
  for (int c = 0; c < 256; ++c) rows.push_back({std::string(1, static_cast<char>(c)) + " ", ""});
  rows.push_back({"caf\xc3\xa9", ""});
  form_->SetOrganizerRows(rows);
  ASSERT_EQ(form_->OrganizerRowCount(), 258);
  for (int r = 0; r < 258; ++r) EXPECT_EQ(form_->OrganizerRowText(r), rows[r].text) << r;
  EXPECT_EQ(form_->OrganizerRowText(999), "");
  EXPECT_EQ(form_->OrganizerCurrentRow(), -1);
  // Shown: UTF-8 where it is valid, else one character per byte, controls as pictures.
  const QTreeWidget* list = Find<QTreeWidget>("ListView1");
  EXPECT_EQ(list->topLevelItem(257)->text(0), QString::fromUtf8("caf\xc3\xa9"));
  EXPECT_EQ(list->topLevelItem(0xe9 + 1)->text(0), QString(QChar(0xe9)) + " ");
  EXPECT_EQ(list->topLevelItem(1 + 1)->text(0), QString(QChar(0x2401)) + " ");
  EXPECT_EQ(list->topLevelItem(0)->text(1), "12");
}

TEST_F(MainFormTest, HelpItemsOpenTheirDocumentsFromTheStartOrTheInstalledDirectory) {
  std::filesystem::create_directory(dir_.path() / "installed");
  const std::string installed = state_.StartDirectory + "installed/";
  services_.document_dirs = {installed};
  for (const char* file : {"tavo_client.license.html", "installed/tavo_client.readme.html",
                           "installed/tavo_client.license.html"}) {
    dir_.Put(file, "x");
  }
  Load(Settings());
  for (const char* item : {"license", "readme", "limit", "historyfile", "CheckUp", "onlinedoc"}) {
    Trigger(item);
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

TEST_F(MainFormTest, QuestionsAnswerYesOrNo) {
  Load(Settings());
  for (const int answer : {QMessageBox::Yes, QMessageBox::No}) {
    answer_dialog_ = [answer](QDialog& dialog) {
      EXPECT_EQ(dynamic_cast<QMessageBox&>(dialog).standardButtons(),
                QMessageBox::Yes | QMessageBox::No);
      return answer;
    };
    EXPECT_EQ(form_->AskQuestion("Are you sure?"), answer == QMessageBox::Yes);
  }
}

// Enter answers nothing; Escape closes the dialog as its close box does,
// without a button's answer.
TEST_F(MainFormTest, NewDirectoryNameDialog) {
  Load(Settings());
  const auto ask = [&](const char* button, const QString& typed) {
    Answer<InputNewDir>([=](InputNewDir& input) {
      input.show();
      input.Text1()->insert(typed);
      QTest::keyClick(input.Text1(), Qt::Key_Return);
      EXPECT_TRUE(input.isVisible());
      EXPECT_EQ(input.Answer().NewDirectoryResult, 0);
      if (button != nullptr) {
        QTest::mouseClick(input.findChild<QPushButton*>(button), Qt::LeftButton);
      } else {
        QTest::keyClick(input.Text1(), Qt::Key_Escape);
      }
      EXPECT_FALSE(input.isVisible());
    });
    return form_->AskNewDirectoryName();
  };
  const commands::NewDirectoryAnswer ok = ask("Command1", QString::fromUtf8("  Bilder \xc3\xa9 "));
  EXPECT_EQ(ok.NewDirectoryResult, 1);
  EXPECT_EQ(ok.NewDirectoryName, "  Bilder \xc3\xa9 ");
  EXPECT_FALSE(form_->MainWindowEnabled());  // the command enables it when it ends
  EXPECT_EQ(ask("Command2", "x").NewDirectoryResult, 2);
  EXPECT_EQ(ask(nullptr, "x").NewDirectoryResult, 0);
}

// On a pane, Enter and Return act as a double-click on the current row,
// Backspace as one on "<..>", and Delete in the organizer pane as "Delete".
TEST_F(MainFormTest, PaneKeysDoWhatTheMouseDoes) {
  Load(Settings());
  const std::vector<commands::PaneRow> rows = {{"<..>", ""}, {"<Letters>", ""}, {"a.txt", "3"}};
  struct Case {
    const char* list;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    int current;  // -1: none
    bool with_parent_row;
    bool delete_enabled;
    std::vector<std::string> calls;
    int current_after;
  };
  const Case cases[] = {
      {"ListView1", Qt::Key_Return, Qt::NoModifier, 1, true, true, {"ListView1"}, 1},
      {"ListView2", Qt::Key_Enter, Qt::KeypadModifier, 2, true, true, {"ListView2"}, 2},
      {"ListView2", Qt::Key_Return, Qt::NoModifier, -1, true, true, {}, -1},
      {"ListView2", Qt::Key_Return, Qt::ControlModifier, 1, true, true, {}, 1},
      {"ListView1", Qt::Key_Backspace, Qt::NoModifier, 2, true, true, {"ListView1"}, 0},
      {"ListView2", Qt::Key_Backspace, Qt::NoModifier, 2, true, true, {"ListView2"}, 0},
      {"ListView2", Qt::Key_Backspace, Qt::NoModifier, 1, false, true, {}, 1},
      {"ListView1", Qt::Key_Delete, Qt::NoModifier, 2, true, true, {"Delete"}, 2},
      {"ListView1", Qt::Key_Delete, Qt::NoModifier, 2, true, false, {}, 2},
      {"ListView2", Qt::Key_Delete, Qt::NoModifier, 2, true, true, {}, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.list) + " key " + std::to_string(c.key));
    auto* list = Find<QTreeWidget>(c.list);
    std::vector<commands::PaneRow> shown = rows;
    if (!c.with_parent_row) shown.erase(shown.begin());
    form_->SetOrganizerRows(shown);
    form_->SetComputerRows(shown);
    form_->SetOrganizerButtonEnabled(commands::OrganizerButton::kDelete, c.delete_enabled);
    if (c.current >= 0) list->setCurrentItem(list->topLevelItem(c.current));
    commands_.calls.clear();
    QTest::keyClick(list, c.key, c.modifiers);
    EXPECT_EQ(commands_.calls, c.calls);
    EXPECT_EQ(list->indexOfTopLevelItem(list->currentItem()), c.current_after);
    if (c.current_after >= 0) {
      EXPECT_TRUE(list->currentItem()->isSelected());
    }
  }
  // The mouse's own double-click, which starts with a press on the row.
  for (const char* name : {"ListView1", "ListView2"}) {
    auto* list = Find<QTreeWidget>(name);
    QApplication::processEvents();
    const QPoint at = list->visualItemRect(list->topLevelItem(1)).center();
    commands_.calls.clear();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(commands_.calls, std::vector<std::string>{name});
  }
}

// and which directory each pane shows.
TEST_F(MainFormTest, ScreenReadersHearWhatEachPartIs) {
  Load(Settings());
  const auto spoken = [](const QWidget* widget, QAccessible::Text what) {
    return QAccessible::queryAccessibleInterface(const_cast<QWidget*>(widget))->text(what);
  };
  EXPECT_EQ(spoken(Find("Drive1"), QAccessible::Name), "Drive");
  EXPECT_EQ(spoken(Find("Drive1"), QAccessible::Value), Find<QComboBox>("Drive1")->currentText());
  EXPECT_EQ(spoken(Find("ListView1"), QAccessible::Name), "Sharp Organizer:");
  EXPECT_EQ(spoken(Find("ListView2"), QAccessible::Name), "Computer:");
  EXPECT_EQ(spoken(form_->StatusWindow(), QAccessible::Name), "Progress");
  EXPECT_EQ(form_->StatusWindow()->windowTitle(), " ");

  form_->SetComputerRows({{"<..>", ""}, {"<Letters>", ""}, {"a.txt", "3"}});
  const QTreeWidget* list = Find<QTreeWidget>("ListView2");
  const char* told[] = {"parent directory", "Letters, directory", "a.txt"};
  for (int row = 0; row < 3; ++row) {
    EXPECT_EQ(list->topLevelItem(row)->data(0, Qt::AccessibleTextRole).toString(), told[row]);
  }
  const QString cwd = QString::fromStdString(std::filesystem::current_path().string());
  EXPECT_EQ(spoken(list, QAccessible::Description), cwd);  // drive h, at its root
  state_.ComputerPath = "\\docs\\2024\\";
  form_->SetComputerRows({});
  EXPECT_EQ(list->toolTip(), cwd + "/docs/2024");

  // The organizer pane's path grows from the tables the user walks through.
  const auto show = [&](const char* index, std::vector<memofs::DirectoryEntry> entries) {
    state_.CurrentIndexName = index;
    state_.DirectoryTable = {{"..", memofs::kTypeParent}};
    for (auto& entry : entries) state_.DirectoryTable.push_back(entry);
    form_->SetOrganizerRows({{"<..>", ""}});
    form_->SetOrganizerPaneEnabled(true);
    return Find<QTreeWidget>("ListView1")->accessibleDescription();
  };
  using memofs::kTypeDirectory;
  EXPECT_EQ(show("fs0", {{"Letters", kTypeDirectory, 0, 0, 3}, {"x", memofs::kTypeFile, 0, 1, 4}}),
            "/");
  EXPECT_EQ(show("fs0_3", {{"2024", kTypeDirectory, 0, 0, 0}}), "/Letters");
  EXPECT_EQ(show("fs0_3_0", {}), "/Letters/2024");
  EXPECT_EQ(Find("ListView1")->toolTip(), "/Letters/2024");
  EXPECT_EQ(show("fs0_4", {}), "");  // a file's number names no directory
  state_.MemoViewActive = 1;
  EXPECT_EQ(show("fs0", {}), "/Sharp Memos");
  form_->SetOrganizerPaneEnabled(false);  // unsynchronized: no directory is shown
  EXPECT_EQ(Find("ListView1")->accessibleDescription(), "");
}

// Within every captioned frame, each control stands inside the border and
// clear of the caption. Run at 96 dpi and again at 144 dpi fonts.
void ExpectCaptionsClear(const QWidget& window) {
  for (QGroupBox* frame : window.findChildren<QGroupBox*>()) {
    if (frame->title().isEmpty()) continue;
    SCOPED_TRACE(frame->title().toStdString());
    QStyleOptionGroupBox option;
    option.initFrom(frame);
    option.text = frame->title();
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    const QStyle* style = frame->style();
    const QRect border =
        style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxFrame, frame);
    const QRect caption =
        style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, frame);
    EXPECT_GE(caption.width(), frame->fontMetrics().horizontalAdvance(frame->title()));
    for (const QWidget* child : frame->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      SCOPED_TRACE(child->objectName().toStdString());
      EXPECT_GT(child->geometry().top(), border.top());
      EXPECT_LT(child->geometry().bottom(), border.bottom());
      EXPECT_FALSE(child->geometry().intersects(caption));
    }
  }
}

TEST_F(MainFormTest, CaptionsAndBordersStandClear) {
  Load(Settings("1", " 2", "2"));
  form_->SetOuterGeometry(0, 0, 9375, 7425);
  QApplication::processEvents();
  ExpectCaptionsClear(*form_);
  Answer<OptionsMain>([](OptionsMain& options) { ExpectCaptionsClear(options); });
  Trigger("Options_Main");
  // The columns reach the list's right edge: the name column as planned, the
  // size column the rest, never less than its design width.
  for (const char* name : {"ListView1", "ListView2"}) {
    const QTreeWidget* list = Find<QTreeWidget>(name);
    EXPECT_EQ(list->header()->length(), list->viewport()->width()) << name;
    EXPECT_GE(list->columnWidth(1), TwipsToPx(1100)) << name;
  }
}

// A port that will not open, as the device behind it stands.
class FailingPort : public testing::FakePort {
 public:
  using FakePort::FakePort;
  bool Open(const link::PortSettings&) override { return false; }
};

// The error keeps its text; below it, which device COM2 is, why it failed
// and what to do. (What each failure says: the port diagnosis tests.)
TEST_F(MainFormTest, APortThatFailsSaysWhichDeviceAndWhy) {
  Load(Settings());
  dir_.Put("ttyUSB0", "");
  namespace fs = std::filesystem;
  fs::permissions(dir_.path() / "ttyUSB0", fs::perms::owner_read | fs::perms::owner_write |
                                               fs::perms::group_read | fs::perms::group_write);
  fs::create_symlink(dir_.path() / "ttyUSB0", dir_.path() / "com2");
  QString text, detail;
  answer_dialog_ = [&](QDialog& dialog) {
    const auto& box = dynamic_cast<QMessageBox&>(dialog);
    text = box.text();
    detail = box.informativeText();
    return 0;
  };
  testing::FakeClock clock;
  FailingPort port(clock);
  WindowLinkHost host(*form_, [&] {
    return platform::DescribePortFailure(platform::DiagnosePort(2, state_.StartDirectory, EACCES));
  });
  link::SerialLink serial(port, clock, host);
  EXPECT_EQ(serial.OpenPort(2, 2), -1);
  EXPECT_EQ(text, "Error: Can't open serial port!");
  EXPECT_TRUE(detail.startsWith("COM2 is " + QString::fromStdString(state_.StartDirectory)))
      << detail.toStdString();
  EXPECT_TRUE(detail.contains("Permission denied"));
  EXPECT_TRUE(detail.contains("log")) << detail.toStdString();
}

// Each port's entry tells which device it is from the start directory.
TEST_F(MainFormTest, MainOptionsTellEachPortsDevice) {
  dir_.Put("ttyUSB0", "");
  std::filesystem::create_symlink(dir_.path() / "ttyUSB0", dir_.path() / "com2");
  Load(Settings("1", " 2"));
  Answer<OptionsMain>([&](OptionsMain& options) {
    const QComboBox& ports = *options.Combo1();
    EXPECT_EQ(ports.itemData(0, Qt::ToolTipRole).toString(), "/dev/ttyS0");
    EXPECT_EQ(ports.itemData(1, Qt::ToolTipRole).toString(),
              QString::fromStdString(state_.StartDirectory + "ttyUSB0"));
    EXPECT_EQ(ports.toolTip(), ports.itemData(1, Qt::ToolTipRole).toString());
    EXPECT_EQ(ports.itemData(3, Qt::ToolTipRole).toString(), "/dev/ttyS3");
  });
  Trigger("Options_Main");
}

// Window Options: Default shows the defaults and puts the default geometry
// in place at once (Cancel keeps that, not the ticks); OK stores the ticks
// and writes the file. Main Options: Default only shows the default port and
// speed; OK writes the choice with leading blanks.
TEST_F(MainFormTest, OptionDialogs) {
  Load(Settings("0", "4", "1"));
  state_.ConfigValues.ConfigValues[settings::ShowAboutAtStart] = " 1";  // not "1": unticked
  Answer<OptionsWindow>([](OptionsWindow& options) {
    EXPECT_FALSE(options.Check1()->isChecked() || options.Check2()->isChecked());
    QTest::mouseClick(options.Command1(), Qt::LeftButton);
    EXPECT_TRUE(options.Check1()->isChecked() && options.Check2()->isChecked());
    QTest::mouseClick(options.Command3(), Qt::LeftButton);
  });
  Trigger("Options_Window");
  const std::string defaults = "0\r\n0\r\n0\r\n 1\r\n9375\r\n7425\r\n\r\n\r\n\r\n\r\n4\r\n1\r\n";
  EXPECT_EQ(settings::SerializeConfig(state_.ConfigValues), defaults);

  Answer<OptionsMain>([](OptionsMain& options) {
    EXPECT_EQ(options.Combo1()->currentText() + options.Combo2()->currentText(), "COM44800");
    QTest::mouseClick(options.Command1(), Qt::LeftButton);
    EXPECT_EQ(options.Combo1()->currentText() + options.Combo2()->currentText(), "COM29600");
    QTest::mouseClick(options.Command3(), Qt::LeftButton);
  });
  Trigger("Options_Main");
  EXPECT_EQ(settings::SerializeConfig(state_.ConfigValues), defaults);
  EXPECT_EQ(dir_.Get("tavo_c.cfg"), Settings("0", "4", "1"));  // Cancel writes nothing

  Answer<OptionsWindow>([](OptionsWindow& options) {
    options.Check2()->setChecked(true);
    QTest::mouseClick(options.Command2(), Qt::LeftButton);
  });
  Trigger("Options_Window");
  Answer<OptionsMain>([](OptionsMain& options) {
    options.Combo1()->setCurrentIndex(2);
    options.Combo2()->setCurrentIndex(3);
    QTest::mouseClick(options.Command2(), Qt::LeftButton);
  });
  Trigger("Options_Main");
  EXPECT_EQ(dir_.Get("tavo_c.cfg"),
            "0\r\n0\r\n0\r\n1\r\n9375\r\n7425\r\n\r\n\r\n\r\n\r\n 3\r\n 4\r\n");
}

}  // namespace
}  // namespace tavo::ui

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QCoreApplication::setApplicationName("Tavo");
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

#include "ui/main_form.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFile>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>
#include <QUrl>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#include "platform/computer_files.h"
#include "ui/artwork.h"
#include "ui/display_text.h"
#include "ui/help.h"
#include "ui/input_new_dir.h"
#include "ui/msg.h"
#include "ui/options_dialogs.h"
#include "ui/twips.h"

namespace tavo::ui {
namespace {

using commands::OrganizerButton;
using commands::PaneRow;

constexpr int kRawRole = Qt::UserRole;
constexpr double kNameColumnStart = 2800;

QTreeWidget* MakeList(const char* name, const QString& accessible_name, QWidget* parent) {
  auto* list = new QTreeWidget(parent);
  list->setObjectName(name);
  list->setAccessibleName(accessible_name);
  list->setRootIsDecorated(false);
  list->setUniformRowHeights(true);
  list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list->setColumnCount(2);
  list->setHeaderLabels({"Filename:", "Size (bytes):"});
  list->headerItem()->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
  // The size column takes what the name column leaves up to the list's edge
  // (the room planned for a scroll bar, where there is none), so the columns
  // do not stop short of it.
  list->header()->setStretchLastSection(true);
  return list;
}

// On Linux Qt names a drop-down list by its current entry ("h: /home/ann"),
// so a screen reader would not hear what the box is for; this one tells its
// name, with the entry as its value.
class NamedComboAccessible : public QAccessibleWidget {
 public:
  explicit NamedComboAccessible(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}
  QString text(QAccessible::Text what) const override {
    const auto* box = static_cast<const QComboBox*>(widget());
    if (what == QAccessible::Name) return box->accessibleName();
    if (what == QAccessible::Value) return box->currentText();
    return QAccessibleWidget::text(what);
  }
};

QAccessibleInterface* DriveBoxAccessible(const QString&, QObject* object) {
  auto* box = qobject_cast<QComboBox*>(object);
  if (box == nullptr || box->objectName() != "Drive1") return nullptr;
  return new NamedComboAccessible(box);  // Qt's accessibility cache owns it
}

// What a screen reader says for a row: a directory row is told as one, not
// by its angle brackets.
QString SpokenRow(const std::string& text) {
  if (text == "<..>") return "parent directory";
  if (text.size() >= 2 && text.front() == '<' && text.back() == '>') {
    return DisplayText(text.substr(1, text.size() - 2)) + ", directory";
  }
  return DisplayText(text);
}

// The directory a pane shows, for the screen reader and the mouse pointer.
void TellDirectory(QTreeWidget& list, const QString& directory) {
  list.setAccessibleDescription(directory);
  list.setToolTip(directory);
}

void FillList(QTreeWidget& list, const std::vector<PaneRow>& rows) {
  list.setUpdatesEnabled(false);
  list.clear();
  QList<QTreeWidgetItem*> items;
  items.reserve(static_cast<qsizetype>(rows.size()));
  for (const PaneRow& row : rows) {
    auto* item = new QTreeWidgetItem;
    item->setText(0, DisplayText(row.text));
    item->setData(0, Qt::AccessibleTextRole, SpokenRow(row.text));
    item->setData(0, kRawRole, ToBytes(row.text));
    item->setText(1, DisplayText(row.size));
    item->setData(1, kRawRole, ToBytes(row.size));
    item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    items.append(item);
  }
  list.addTopLevelItems(items);  // the list owns the items from here on
  list.setUpdatesEnabled(true);
}

std::string RowText(const QTreeWidget& list, int row) {
  const QTreeWidgetItem* item = list.topLevelItem(row);
  return item == nullptr ? std::string() : FromBytes(item->data(0, kRawRole).toByteArray());
}

bool RowSelected(const QTreeWidget& list, int row) {
  const QTreeWidgetItem* item = list.topLevelItem(row);
  return item != nullptr && item->isSelected();
}

void SelectRow(QTreeWidget& list, int row, bool selected) {
  if (QTreeWidgetItem* item = list.topLevelItem(row)) item->setSelected(selected);
}

int CurrentRow(const QTreeWidget& list) {
  QTreeWidgetItem* item = list.currentItem();
  return item == nullptr ? -1 : list.indexOfTopLevelItem(item);
}

// The size column keeps its design width unless the header's font needs
// more; the name column then gives up what the size column took, so the two
// still fill the width the layout planned.
int SizeColumnPx(const QTreeWidget& list) {
  return std::max(TwipsToPx(kSizeColumnWidth), list.header()->sectionSizeHint(1));
}

void SetColumnWidths(QTreeWidget& list, double name_twips) {
  const int size_px = SizeColumnPx(list);
  list.setColumnWidth(1, size_px);
  list.setColumnWidth(0,
                      std::max(1, TwipsToPx(name_twips) - (size_px - TwipsToPx(kSizeColumnWidth))));
}

void Place(QWidget& widget, const Box& box) {
  widget.setGeometry(TwipsRect(box.left, box.top, box.width, box.height));
}

}  // namespace

WindowServices DefaultServices() {
  WindowServices s;
  s.screen = [] {
    settings::ScreenSize size;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
      size.width_twips = PxToTwips(screen->geometry().width());
      size.height_twips = PxToTwips(screen->geometry().height());
      size.available_width_twips = PxToTwips(screen->availableGeometry().width());
      size.available_height_twips = PxToTwips(screen->availableGeometry().height());
    }
    return size;
  };
  s.open_document = [](const std::string& path) {
    QDesktopServices::openUrl(
        QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(path))));
  };
  s.document_dirs = InstalledDocumentDirs();
  s.run_dialog = [](QDialog& dialog) { return dialog.exec(); };
  s.clock.now = [] {
    using Seconds = std::chrono::duration<double>;
    return std::chrono::duration_cast<Seconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
  };
  s.clock.sleep = [](double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  };
  s.end_program = [] { QCoreApplication::exit(0); };
  return s;
}

MainForm::MainForm(commands::ClientState& state, commands::ComputerFiles& files,
                   WindowServices services)
    : state_(state), files_(files), services_(std::move(services)) {
  setObjectName("MainForm");
  setWindowTitle(kMainCaption);
  setWindowIcon(WindowIcon());
  BuildControls();
  BuildMenus();
  msg_ = new Msg(this, [this] {
    if (commands_ != nullptr) {
      commands_->RequestStop();
    } else {
      state_.StopRequested = 1;
    }
  });
  resize(TwipsSize(9255, 6735));
}

MainForm::~MainForm() = default;

void MainForm::BuildControls() {
  auto* central = new QWidget(this);
  central->setObjectName("Central");
  setCentralWidget(central);
  frame1_ = new QGroupBox(central);
  frame1_->setObjectName("Frame1");
  frame1_->setFlat(true);
  frame2_ = new QGroupBox("Sharp Organizer:", frame1_);
  frame2_->setObjectName("Frame2");
  list_view1_ = MakeList("ListView1", "Sharp Organizer:", frame2_);
  frame3_ = new QGroupBox("Computer:", frame1_);
  frame3_->setObjectName("Frame3");
  CaptionOnBorder(*frame2_);
  CaptionOnBorder(*frame3_);
  static const bool factory = [] {
    QAccessible::installFactory(DriveBoxAccessible);
    return true;
  }();
  (void)factory;
  drive1_ = new QComboBox(frame3_);
  drive1_->setObjectName("Drive1");
  drive1_->setAccessibleName("Drive");
  list_view2_ = MakeList("ListView2", "Computer:", frame3_);

  auto make_button = [this](const char* name, const char* caption) {
    auto* button = new QPushButton(caption, frame1_);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
  };
  create_dir_ = make_button("CreateDir", "Create Dir");
  delete_ = make_button("Delete", "Delete");
  copy1_ = make_button("Copy1", "Copy >>>");
  copy2_ = make_button("Copy2", "<<< Copy");
  synchronize_ = make_button("Synchronize", "Synchronize");
  ApplyLayout();  // design geometry until the first resize

  // The drive selector offers the computer's drives, the current one selected.
  for (const std::string& drive : files_.Drives()) {
    drive1_->addItem(DisplayText(drive), ToBytes(drive));
  }
  const int current = files_.CurrentDrive();
  if (current >= 0 && current < drive1_->count()) drive1_->setCurrentIndex(current);

  connect(synchronize_, &QPushButton::clicked, this,
          [this] { Start(&WindowCommands::Synchronize_Click); });
  connect(copy1_, &QPushButton::clicked, this, [this] { Start(&WindowCommands::Copy1_Click); });
  connect(copy2_, &QPushButton::clicked, this, [this] { Start(&WindowCommands::Copy2_Click); });
  connect(delete_, &QPushButton::clicked, this, [this] { Start(&WindowCommands::Delete_Click); });
  connect(create_dir_, &QPushButton::clicked, this,
          [this] { Start(&WindowCommands::CreateDir_Click); });
  connect(list_view1_, &QTreeWidget::itemDoubleClicked, this,
          [this] { Start(&WindowCommands::ListView1_DblClick); });
  connect(list_view2_, &QTreeWidget::itemDoubleClicked, this,
          [this] { Start(&WindowCommands::ListView2_DblClick); });
  connect(drive1_, &QComboBox::currentIndexChanged, this,
          [this] { Start(&WindowCommands::Drive1_Change); });
  list_view1_->installEventFilter(this);
  list_view2_->installEventFilter(this);
}

bool MainForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && (watched == list_view1_ || watched == list_view2_)) {
    return PaneKey(*static_cast<QTreeWidget*>(watched), *static_cast<QKeyEvent*>(event));
  }
  return QMainWindow::eventFilter(watched, event);
}

// The keyboard's way to what the mouse does on a pane: Enter is a
// double-click on the current row, Backspace one on "<..>", and Delete in the
// organizer pane the "Delete" button.
bool MainForm::PaneKey(QTreeWidget& list, const QKeyEvent& key) {
  const bool organizer = &list == list_view1_;
  const auto double_click =
      organizer ? &WindowCommands::ListView1_DblClick : &WindowCommands::ListView2_DblClick;
  const Qt::KeyboardModifiers modifiers = key.modifiers() & ~Qt::KeypadModifier;
  if (modifiers != Qt::NoModifier) return false;
  switch (key.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (list.currentItem() != nullptr) Start(double_click);
      return true;
    case Qt::Key_Backspace:
      for (int row = 0; row < list.topLevelItemCount(); ++row) {
        if (RowText(list, row) != "<..>") continue;
        list.setCurrentItem(list.topLevelItem(row), 0, QItemSelectionModel::ClearAndSelect);
        Start(double_click);
        break;
      }
      return true;
    case Qt::Key_Delete:
      if (!organizer) return false;
      if (delete_->isEnabled()) Start(&WindowCommands::Delete_Click);
      return true;
    default:
      return false;
  }
}

void MainForm::BuildMenus() {
  auto add = [this](QMenu* menu, const char* name, const char* caption, auto slot) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(name);
    connect(action, &QAction::triggered, this, slot);
    return action;
  };
  QMenu* file = menuBar()->addMenu("&File");
  file->setObjectName("File");
  add(file, "File_Exit", "E&xit", [this] { ExitProgram(); });

  QMenu* options = menuBar()->addMenu("&Options");
  options->setObjectName("Options");
  add(options, "Options_Main", "&Main Options", [this] { Options_Main_Click(); });
  add(options, "Options_Window", "&Window Options", [this] { Options_Window_Click(); });
  options->addSeparator()->setObjectName("dummy");
  add(options, "CheckUp", "&Check Update through Internet",
      [this] { OpenHelpDocument(kVersionDocument); });

  QMenu* help = menuBar()->addMenu("&Help");
  help->setObjectName("Help");
  add(help, "Help_About", "&About Program", [this] { Help_About_Click(); });
  help->addSeparator()->setObjectName("dummy2");
  add(help, "license", "&License", [this] { OpenHelpDocument(kLicenseDocument); });
  add(help, "readme", "&Read Me", [this] { OpenHelpDocument(kReadmeDocument); });
  add(help, "limit", "L&imitations", [this] { OpenHelpDocument(kLimitationsDocument); });
  add(help, "historyfile", "&History", [this] { OpenHelpDocument(kHistoryDocument); });
  help->addSeparator()->setObjectName("dummy1");
  // The project has no web site: its documentation is the bundled read-me.
  add(help, "onlinedoc", "&Online Documentation", [this] { OpenHelpDocument(kReadmeDocument); });
}

void MainForm::Start(void (WindowCommands::*handler)()) {
  if (commands_ == nullptr || commands_->Busy()) return;
  (commands_->*handler)();
}

void MainForm::Form_Load(WindowCommands& commands) {
  commands_ = &commands;
  auto& config = state_.ConfigValues;
  settings::ReadConfig(config, state_.StartDirectory);
  settings::CheckConfig(config, settings::SettingsGroup::kAll, Screen());

  if (config.ConfigValues[settings::ShowAboutAtStart] == "1") {
    SetMainWindowEnabled(false);
    About about;
    ShowForAWhile(about, kAboutSeconds, services_.clock);
    SetMainWindowEnabled(true);
  }

  const auto& v = config.ConfigValues;
  const double left = settings::NumericValue(v[settings::WindowLeft]);
  const double top = settings::NumericValue(v[settings::WindowTop]);
  const double width = settings::NumericValue(v[settings::WindowWidth]);
  const double height = settings::NumericValue(v[settings::WindowHeight]);
  SetOuterGeometry(left, top, width, height);

  const std::string drive = SelectedDriveText();
  state_.ComputerDrive = drive.substr(0, 1);
  state_.ComputerPath = "\\";

  for (QTreeWidget* list : {list_view1_, list_view2_}) SetColumnWidths(*list, kNameColumnStart);
  commands.ListComputerDirectory();
  commands.SetUnsynchronized();
  state_.ReloadMemoView = false;

  show();
}

void MainForm::ExitProgram() {
  auto& v = state_.ConfigValues.ConfigValues;
  if (v[settings::SaveGeometryOnExit] == "1") {
    v[settings::WindowLeft] = settings::StoredNumber(std::llround(OuterLeft()));
    v[settings::WindowTop] = settings::StoredNumber(std::llround(OuterTop()));
    v[settings::WindowWidth] = settings::StoredNumber(std::llround(OuterWidth()));
    v[settings::WindowHeight] = settings::StoredNumber(std::llround(OuterHeight()));
  }
  settings::CheckConfig(state_.ConfigValues, settings::SettingsGroup::kAll, Screen());
  settings::WriteConfig(state_.ConfigValues, state_.StartDirectory);
  hide();
  if (services_.end_program) services_.end_program();
}

void MainForm::Options_Main_Click() {
  OptionsMain dialog(this, {state_.ConfigValues, state_.StartDirectory, Screen()});
  services_.run_dialog(dialog);
}

void MainForm::Options_Window_Click() {
  OptionsWindow dialog(this, {state_.ConfigValues, state_.StartDirectory, Screen()});
  services_.run_dialog(dialog);
}

void MainForm::Help_About_Click() {
  About about(this);
  services_.run_dialog(about);
}

void MainForm::OpenHelpDocument(const std::string& name) {
  if (!services_.open_document) return;
  services_.open_document(ResolveDocument(name, state_.StartDirectory, services_.document_dirs));
}

settings::ScreenSize MainForm::Screen() const {
  return services_.screen ? services_.screen() : settings::ScreenSize{};
}

double MainForm::OuterLeft() const { return PxToTwips(frameGeometry().left()); }
double MainForm::OuterTop() const { return PxToTwips(frameGeometry().top()); }
double MainForm::OuterWidth() const { return PxToTwips(frameGeometry().width()); }
double MainForm::OuterHeight() const { return PxToTwips(frameGeometry().height()); }

void MainForm::SetOuterGeometry(double left, double top, double width, double height) {
  const QRect outer(TwipsToPx(left), TwipsToPx(top), TwipsToPx(width), TwipsToPx(height));
  ApplyOuter(outer);
  // Until the window manager has put its frame around the window, the frame's
  // size is unknown and the window was sized as if it had none: the outer
  // size is applied again once the frame is there.
  if (!Framed()) outer_pending_ = outer;
}

void MainForm::ApplyOuter(const QRect& outer) {
  const QSize decoration = frameGeometry().size() - geometry().size();
  move(outer.topLeft());
  resize(outer.size() - decoration);
}

bool MainForm::Framed() const { return isVisible() && frameGeometry().size() != geometry().size(); }

void MainForm::ApplyPendingOuter() {
  if (!outer_pending_ || !Framed()) return;
  const QRect outer = *outer_pending_;
  outer_pending_.reset();
  if (frameGeometry() != outer) ApplyOuter(outer);
}

void MainForm::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  ApplyPendingOuter();
  Form_Resize();
}

void MainForm::moveEvent(QMoveEvent* event) {
  QMainWindow::moveEvent(event);
  ApplyPendingOuter();
}

void MainForm::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  ApplyPendingOuter();
  Form_Resize();
}

void MainForm::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange) Form_Resize();
}

void MainForm::Form_Resize() {
  if (!isVisible() || isMinimized() || in_resize_) return;
  in_resize_ = true;
  const double w = std::round(OuterWidth());
  const double h = std::round(OuterHeight());
  layout_ = ResizeLayout(w, h, SnapTwips);
  if (layout_.window_width != w || layout_.window_height != h) {
    SetOuterGeometry(OuterLeft(), OuterTop(), layout_.window_width, layout_.window_height);
  }
  ApplyLayout();
  in_resize_ = false;
}

void MainForm::ApplyLayout() {
  Place(*frame1_, layout_.frame1);
  Place(*frame2_, layout_.frame2);
  Place(*frame3_, layout_.frame3);
  Place(*list_view1_, layout_.list1);
  Place(*list_view2_, layout_.list2);
  Place(*drive1_, layout_.drive1);
  Place(*create_dir_, layout_.create_dir);
  Place(*delete_, layout_.del);
  Place(*copy1_, layout_.copy1);
  Place(*copy2_, layout_.copy2);
  Place(*synchronize_, layout_.synchronize);
  if (layout_.window_width > 0) {
    SetColumnWidths(*list_view1_, layout_.name_column1);
    SetColumnWidths(*list_view2_, layout_.name_column2);
  }
}

void MainForm::closeEvent(QCloseEvent* event) {
  if (commands_ != nullptr && commands_->Busy()) {
    // The close box never ends the program in the middle of an exchange: it
    // asks the running command to stop, as "Cancel" does.
    event->ignore();
    if (status_loaded_) {
      msg_->Command1_Click();
    } else {
      commands_->RequestStop();
    }
    return;
  }
  event->accept();
  ExitProgram();
}

void MainForm::StatusShow(const std::string& text) {
  if (!status_loaded_) {
    active_before_status_ = isActiveWindow();
    SetMainWindowEnabled(false);
    state_.StopRequested = 0;
    msg_->Load();
    CentreOn(*msg_, *this);
    status_loaded_ = true;
  }
  msg_->SetText(DisplayText(text));
  msg_->show();
  msg_->raise();
  // Map the window so that the repaint below reaches the screen; the user's
  // input waits for the command's own event pumping.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  msg_->repaint();
}

void MainForm::StatusUnload() {
  if (!status_loaded_) return;
  // Not every window system gives the activation back to the main window
  // when the status window goes; the keyboard user would be left with none.
  const bool was_active =
      msg_->isActiveWindow() || (active_before_status_ && QApplication::activeWindow() == nullptr);
  msg_->hide();
  status_loaded_ = false;
  if (was_active) activateWindow();
}

void MainForm::SetMainWindowEnabled(bool enabled) {
  // Disabling takes the keyboard focus away; it comes back where it was, so
  // that a keyboard user goes on from there.
  QWidget* focus = QApplication::focusWidget();
  if (!enabled && focus != nullptr && isAncestorOf(focus)) focus_before_disable_ = focus;
  // The window's contents and menus, not the window itself: its child
  // dialogs (the status window among them) must stay usable.
  main_enabled_ = enabled;
  centralWidget()->setEnabled(enabled);
  menuBar()->setEnabled(enabled);
  if (enabled && focus_before_disable_ != nullptr) {
    QWidget* back =
        focus_before_disable_->isEnabled() ? focus_before_disable_.data() : synchronize_;
    back->setFocus(Qt::OtherFocusReason);
    focus_before_disable_ = nullptr;
  }
}

void MainForm::PumpEvents() { QCoreApplication::processEvents(); }

void MainForm::ShowMessage(const std::string& text) { ShowMessage(text, std::string()); }

void MainForm::ShowMessage(const std::string& text, const std::string& detail) {
  QMessageBox box(QMessageBox::NoIcon, QCoreApplication::applicationName(), DisplayText(text),
                  QMessageBox::Ok, this);
  // Device names are the system's bytes; the system's texts are UTF-8.
  if (!detail.empty()) box.setInformativeText(QString::fromUtf8(detail));
  services_.run_dialog(box);
}

bool MainForm::AskQuestion(const std::string& text) {
  QMessageBox box(QMessageBox::Question, "Question", DisplayText(text),
                  QMessageBox::Yes | QMessageBox::No, this);
  box.setDefaultButton(QMessageBox::Yes);
  return services_.run_dialog(box) == QMessageBox::Yes;
}

commands::NewDirectoryAnswer MainForm::AskNewDirectoryName() {
  SetMainWindowEnabled(false);
  InputNewDir dialog(this);
  CentreOn(dialog, *this);
  services_.run_dialog(dialog);
  return dialog.Answer();
}

void MainForm::SetOrganizerRows(const std::vector<PaneRow>& rows) {
  FillList(*list_view1_, rows);
  organizer_directory_ = OrganizerDirectory();
  if (list_view1_->isEnabled()) TellDirectory(*list_view1_, organizer_directory_);
}

QString MainForm::OrganizerDirectory() {
  if (state_.MemoViewActive != 0) return QString("/") + memofs::kReservedName;
  const auto known = organizer_paths_.find(state_.CurrentIndexName);
  if (known == organizer_paths_.end()) return {};
  // The table names the directories in this one: their listings come later.
  const std::string here = known->second;
  for (std::size_t row = 1; row < state_.DirectoryTable.size(); ++row) {
    const memofs::DirectoryEntry& entry = state_.DirectoryTable[row];
    if (entry.EntryType != memofs::kTypeDirectory) continue;
    organizer_paths_[memofs::ChildIndexName(state_.CurrentIndexName, entry.EntryNumber)] =
        (here == "/" ? here : here + "/") + entry.EntryName;
  }
  return DisplayText(here);
}
int MainForm::OrganizerRowCount() const { return list_view1_->topLevelItemCount(); }
std::string MainForm::OrganizerRowText(int row) const { return RowText(*list_view1_, row); }
bool MainForm::OrganizerRowSelected(int row) const { return RowSelected(*list_view1_, row); }
void MainForm::SetOrganizerRowSelected(int row, bool selected) {
  SelectRow(*list_view1_, row, selected);
}
int MainForm::OrganizerCurrentRow() const { return CurrentRow(*list_view1_); }
void MainForm::SetOrganizerPaneEnabled(bool enabled) {
  list_view1_->setEnabled(enabled);
  TellDirectory(*list_view1_, enabled ? organizer_directory_ : QString());
}

QPushButton* MainForm::Button(OrganizerButton button) const {
  switch (button) {
    case OrganizerButton::kCopy1:
      return copy1_;
    case OrganizerButton::kCopy2:
      return copy2_;
    case OrganizerButton::kCreateDir:
      return create_dir_;
    case OrganizerButton::kDelete:
      return delete_;
  }
  return nullptr;
}

void MainForm::SetOrganizerButtonEnabled(OrganizerButton button, bool enabled) {
  if (QPushButton* b = Button(button)) b->setEnabled(enabled);
}

void MainForm::SetComputerRows(const std::vector<PaneRow>& rows) {
  FillList(*list_view2_, rows);
  TellDirectory(*list_view2_, ComputerDirectory());
}

QString MainForm::ComputerDirectory() const {
  const std::string path = state_.ComputerDrive + ":" + state_.ComputerPath;
  const auto* native = dynamic_cast<const platform::NativeComputerFiles*>(&files_);
  const std::optional<std::filesystem::path> shown =
      native != nullptr ? native->NativePath(path) : std::nullopt;
  if (!shown) return DisplayText(path);
  std::string text = shown->string();
  if (text.size() > 1 && text.back() == '/') text.pop_back();
  return QFile::decodeName(QByteArray::fromStdString(text));
}
int MainForm::ComputerRowCount() const { return list_view2_->topLevelItemCount(); }
std::string MainForm::ComputerRowText(int row) const { return RowText(*list_view2_, row); }
bool MainForm::ComputerRowSelected(int row) const { return RowSelected(*list_view2_, row); }
void MainForm::SetComputerRowSelected(int row, bool selected) {
  SelectRow(*list_view2_, row, selected);
}
int MainForm::ComputerCurrentRow() const { return CurrentRow(*list_view2_); }

std::string MainForm::SelectedDriveText() const {
  return drive1_->currentIndex() < 0 ? std::string()
                                     : FromBytes(drive1_->currentData().toByteArray());
}

}  // namespace tavo::ui

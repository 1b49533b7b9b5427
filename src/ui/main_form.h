#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QRect>
#include <QString>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "commands/client_state.h"
#include "commands/client_view.h"
#include "commands/computer_files.h"
#include "settings/config.h"
#include "ui/about.h"
#include "ui/layout.h"
#include "ui/window_commands.h"

class QComboBox;
class QDialog;
class QFrame;
class QGroupBox;
class QKeyEvent;
class QPushButton;
class QTreeWidget;

namespace tavo::ui {

class Msg;

inline constexpr const char* kMainCaption = "Tavo (Client)";
inline constexpr double kAboutSeconds = 2.0;

// What the window needs of its surroundings; tests replace any of it.
struct WindowServices {
  // The screen's size in twips, for the settings' range checks.
  std::function<settings::ScreenSize()> screen;
  // Opens a document path (native bytes) with the desktop's program.
  std::function<void(const std::string& path)> open_document;
  // Directories holding the installed help documents (ending with the separator).
  std::vector<std::string> document_dirs;
  // Runs a modal dialog or message box and returns its result.
  std::function<int(QDialog& dialog)> run_dialog;
  WaitClock clock;
  // Ends the program; nothing runs after it.
  std::function<void()> end_program;
};

// The usual services of a desktop session.
WindowServices DefaultServices();

// The main window. It shows what the commands put into it and hands the
// user's clicks to them; the work itself is theirs.
class MainForm : public QMainWindow, public commands::ClientView {
  Q_OBJECT

 public:
  MainForm(commands::ClientState& state, commands::ComputerFiles& files, WindowServices services);
  ~MainForm() override;

  // The start-up sequence; StartDirectory is already set. Ends with the window visible.
  void Form_Load(WindowCommands& commands);
  // Stores the geometry if wanted, saves the settings and ends the program.
  void ExitProgram();

  void Options_Main_Click();
  void Options_Window_Click();
  void Help_About_Click();
  // Opens a help document by its file name.
  void OpenHelpDocument(const std::string& name);

  // The window's state as other parts see it.
  bool MainWindowEnabled() const { return main_enabled_; }
  Msg* StatusWindow() const { return msg_; }
  // Outer geometry in twips.
  double OuterLeft() const;
  double OuterTop() const;
  double OuterWidth() const;
  double OuterHeight() const;
  // Places the window by its outer edges, in twips.
  void SetOuterGeometry(double left, double top, double width, double height);
  const WindowLayout& CurrentLayout() const { return layout_; }

  // commands::ClientView
  void StatusShow(const std::string& text) override;
  bool StatusLoaded() const override { return status_loaded_; }
  void StatusUnload() override;
  void SetMainWindowEnabled(bool enabled) override;
  void PumpEvents() override;
  void ShowMessage(const std::string& text) override;
  // An error with more about it below, in the box's informative text.
  void ShowMessage(const std::string& text, const std::string& detail);
  bool AskQuestion(const std::string& text) override;
  commands::NewDirectoryAnswer AskNewDirectoryName() override;
  void SetOrganizerRows(const std::vector<commands::PaneRow>& rows) override;
  int OrganizerRowCount() const override;
  std::string OrganizerRowText(int row) const override;
  bool OrganizerRowSelected(int row) const override;
  void SetOrganizerRowSelected(int row, bool selected) override;
  int OrganizerCurrentRow() const override;
  void SetOrganizerPaneEnabled(bool enabled) override;
  void SetOrganizerButtonEnabled(commands::OrganizerButton button, bool enabled) override;
  void SetComputerRows(const std::vector<commands::PaneRow>& rows) override;
  int ComputerRowCount() const override;
  std::string ComputerRowText(int row) const override;
  bool ComputerRowSelected(int row) const override;
  void SetComputerRowSelected(int row, bool selected) override;
  int ComputerCurrentRow() const override;
  std::string SelectedDriveText() const override;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildControls();
  void BuildMenus();
  void Form_Resize();
  void ApplyLayout();
  // Places the frame at outer.topLeft() and sizes the window so that its
  // frame is outer.size(), as far as the frame is known.
  void ApplyOuter(const QRect& outer);
  // The window manager's frame is known (some platforms never have one).
  bool Framed() const;
  void ApplyPendingOuter();
  // Handles a key pressed on a pane; true when it was the pane's command key.
  bool PaneKey(QTreeWidget& list, const QKeyEvent& key);
  // Runs a command unless another one is still running.
  void Start(void (WindowCommands::*handler)());
  QPushButton* Button(commands::OrganizerButton button) const;
  // The directory each pane shows: "/Letters/2024" on the organizer (empty
  // where it is not known), the native path on the computer.
  QString OrganizerDirectory();
  QString ComputerDirectory() const;
  settings::ScreenSize Screen() const;

  commands::ClientState& state_;
  commands::ComputerFiles& files_;
  WindowServices services_;
  WindowCommands* commands_ = nullptr;
  WindowLayout layout_;
  bool main_enabled_ = true;
  bool status_loaded_ = false;
  bool active_before_status_ = false;
  bool in_resize_ = false;
  std::optional<QRect> outer_pending_;  // pixels
  QPointer<QWidget> focus_before_disable_;
  // Organizer directories by their index memo's name, as the tables seen so far name them.
  std::map<std::string, std::string> organizer_paths_{{memofs::kRootIndexName, "/"}};
  QString organizer_directory_;

  QGroupBox* frame1_ = nullptr;
  QGroupBox* frame2_ = nullptr;
  QGroupBox* frame3_ = nullptr;
  QTreeWidget* list_view1_ = nullptr;
  QTreeWidget* list_view2_ = nullptr;
  QComboBox* drive1_ = nullptr;
  QPushButton* create_dir_ = nullptr;
  QPushButton* delete_ = nullptr;
  QPushButton* copy1_ = nullptr;
  QPushButton* copy2_ = nullptr;
  QPushButton* synchronize_ = nullptr;
  Msg* msg_ = nullptr;
};

}  // namespace tavo::ui

#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "commands/client_state.h"
#include "commands/client_view.h"
#include "commands/computer_files.h"
#include "ui/layout.h"
#include "ui/window_commands.h"
#include "winui/dialogs.h"
#include "winui/services.h"

namespace tavo::winui {

inline constexpr const wchar_t* kMainCaption = L"Tavo (Client)";
inline constexpr const wchar_t* kAppTitle = L"Tavo";
inline constexpr double kAboutSeconds = 2.0;

// The main window's controls and menu items, by their number.
enum MainControl : int {
  kFrame1 = 1000,
  kFrame2,
  kListView1,
  kFrame3,
  kDrive1,
  kListView2,
  kCreateDir,
  kDelete,
  kCopy1,
  kCopy2,
  kSynchronize,
};
enum MenuItem : int {
  kFileExit = 2000,
  kOptionsMain,
  kOptionsWindow,
  kCheckUp,
  kHelpAbout,
  kLicense,
  kReadme,
  kLimit,
  kHistoryFile,
  kOnlineDoc,
};

// The main window on the Windows API. It shows what the commands put into
// it and hands the user's clicks and keys to them; the work itself is theirs.
class MainForm : public commands::ClientView {
 public:
  MainForm(commands::ClientState& state, commands::ComputerFiles& files, WinServices services);
  ~MainForm() override;
  MainForm(const MainForm&) = delete;
  MainForm& operator=(const MainForm&) = delete;

  // The start-up sequence; StartDirectory is already set. Ends with the window visible.
  void Form_Load(ui::WindowCommands& commands);
  // Stores the geometry if wanted, saves the settings and ends the program.
  void ExitProgram();
  void Options_Main_Click();
  void Options_Window_Click();
  void Help_About_Click();
  void OpenHelpDocument(const std::string& name);

  HWND Handle() const { return hwnd_; }
  HWND Control(int id) const { return ::GetDlgItem(hwnd_, id); }
  // The status window while it is loaded, else null.
  HWND StatusWindow() const { return msg_.Handle(); }
  bool MainWindowEnabled() const { return main_enabled_; }
  const ui::WindowLayout& CurrentLayout() const { return layout_; }
  // Outer geometry in twips.
  double OuterLeft() const;
  double OuterTop() const;
  double OuterWidth() const;
  double OuterHeight() const;
  void SetOuterGeometry(double left, double top, double width, double height);

  // Gives the keyboard's dialog keys (Tab, Enter, Escape, access keys) to the
  // window a message is for; true when the message was handled so.
  bool PreTranslate(MSG& message);

  // An error with more about it below.
  void ShowMessage(const std::string& text, const std::string& detail);

  // commands::ClientView
  void StatusShow(const std::string& text) override;
  bool StatusLoaded() const override { return msg_.Loaded(); }
  void StatusUnload() override;
  void SetMainWindowEnabled(bool enabled) override;
  void PumpEvents() override;
  void ShowMessage(const std::string& text) override { ShowMessage(text, std::string()); }
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

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam);
  void BuildControls();
  void BuildMenus();
  void FillDrives();
  void OnCommand(int id, int code);
  LRESULT OnNotify(const NMHDR& header);
  // Enter on a pane: a double-click on its current row.
  void OnEnter();
  // Backspace and Delete on a pane; true when it was the pane's command key.
  bool PaneKey(int list_id, WORD key);
  void Form_Resize();
  void ApplyLayout();
  void SetColumnWidths(int list_id, double name_twips);
  void SetFonts();
  void Start(void (ui::WindowCommands::*handler)());
  HWND Button(commands::OrganizerButton button) const;
  HWND MessageOwner() const;
  void Close();

  struct Pane {
    std::vector<commands::PaneRow> rows;
  };
  void Fill(int list_id, Pane& pane, const std::vector<commands::PaneRow>& rows, bool computer);
  static std::string RowText(const Pane& pane, int row);
  bool RowSelected(int list_id, int row) const;
  void SelectRow(int list_id, int row, bool selected);
  int CurrentRow(int list_id) const;

  commands::ClientState& state_;
  commands::ComputerFiles& files_;
  WinServices services_;
  ui::WindowCommands* commands_ = nullptr;
  HWND hwnd_ = nullptr;
  HFONT font_ = nullptr;
  HICON icon_big_ = nullptr;
  HICON icon_small_ = nullptr;
  unsigned dpi_ = USER_DEFAULT_SCREEN_DPI;
  ui::WindowLayout layout_;
  bool main_enabled_ = true;
  bool in_resize_ = false;
  HWND focus_before_disable_ = nullptr;
  HWND focus_when_inactive_ = nullptr;
  Pane organizer_;
  Pane computer_;
  std::vector<std::string> drives_;
  Msg msg_;
};

// Runs the window's messages until the program ends; returns its exit code.
int RunMessageLoop(MainForm& form);

}  // namespace tavo::winui

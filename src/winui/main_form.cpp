#include "winui/main_form.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#include "winui/accessibility.h"
#include "winui/artwork.h"
#include "winui/metrics.h"
#include "winui/text.h"

namespace tavo::winui {
namespace {

using commands::OrganizerButton;
using commands::PaneRow;

constexpr const wchar_t* kWindowClass = L"TavoMainForm";
constexpr double kNameColumnStart = 2800;
constexpr const char* kLicenseDocument = "tavo_client.license.html";
constexpr const char* kReadmeDocument = "tavo_client.readme.html";
constexpr const char* kLimitationsDocument = "tavo_client.limitations.html";
constexpr const char* kHistoryDocument = "tavo_client.history.html";
constexpr const char* kVersionDocument = "tavo_client_version.html";

void Register() {
  static const bool registered = [] {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                  ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    return true;
  }();
  (void)registered;
}

HWND MakeControl(HWND parent, const wchar_t* window_class, const wchar_t* text, DWORD style, int id,
                 DWORD ex_style = 0) {
  return ::CreateWindowExW(ex_style, window_class, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0,
                           parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           ::GetModuleHandleW(nullptr), nullptr);
}

void AddColumn(HWND list, int index, const wchar_t* text, int format) {
  LVCOLUMNW column{};
  column.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH;
  column.fmt = format;
  column.cx = 100;
  column.pszText = const_cast<wchar_t*>(text);
  ::SendMessageW(list, LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&column));
}

HWND MakeList(HWND parent, int id, const wchar_t* name) {
  // The window text is not shown; screen readers tell it as the list's name.
  HWND list = MakeControl(parent, WC_LISTVIEWW, name, WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS,
                          id, WS_EX_CLIENTEDGE);
  ::SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE,
                 LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER | LVS_EX_LABELTIP,
                 LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER | LVS_EX_LABELTIP);
  AddColumn(list, 0, L"Filename:", LVCFMT_LEFT);
  AddColumn(list, 1, L"Size (bytes):", LVCFMT_RIGHT);
  return list;
}

RECT WindowRect(HWND window) {
  RECT rect{};
  ::GetWindowRect(window, &rect);
  return rect;
}

}  // namespace

WinServices DefaultServices() {
  WinServices s;
  s.message_box = [](HWND owner, const std::wstring& text, const std::wstring& title, UINT type) {
    return ::MessageBoxW(owner, text.c_str(), title.c_str(), type);
  };
  s.open_document = [](const std::wstring& path) {
    ::ShellExecuteW(::GetDesktopWindow(), L"open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  };
  std::wstring exe(MAX_PATH, L'\0');
  exe.resize(::GetModuleFileNameW(nullptr, exe.data(), static_cast<DWORD>(exe.size())));
  const std::size_t slash = exe.find_last_of(L"\\/");
  if (slash != std::wstring::npos) s.document_dirs.push_back(exe.substr(0, slash + 1));
  s.clock.now = [] {
    using Seconds = std::chrono::duration<double>;
    return std::chrono::duration_cast<Seconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
  };
  s.clock.sleep = [](double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  };
  s.end_program = [] { ::PostQuitMessage(0); };
  return s;
}

MainForm::MainForm(commands::ClientState& state, commands::ComputerFiles& files,
                   WinServices services)
    : state_(state), files_(files), services_(std::move(services)), msg_(services_, [this] {
        if (commands_ != nullptr) {
          commands_->RequestStop();
        } else {
          state_.StopRequested = 1;
        }
      }) {
  Register();
  static const bool registered = [] {
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof window_class;
    window_class.style = CS_DBLCLKS;
    window_class.lpfnWndProc = Proc;
    window_class.hInstance = ::GetModuleHandleW(nullptr);
    window_class.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    window_class.lpszClassName = kWindowClass;
    return ::RegisterClassExW(&window_class) != 0;
  }();
  (void)registered;
  ::CreateWindowExW(WS_EX_CONTROLPARENT, kWindowClass, kMainCaption, WS_OVERLAPPEDWINDOW,
                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                    ::GetModuleHandleW(nullptr), this);
  dpi_ = WindowDpi(hwnd_);
  icon_big_ = MakeWindowIcon(::GetSystemMetricsForDpi(SM_CXICON, dpi_));
  icon_small_ = MakeWindowIcon(::GetSystemMetricsForDpi(SM_CXSMICON, dpi_));
  ::SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_big_));
  ::SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_small_));
  BuildControls();
  BuildMenus();
  SetFonts();
  const SIZE outer = OuterForClient(hwnd_, TwipsToPx(9255, dpi_), TwipsToPx(6735, dpi_));
  ::SetWindowPos(hwnd_, nullptr, 0, 0, outer.cx, outer.cy, SWP_NOMOVE | SWP_NOZORDER);
  ApplyLayout();  // design geometry until the first resize
}

MainForm::~MainForm() {
  msg_.Unload();
  if (hwnd_ != nullptr) {
    ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    ::DestroyWindow(hwnd_);
  }
  if (font_ != nullptr) ::DeleteObject(font_);
  ::DestroyIcon(icon_big_);
  ::DestroyIcon(icon_small_);
}

void MainForm::BuildControls() {
  // All controls are the window's own children, in the tab order.
  MakeList(hwnd_, kListView1, L"Sharp Organizer:");
  MakeControl(hwnd_, WC_COMBOBOXW, L"Drive", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, kDrive1);
  MakeList(hwnd_, kListView2, L"Computer:");
  const auto button = [this](const wchar_t* caption, int id) {
    MakeControl(hwnd_, WC_BUTTONW, caption, WS_TABSTOP | BS_PUSHBUTTON, id);
  };
  button(L"Create Dir", kCreateDir);
  button(L"Delete", kDelete);
  button(L"Copy >>>", kCopy1);
  button(L"<<< Copy", kCopy2);
  button(L"Synchronize", kSynchronize);
  // The frames come last, below everything else: the controls inside them
  // are never drawn over.
  const auto frame = [this](const wchar_t* caption, int id) {
    MakeControl(hwnd_, WC_BUTTONW, caption, BS_GROUPBOX | WS_CLIPSIBLINGS, id);
  };
  frame(L"Sharp Organizer:", kFrame2);
  frame(L"Computer:", kFrame3);
  frame(L"", kFrame1);
  NameForScreenReaders(Control(kListView1), L"Sharp Organizer:");
  NameForScreenReaders(Control(kListView2), L"Computer:");
  NameForScreenReaders(Control(kDrive1), L"Drive");
  FillDrives();
}

void MainForm::FillDrives() {
  HWND box = Control(kDrive1);
  drives_ = files_.Drives();
  for (const std::string& drive : drives_) {
    std::wstring shown = ComputerText(drive);
    // Fixed disks also show their label, as the system's own lists do;
    // removable ones are not touched, which could wait for a medium.
    const std::wstring root = shown.substr(0, 2) + L"\\";
    wchar_t label[MAX_PATH + 1] = {};
    if (::GetDriveTypeW(root.c_str()) == DRIVE_FIXED &&
        ::GetVolumeInformationW(root.c_str(), label, MAX_PATH, nullptr, nullptr, nullptr, nullptr,
                                0) &&
        label[0] != L'\0') {
      shown += L" [" + std::wstring(label) + L"]";
    }
    ::SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(shown.c_str()));
  }
  const int current = files_.CurrentDrive();
  if (current >= 0 && current < static_cast<int>(drives_.size())) {
    ::SendMessageW(box, CB_SETCURSEL, current, 0);
  }
}

void MainForm::BuildMenus() {
  HMENU bar = ::CreateMenu();
  HMENU file = ::CreatePopupMenu();
  ::AppendMenuW(file, MF_STRING, kFileExit, L"E&xit");
  HMENU options = ::CreatePopupMenu();
  ::AppendMenuW(options, MF_STRING, kOptionsMain, L"&Main Options");
  ::AppendMenuW(options, MF_STRING, kOptionsWindow, L"&Window Options");
  ::AppendMenuW(options, MF_SEPARATOR, 0, nullptr);
  ::AppendMenuW(options, MF_STRING, kCheckUp, L"&Check Update through Internet");
  HMENU help = ::CreatePopupMenu();
  ::AppendMenuW(help, MF_STRING, kHelpAbout, L"&About Program");
  ::AppendMenuW(help, MF_SEPARATOR, 0, nullptr);
  ::AppendMenuW(help, MF_STRING, kLicense, L"&License");
  ::AppendMenuW(help, MF_STRING, kReadme, L"&Read Me");
  ::AppendMenuW(help, MF_STRING, kLimit, L"L&imitations");
  ::AppendMenuW(help, MF_STRING, kHistoryFile, L"&History");
  ::AppendMenuW(help, MF_SEPARATOR, 0, nullptr);
  ::AppendMenuW(help, MF_STRING, kOnlineDoc, L"&Online Documentation");
  ::AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"&File");
  ::AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(options), L"&Options");
  ::AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(help), L"&Help");
  ::SetMenu(hwnd_, bar);
}

void MainForm::SetFonts() {
  HFONT old = font_;
  font_ = MessageFont(dpi_);
  SetFontOfChildren(hwnd_, font_);
  if (old != nullptr) ::DeleteObject(old);
}

void MainForm::Start(void (ui::WindowCommands::*handler)()) {
  if (commands_ == nullptr || commands_->Busy()) return;
  (commands_->*handler)();
}

void MainForm::Form_Load(ui::WindowCommands& commands) {
  commands_ = &commands;
  auto& config = state_.ConfigValues;
  settings::ReadConfig(config, state_.StartDirectory);
  settings::CheckConfig(config, settings::SettingsGroup::kAll, ScreenOf(hwnd_));

  if (config.ConfigValues[settings::ShowAboutAtStart] == "1") {
    SetMainWindowEnabled(false);
    About about(services_);
    about.ShowForAWhile(hwnd_, kAboutSeconds);
    SetMainWindowEnabled(true);
  }

  const auto& v = config.ConfigValues;
  SetOuterGeometry(settings::NumericValue(v[settings::WindowLeft]),
                   settings::NumericValue(v[settings::WindowTop]),
                   settings::NumericValue(v[settings::WindowWidth]),
                   settings::NumericValue(v[settings::WindowHeight]));

  const std::string drive = SelectedDriveText();
  state_.ComputerDrive = drive.substr(0, 1);
  state_.ComputerPath = "\\";

  for (int list : {kListView1, kListView2}) SetColumnWidths(list, kNameColumnStart);
  commands.ListComputerDirectory();
  commands.SetUnsynchronized();
  state_.ReloadMemoView = false;

  ::ShowWindow(hwnd_, SW_SHOWNORMAL);
  ::UpdateWindow(hwnd_);
  // Keyboard users see where the focus is and which keys are access keys.
  ::SendMessageW(hwnd_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL),
                 0);
  ::SetFocus(Control(kSynchronize));
}

void MainForm::ExitProgram() {
  auto& v = state_.ConfigValues.ConfigValues;
  if (v[settings::SaveGeometryOnExit] == "1") {
    v[settings::WindowLeft] = settings::StoredNumber(std::llround(OuterLeft()));
    v[settings::WindowTop] = settings::StoredNumber(std::llround(OuterTop()));
    v[settings::WindowWidth] = settings::StoredNumber(std::llround(OuterWidth()));
    v[settings::WindowHeight] = settings::StoredNumber(std::llround(OuterHeight()));
  }
  settings::CheckConfig(state_.ConfigValues, settings::SettingsGroup::kAll, ScreenOf(hwnd_));
  settings::WriteConfig(state_.ConfigValues, state_.StartDirectory);
  ::ShowWindow(hwnd_, SW_HIDE);
  if (services_.end_program) services_.end_program();
}

void MainForm::Options_Main_Click() {
  OptionsMain dialog(services_, {state_.ConfigValues, state_.StartDirectory, ScreenOf(hwnd_)});
  dialog.RunModal(hwnd_);
}

void MainForm::Options_Window_Click() {
  OptionsWindow dialog(services_, {state_.ConfigValues, state_.StartDirectory, ScreenOf(hwnd_)});
  dialog.RunModal(hwnd_);
}

void MainForm::Help_About_Click() {
  About about(services_);
  about.RunModal(hwnd_);
}

void MainForm::OpenHelpDocument(const std::string& name) {
  if (!services_.open_document) return;
  // The start directory's copy, else the one installed beside the program.
  std::wstring path = ComputerText(state_.StartDirectory + name);
  if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    for (const std::wstring& dir : services_.document_dirs) {
      const std::wstring installed = dir + ComputerText(name);
      if (::GetFileAttributesW(installed.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
      path = installed;
      break;
    }
  }
  services_.open_document(path);
}

double MainForm::OuterLeft() const { return PxToTwips(WindowRect(hwnd_).left, dpi_); }
double MainForm::OuterTop() const { return PxToTwips(WindowRect(hwnd_).top, dpi_); }
double MainForm::OuterWidth() const {
  const RECT r = WindowRect(hwnd_);
  return PxToTwips(r.right - r.left, dpi_);
}
double MainForm::OuterHeight() const {
  const RECT r = WindowRect(hwnd_);
  return PxToTwips(r.bottom - r.top, dpi_);
}

void MainForm::SetOuterGeometry(double left, double top, double width, double height) {
  ::SetWindowPos(hwnd_, nullptr, TwipsToPx(left, dpi_), TwipsToPx(top, dpi_),
                 TwipsToPx(width, dpi_), TwipsToPx(height, dpi_), SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainForm::Form_Resize() {
  if (!::IsWindowVisible(hwnd_) || ::IsIconic(hwnd_) || in_resize_) return;
  in_resize_ = true;
  const double w = std::round(OuterWidth());
  const double h = std::round(OuterHeight());
  const unsigned dpi = dpi_;
  layout_ = ui::ResizeLayout(w, h, [dpi](double twips) { return SnapTwips(twips, dpi); });
  if (layout_.window_width != w || layout_.window_height != h) {
    SetOuterGeometry(OuterLeft(), OuterTop(), layout_.window_width, layout_.window_height);
  }
  ApplyLayout();
  in_resize_ = false;
}

void MainForm::ApplyLayout() {
  const auto place = [this](int id, const ui::Box& box, double left, double top) {
    ::MoveWindow(Control(id), TwipsToPx(left + box.left, dpi_), TwipsToPx(top + box.top, dpi_),
                 TwipsToPx(box.width, dpi_), TwipsToPx(box.height, dpi_), TRUE);
  };
  const ui::WindowLayout& l = layout_;
  place(kFrame1, l.frame1, 0, 0);
  place(kFrame2, l.frame2, l.frame1.left, l.frame1.top);
  place(kFrame3, l.frame3, l.frame1.left, l.frame1.top);
  const double left2 = l.frame1.left + l.frame2.left;
  const double top2 = l.frame1.top + l.frame2.top;
  const double left3 = l.frame1.left + l.frame3.left;
  const double top3 = l.frame1.top + l.frame3.top;
  place(kListView1, l.list1, left2, top2);
  place(kListView2, l.list2, left3, top3);
  // A drop-down list's height holds its opened list; the closed box takes
  // the height its font needs.
  ui::Box drive = l.drive1;
  drive.height = 8 * l.drive1.height;
  place(kDrive1, drive, left3, top3);
  place(kCreateDir, l.create_dir, l.frame1.left, l.frame1.top);
  place(kDelete, l.del, l.frame1.left, l.frame1.top);
  place(kCopy1, l.copy1, l.frame1.left, l.frame1.top);
  place(kCopy2, l.copy2, l.frame1.left, l.frame1.top);
  place(kSynchronize, l.synchronize, l.frame1.left, l.frame1.top);
  if (l.window_width > 0) {
    SetColumnWidths(kListView1, l.name_column1);
    SetColumnWidths(kListView2, l.name_column2);
  }
}

// The size column keeps its design width unless the header's font needs
// more; the name column then gives up what the size column took, so the two
// still fill the width the layout planned.
void MainForm::SetColumnWidths(int list_id, double name_twips) {
  HWND list = Control(list_id);
  const int design = TwipsToPx(ui::kSizeColumnWidth, dpi_);
  const auto header = static_cast<int>(
      ::SendMessageW(list, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(L"Size (bytes):")));
  const int size_px = std::max(design, header + ::MulDiv(16, static_cast<int>(dpi_), 96));
  ::SendMessageW(list, LVM_SETCOLUMNWIDTH, 1, size_px);
  ::SendMessageW(list, LVM_SETCOLUMNWIDTH, 0,
                 std::max(1, TwipsToPx(name_twips, dpi_) - (size_px - design)));
}

LRESULT CALLBACK MainForm::Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<MainForm*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    self->hwnd_ = hwnd;
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<MainForm*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr) return ::DefWindowProcW(hwnd, message, wparam, lparam);
  return self->OnMessage(message, wparam, lparam);
}

LRESULT MainForm::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      OnCommand(LOWORD(wparam), HIWORD(wparam));
      return 0;
    case WM_NOTIFY:
      return OnNotify(*reinterpret_cast<const NMHDR*>(lparam));
    case WM_SIZE:
      if (wparam != SIZE_MINIMIZED) Form_Resize();
      return 0;
    case WM_GETMINMAXINFO: {
      auto* limits = reinterpret_cast<MINMAXINFO*>(lparam);
      limits->ptMinTrackSize.x = TwipsToPx(ui::kMinWindowWidth, dpi_);
      limits->ptMinTrackSize.y = TwipsToPx(ui::kMinWindowHeight, dpi_);
      return 0;
    }
    case WM_DPICHANGED: {
      dpi_ = HIWORD(wparam);
      SetFonts();
      const auto* suggested = reinterpret_cast<const RECT*>(lparam);
      ::SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_ACTIVATE:
      // A window that is not a dialog keeps its focus over a switch itself.
      if (LOWORD(wparam) == WA_INACTIVE) {
        HWND focus = ::GetFocus();
        if (focus != nullptr && ::IsChild(hwnd_, focus)) focus_when_inactive_ = focus;
      }
      return 0;
    case WM_SETFOCUS: {
      HWND back = focus_when_inactive_;
      if (back == nullptr || !::IsWindow(back) || !::IsWindowEnabled(back)) {
        back = Control(kSynchronize);
      }
      ::SetFocus(back);
      return 0;
    }
    case WM_CLOSE:
      Close();
      return 0;
    default:
      return ::DefWindowProcW(hwnd_, message, wparam, lparam);
  }
}

void MainForm::Close() {
  if (commands_ != nullptr && commands_->Busy()) {
    // The close box never ends the program in the middle of an exchange: it
    // asks the running command to stop, as "Cancel" does.
    if (msg_.Loaded()) {
      msg_.Command1_Click();
    } else {
      commands_->RequestStop();
    }
    return;
  }
  ExitProgram();
}

void MainForm::OnCommand(int id, int code) {
  switch (id) {
    case kSynchronize:
      if (code == BN_CLICKED) Start(&ui::WindowCommands::Synchronize_Click);
      break;
    case kCopy1:
      if (code == BN_CLICKED) Start(&ui::WindowCommands::Copy1_Click);
      break;
    case kCopy2:
      if (code == BN_CLICKED) Start(&ui::WindowCommands::Copy2_Click);
      break;
    case kDelete:
      if (code == BN_CLICKED) Start(&ui::WindowCommands::Delete_Click);
      break;
    case kCreateDir:
      if (code == BN_CLICKED) Start(&ui::WindowCommands::CreateDir_Click);
      break;
    case kDrive1:
      if (code == CBN_SELCHANGE) Start(&ui::WindowCommands::Drive1_Change);
      break;
    case IDOK:
      OnEnter();
      break;
    case kFileExit:
      Close();
      break;
    case kOptionsMain:
      Options_Main_Click();
      break;
    case kOptionsWindow:
      Options_Window_Click();
      break;
    case kCheckUp:
      OpenHelpDocument(kVersionDocument);
      break;
    case kHelpAbout:
      Help_About_Click();
      break;
    case kLicense:
      OpenHelpDocument(kLicenseDocument);
      break;
    case kReadme:
    case kOnlineDoc:
      // The project has no web site: its documentation is the bundled read-me.
      OpenHelpDocument(kReadmeDocument);
      break;
    case kLimit:
      OpenHelpDocument(kLimitationsDocument);
      break;
    case kHistoryFile:
      OpenHelpDocument(kHistoryDocument);
      break;
    default:
      break;
  }
}

void MainForm::OnEnter() {
  HWND focus = ::GetFocus();
  if (focus == Control(kListView1) && CurrentRow(kListView1) >= 0) {
    Start(&ui::WindowCommands::ListView1_DblClick);
  } else if (focus == Control(kListView2) && CurrentRow(kListView2) >= 0) {
    Start(&ui::WindowCommands::ListView2_DblClick);
  } else if (focus != nullptr && ::IsChild(hwnd_, focus) &&
             (::SendMessageW(focus, WM_GETDLGCODE, 0, 0) & DLGC_UNDEFPUSHBUTTON) != 0) {
    // Enter presses the button that has the focus.
    ::SendMessageW(focus, BM_CLICK, 0, 0);
  }
}

LRESULT MainForm::OnNotify(const NMHDR& header) {
  const int id = static_cast<int>(header.idFrom);
  if (id != kListView1 && id != kListView2) return 0;
  if (header.code == NM_DBLCLK) {
    if (reinterpret_cast<const NMITEMACTIVATE&>(header).iItem >= 0) {
      Start(id == kListView1 ? &ui::WindowCommands::ListView1_DblClick
                             : &ui::WindowCommands::ListView2_DblClick);
    }
  } else if (header.code == LVN_KEYDOWN) {
    PaneKey(id, reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey);
  }
  return 0;
}

// The keyboard's way to what the mouse does on a pane: Backspace is a
// double-click on "<..>", and Delete in the organizer pane the "Delete" button.
bool MainForm::PaneKey(int list_id, WORD key) {
  const bool organizer = list_id == kListView1;
  if (::GetKeyState(VK_CONTROL) < 0 || ::GetKeyState(VK_MENU) < 0 || ::GetKeyState(VK_SHIFT) < 0) {
    return false;
  }
  const auto double_click =
      organizer ? &ui::WindowCommands::ListView1_DblClick : &ui::WindowCommands::ListView2_DblClick;
  const Pane& pane = organizer ? organizer_ : computer_;
  switch (key) {
    case VK_BACK:
      for (std::size_t row = 0; row < pane.rows.size(); ++row) {
        if (pane.rows[row].text != "<..>") continue;
        for (std::size_t other = 0; other < pane.rows.size(); ++other) {
          SelectRow(list_id, static_cast<int>(other), other == row);
        }
        LVITEMW item{};
        item.stateMask = LVIS_FOCUSED;
        item.state = LVIS_FOCUSED;
        ::SendMessageW(Control(list_id), LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
        Start(double_click);
        break;
      }
      return true;
    case VK_DELETE:
      if (!organizer) return false;
      if (::IsWindowEnabled(Control(kDelete))) Start(&ui::WindowCommands::Delete_Click);
      return true;
    default:
      return false;
  }
}

bool MainForm::PreTranslate(MSG& message) {
  HWND status = msg_.Handle();
  if (status != nullptr && ::IsDialogMessageW(status, &message)) return true;
  if (hwnd_ == nullptr || (message.hwnd != hwnd_ && !::IsChild(hwnd_, message.hwnd))) return false;
  // The menus' access keys go to the menu bar, not to the controls.
  if (message.message == WM_SYSCHAR || message.message == WM_SYSKEYDOWN) return false;
  return ::IsDialogMessageW(hwnd_, &message) != FALSE;
}

void MainForm::StatusShow(const std::string& text) {
  if (!msg_.Loaded()) {
    SetMainWindowEnabled(false);
    state_.StopRequested = 0;
    msg_.Load(hwnd_);
  }
  msg_.SetText(DisplayText(text));
  HWND status = msg_.Handle();
  if (status == nullptr) return;
  ::ShowWindow(status, SW_SHOW);
  ::UpdateWindow(status);
}

void MainForm::StatusUnload() {
  if (!msg_.Loaded()) return;
  const bool was_active = ::GetActiveWindow() == msg_.Handle();
  msg_.Unload();
  if (was_active && main_enabled_) ::SetActiveWindow(hwnd_);
}

void MainForm::SetMainWindowEnabled(bool enabled) {
  // Disabling takes the keyboard focus away; it comes back where it was, so
  // that a keyboard user goes on from there.
  HWND focus = ::GetFocus();
  if (!enabled && focus != nullptr && ::IsChild(hwnd_, focus)) focus_before_disable_ = focus;
  // The window itself: its owned windows (the status window among them) stay usable.
  main_enabled_ = enabled;
  ::EnableWindow(hwnd_, enabled ? TRUE : FALSE);
  if (enabled && focus_before_disable_ != nullptr) {
    HWND back =
        ::IsWindowEnabled(focus_before_disable_) ? focus_before_disable_ : Control(kSynchronize);
    focus_when_inactive_ = back;
    if (!msg_.Loaded() || ::GetActiveWindow() != msg_.Handle()) ::SetFocus(back);
    focus_before_disable_ = nullptr;
  }
}

void MainForm::PumpEvents() {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // For the program's own loop, which ends on it.
      ::PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    if (PreTranslate(message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

HWND MainForm::MessageOwner() const {
  // Over the status window while it is there, so that its "Cancel" waits too.
  return msg_.Loaded() ? msg_.Handle() : hwnd_;
}

void MainForm::ShowMessage(const std::string& text, const std::string& detail) {
  std::wstring shown = DisplayText(text);
  // The system's own texts are UTF-8.
  if (!detail.empty()) shown += L"\n\n" + FromUtf8(detail);
  if (services_.message_box) services_.message_box(MessageOwner(), shown, kAppTitle, MB_OK);
}

bool MainForm::AskQuestion(const std::string& text) {
  if (!services_.message_box) return false;
  return services_.message_box(MessageOwner(), DisplayText(text), L"Question",
                               MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON1) == IDYES;
}

commands::NewDirectoryAnswer MainForm::AskNewDirectoryName() {
  SetMainWindowEnabled(false);
  InputNewDir dialog(services_);
  dialog.RunModal(hwnd_);
  return dialog.Answer();
}

void MainForm::Fill(int list_id, Pane& pane, const std::vector<PaneRow>& rows, bool computer) {
  HWND list = Control(list_id);
  ::SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  ::SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
  pane.rows = rows;
  ::SendMessageW(list, LVM_SETITEMCOUNT, rows.size(), 0);
  for (std::size_t row = 0; row < rows.size(); ++row) {
    std::wstring text = computer ? ComputerText(rows[row].text) : DisplayText(rows[row].text);
    std::wstring size = DisplayText(rows[row].size);
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(row);
    item.pszText = text.data();
    ::SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    item.iSubItem = 1;
    item.pszText = size.data();
    ::SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
  }
  ::SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  ::InvalidateRect(list, nullptr, TRUE);
}

std::string MainForm::RowText(const Pane& pane, int row) {
  if (row < 0 || row >= static_cast<int>(pane.rows.size())) return {};
  return pane.rows[static_cast<std::size_t>(row)].text;
}

bool MainForm::RowSelected(int list_id, int row) const {
  return (::SendMessageW(Control(list_id), LVM_GETITEMSTATE, row, LVIS_SELECTED) & LVIS_SELECTED) !=
         0;
}

void MainForm::SelectRow(int list_id, int row, bool selected) {
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED;
  item.state = selected ? LVIS_SELECTED : 0;
  ::SendMessageW(Control(list_id), LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

int MainForm::CurrentRow(int list_id) const {
  return static_cast<int>(
      ::SendMessageW(Control(list_id), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
}

void MainForm::SetOrganizerRows(const std::vector<PaneRow>& rows) {
  Fill(kListView1, organizer_, rows, false);
}
int MainForm::OrganizerRowCount() const { return static_cast<int>(organizer_.rows.size()); }
std::string MainForm::OrganizerRowText(int row) const { return RowText(organizer_, row); }
bool MainForm::OrganizerRowSelected(int row) const { return RowSelected(kListView1, row); }
void MainForm::SetOrganizerRowSelected(int row, bool selected) {
  SelectRow(kListView1, row, selected);
}
int MainForm::OrganizerCurrentRow() const { return CurrentRow(kListView1); }

void MainForm::SetOrganizerPaneEnabled(bool enabled) {
  HWND list = Control(kListView1);
  if (!enabled && ::GetFocus() == list) ::SetFocus(Control(kSynchronize));
  ::EnableWindow(list, enabled ? TRUE : FALSE);
}

HWND MainForm::Button(OrganizerButton button) const {
  switch (button) {
    case OrganizerButton::kCopy1:
      return Control(kCopy1);
    case OrganizerButton::kCopy2:
      return Control(kCopy2);
    case OrganizerButton::kCreateDir:
      return Control(kCreateDir);
    case OrganizerButton::kDelete:
      return Control(kDelete);
  }
  return nullptr;
}

void MainForm::SetOrganizerButtonEnabled(OrganizerButton button, bool enabled) {
  HWND b = Button(button);
  if (b == nullptr) return;
  if (!enabled && ::GetFocus() == b) ::SetFocus(Control(kSynchronize));
  ::EnableWindow(b, enabled ? TRUE : FALSE);
}

void MainForm::SetComputerRows(const std::vector<PaneRow>& rows) {
  Fill(kListView2, computer_, rows, true);
}
int MainForm::ComputerRowCount() const { return static_cast<int>(computer_.rows.size()); }
std::string MainForm::ComputerRowText(int row) const { return RowText(computer_, row); }
bool MainForm::ComputerRowSelected(int row) const { return RowSelected(kListView2, row); }
void MainForm::SetComputerRowSelected(int row, bool selected) {
  SelectRow(kListView2, row, selected);
}
int MainForm::ComputerCurrentRow() const { return CurrentRow(kListView2); }

std::string MainForm::SelectedDriveText() const {
  const auto index = ::SendMessageW(Control(kDrive1), CB_GETCURSEL, 0, 0);
  if (index < 0 || index >= static_cast<LRESULT>(drives_.size())) return {};
  return drives_[static_cast<std::size_t>(index)];
}

int RunMessageLoop(MainForm& form) {
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (form.PreTranslate(message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

}  // namespace tavo::winui

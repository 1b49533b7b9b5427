#include "winui/dialogs.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <utility>

#include "winui/accessibility.h"
#include "winui/artwork.h"
#include "winui/metrics.h"
#include "winui/text.h"

namespace tavo::winui {
namespace {

using settings::SettingsGroup;

constexpr DWORD kFixedDialog = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
constexpr DWORD kButton = WS_TABSTOP | BS_PUSHBUTTON;
constexpr double kButtonWidth = 1215;
constexpr double kButtonHeight = 375;
// A drop-down list's height holds its opened list too.
constexpr double kComboListTwips = 1800;

std::wstring WindowText(HWND window) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

// Selects entry `whole - 1`; a value outside the list selects nothing.
void SelectEntry(HWND combo, long long whole) {
  const long long index = whole - 1;
  const auto count = ::SendMessageW(combo, CB_GETCOUNT, 0, 0);
  ::SendMessageW(combo, CB_SETCURSEL, index >= 0 && index < count ? index : -1, 0);
}

void AddEntries(HWND combo, std::initializer_list<const wchar_t*> entries) {
  for (const wchar_t* entry : entries) {
    ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
  }
}

bool Checked(HWND box) { return ::SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void Check(HWND box, bool on) {
  ::SendMessageW(box, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
}

}  // namespace

Dialog::Dialog(const WinServices& services, std::string name, std::wstring caption, DWORD style)
    : services_(services), name_(std::move(name)), caption_(std::move(caption)), style_(style) {}

Dialog::~Dialog() { Destroy(); }

std::vector<WORD> Dialog::Template() const {
  // A template without controls: they are made at the window's DPI instead.
  DLGTEMPLATE head{};
  head.style = style_;
  std::vector<WORD> words(sizeof head / sizeof(WORD));
  std::copy_n(reinterpret_cast<const WORD*>(&head), words.size(), words.begin());
  words.push_back(0);  // no menu
  words.push_back(0);  // the standard dialog class
  for (wchar_t c : caption_) words.push_back(static_cast<WORD>(c));
  words.push_back(0);
  return words;
}

INT_PTR Dialog::RunModal(HWND owner) {
  modal_ = true;
  owner_ = owner;
  const std::vector<WORD> words = Template();
  return ::DialogBoxIndirectParamW(::GetModuleHandleW(nullptr),
                                   reinterpret_cast<LPCDLGTEMPLATEW>(words.data()), owner, Proc,
                                   reinterpret_cast<LPARAM>(this));
}

HWND Dialog::CreateModeless(HWND owner) {
  if (hwnd_ != nullptr) return hwnd_;
  modal_ = false;
  owner_ = owner;
  const std::vector<WORD> words = Template();
  ::CreateDialogIndirectParamW(::GetModuleHandleW(nullptr),
                               reinterpret_cast<LPCDLGTEMPLATEW>(words.data()), owner, Proc,
                               reinterpret_cast<LPARAM>(this));
  return hwnd_;
}

void Dialog::Destroy() {
  if (hwnd_ != nullptr && !modal_) ::DestroyWindow(hwnd_);
}

void Dialog::End(INT_PTR result) {
  if (hwnd_ == nullptr) return;
  if (modal_) {
    ::EndDialog(hwnd_, result);
  } else {
    ::DestroyWindow(hwnd_);
  }
}

HWND Dialog::Add(const wchar_t* window_class, const std::wstring& text, DWORD style, int id,
                 double left, double top, double width, double height) {
  HWND control = ::CreateWindowExW(
      0, window_class, text.c_str(), WS_CHILD | WS_VISIBLE | style, TwipsToPx(left, dpi_),
      TwipsToPx(top, dpi_), TwipsToPx(width, dpi_), TwipsToPx(height, dpi_), hwnd_,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr), nullptr);
  ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  return control;
}

void Dialog::SetClientTwips(double width, double height) {
  const SIZE outer = OuterForClient(hwnd_, TwipsToPx(width, dpi_), TwipsToPx(height, dpi_));
  ::SetWindowPos(hwnd_, nullptr, 0, 0, outer.cx, outer.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

namespace {

RECT RectIn(HWND parent, HWND control) {
  RECT rect{};
  ::GetWindowRect(control, &rect);
  ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

int TextWidth(HWND control, const std::wstring& text) {
  HDC dc = ::GetDC(control);
  HGDIOBJ old =
      ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)));
  SIZE size{};
  // Access-key marks take no room.
  std::wstring shown;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'&' && i + 1 < text.size()) ++i;
    shown += text[i];
  }
  ::GetTextExtentPoint32W(dc, shown.c_str(), static_cast<int>(shown.size()), &size);
  ::SelectObject(dc, old);
  ::ReleaseDC(control, dc);
  return size.cx;
}

}  // namespace

int Dialog::FitText(int id, double min_left, int extra) {
  HWND control = Item(id);
  RECT rect = RectIn(hwnd_, control);
  const int needed = TextWidth(control, WindowText(control)) + extra;
  const int missing = needed - (rect.right - rect.left);
  if (missing <= 0) return 0;
  wchar_t window_class[16] = {};
  ::GetClassNameW(control, window_class, 16);
  const bool right_aligned = ::lstrcmpiW(window_class, WC_STATICW) == 0 &&
                             (::GetWindowLongPtrW(control, GWL_STYLE) & SS_TYPEMASK) == SS_RIGHT;
  const int leftward =
      right_aligned
          ? std::clamp(static_cast<int>(rect.left - TwipsToPx(min_left, dpi_)), 0, missing)
          : 0;
  ::MoveWindow(control, rect.left - leftward, rect.top, needed, rect.bottom - rect.top, TRUE);
  return missing - leftward;
}

void Dialog::MoveRight(int id, int pixels) {
  if (pixels == 0) return;
  HWND control = Item(id);
  const RECT rect = RectIn(hwnd_, control);
  ::MoveWindow(control, rect.left + pixels, rect.top, rect.right - rect.left,
               rect.bottom - rect.top, TRUE);
}

void Dialog::GrowToHold(int frame_id, std::initializer_list<int> inside) {
  const int margin = TwipsToPx(120, dpi_);
  HWND frame = Item(frame_id);
  RECT frame_rect = RectIn(hwnd_, frame);
  for (int id : inside) {
    frame_rect.right = std::max(frame_rect.right, RectIn(hwnd_, Item(id)).right + margin);
  }
  ::MoveWindow(frame, frame_rect.left, frame_rect.top, frame_rect.right - frame_rect.left,
               frame_rect.bottom - frame_rect.top, TRUE);
  RECT client{};
  ::GetClientRect(hwnd_, &client);
  int width = client.right;
  for (HWND child = ::GetWindow(hwnd_, GW_CHILD); child != nullptr;
       child = ::GetWindow(child, GW_HWNDNEXT)) {
    width = std::max(width, static_cast<int>(RectIn(hwnd_, child).right) + margin);
  }
  if (width == client.right) return;
  const SIZE outer = OuterForClient(hwnd_, width, client.bottom);
  ::SetWindowPos(hwnd_, nullptr, 0, 0, outer.cx, outer.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool Dialog::OnMessage(UINT /*message*/, WPARAM /*wparam*/, LPARAM /*lparam*/) { return false; }

void Dialog::Place(HWND owner) { CentreOn(hwnd_, owner); }

INT_PTR CALLBACK Dialog::Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* self = reinterpret_cast<Dialog*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<Dialog*>(lparam);
    ::SetWindowLongPtrW(hwnd, DWLP_USER, lparam);
    self->hwnd_ = hwnd;
    self->dpi_ = WindowDpi(hwnd);
    self->font_ = MessageFont(self->dpi_);
    self->OnInit();
    self->Place(self->owner_);
    if (HWND first = ::GetNextDlgTabItem(hwnd, nullptr, FALSE)) ::SetFocus(first);
    // Keyboard users see where the focus is and which keys are access keys.
    ::SendMessageW(hwnd, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL),
                   0);
    if (self->services_.dialog_opened) self->services_.dialog_opened(hwnd, self->name_);
    return FALSE;
  }
  if (self == nullptr) return FALSE;
  switch (message) {
    case WM_COMMAND:
      self->OnCommand(LOWORD(wparam), HIWORD(wparam));
      return TRUE;
    case WM_CLOSE:
      self->OnClose();
      return TRUE;
    case WM_NCDESTROY:
      ::DeleteObject(self->font_);
      self->font_ = nullptr;
      self->hwnd_ = nullptr;
      return FALSE;
    default:
      return self->OnMessage(message, wparam, lparam) ? TRUE : FALSE;
  }
}

// The status window.

Msg::Msg(const WinServices& services, std::function<void()> on_cancel)
    : Dialog(services, "Msg", L" ", WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME),
      on_cancel_(std::move(on_cancel)) {}

void Msg::Load(HWND owner) { CreateModeless(owner); }

void Msg::OnInit() {
  SetClientTwips(6030, 2025);
  Add(WC_BUTTONW, L"", BS_GROUPBOX, kDialogFrame1, 120, 120, 5775, 1095);
  Add(WC_STATICW, L"", SS_CENTER | SS_NOPREFIX, kDialogLabel1, 120 + 120, 120 + 240, 5535, 735);
  Add(WC_BUTTONW, L"Cancel", kButton | WS_GROUP, IDCANCEL, 2400, 1440, 1335, 375);
  NameForScreenReaders(Handle(), L"Progress");  // the caption is a blank
}

void Msg::SetText(const std::wstring& text) {
  if (Handle() != nullptr) ::SetDlgItemTextW(Handle(), kDialogLabel1, text.c_str());
}

std::wstring Msg::Text() const { return WindowText(Item(kDialogLabel1)); }

void Msg::Command1_Click() {
  HWND cancel = Item(IDCANCEL);
  if (cancel == nullptr || !::IsWindowEnabled(cancel)) return;
  // The focus must not be left on a disabled button: Escape still reaches the dialog.
  ::SetFocus(Handle());
  ::EnableWindow(cancel, FALSE);
  if (on_cancel_) on_cancel_();
}

void Msg::OnCommand(int id, int code) {
  // Only the action may unload the window; Escape and the close box ask for a stop.
  if (id == IDCANCEL && code == BN_CLICKED) Command1_Click();
}

// "Choosing directory name ...".

InputNewDir::InputNewDir(const WinServices& services)
    : Dialog(services, "InputNewDir", L"Choosing directory name ...", kFixedDialog) {}

void InputNewDir::OnInit() {
  SetClientTwips(6015, 1500);
  Add(WC_BUTTONW, L"", BS_GROUPBOX, kDialogFrame1, 120, 120, 5775, 615);
  Add(WC_STATICW, L"Input name of the directory:", SS_LEFT | SS_NOPREFIX, kDialogLabel1, 120 + 120,
      120 + 255, 2055, 255);
  Add(WC_EDITW, L"", WS_TABSTOP | WS_GROUP | WS_BORDER | ES_AUTOHSCROLL, kNewDirText1, 120 + 2280,
      120 + 240, 3375, 285);
  MoveRight(kNewDirText1, FitText(kDialogLabel1, 0));
  Add(WC_BUTTONW, L"Ok", kButton, kNewDirCommand1, 1440, 960, kButtonWidth, kButtonHeight);
  Add(WC_BUTTONW, L"Cancel", kButton, kNewDirCommand2, 3360, 960, kButtonWidth, kButtonHeight);
  GrowToHold(kDialogFrame1, {kDialogLabel1, kNewDirText1});
}

void InputNewDir::OnCommand(int id, int code) {
  if (code != BN_CLICKED) return;
  switch (id) {
    case kNewDirCommand1:
      // The name goes on as the bytes the user typed, in UTF-8.
      answer_.NewDirectoryName = Utf8(WindowText(Item(kNewDirText1)));
      answer_.NewDirectoryResult = 1;
      End(1);
      break;
    case kNewDirCommand2:
      answer_.NewDirectoryResult = 2;
      End(2);
      break;
    case IDCANCEL:
      // Escape closes it as the close box does, without a button's answer.
      End(0);
      break;
    default:
      // Enter answers neither button.
      break;
  }
}

// "Window Options".

OptionsWindow::OptionsWindow(const WinServices& services, OptionsContext context)
    : Dialog(services, "OptionsWindow", L"Window Options", kFixedDialog),
      context_(std::move(context)) {}

void OptionsWindow::OnInit() {
  SetClientTwips(4935, 1815);
  Add(WC_BUTTONW, L"", BS_GROUPBOX, kDialogFrame1, 120, 120, 4695, 975);
  Add(WC_BUTTONW, L"&Save position and size of main window on exit",
      WS_TABSTOP | WS_GROUP | BS_AUTOCHECKBOX, kOptionsCheck1, 120 + 480, 120 + 240, 3615, 255);
  Add(WC_BUTTONW, L"S&how \"About Program\" during loading", WS_TABSTOP | BS_AUTOCHECKBOX,
      kOptionsCheck2, 120 + 480, 120 + 600, 3615, 255);
  Add(WC_BUTTONW, L"&Default", kButton | WS_GROUP, kOptionsDefault, 120, 1320, kButtonWidth,
      kButtonHeight);
  Add(WC_BUTTONW, L"&OK", WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK, 2160, 1320, kButtonWidth,
      kButtonHeight);
  Add(WC_BUTTONW, L"&Cancel", kButton, IDCANCEL, 3600, 1320, kButtonWidth, kButtonHeight);
  // The box itself and its gap before the caption.
  const int box = ::GetSystemMetricsForDpi(SM_CXMENUCHECK, dpi_) + TwipsToPx(90, dpi_);
  FitText(kOptionsCheck1, 0, box);
  FitText(kOptionsCheck2, 0, box);
  GrowToHold(kDialogFrame1, {kOptionsCheck1, kOptionsCheck2});
  ShowSettings(context_.config);
}

void OptionsWindow::ShowSettings(const settings::Config& shown) {
  const auto& v = shown.ConfigValues;
  Check(Item(kOptionsCheck1), v[settings::SaveGeometryOnExit] == "1");
  Check(Item(kOptionsCheck2), v[settings::ShowAboutAtStart] == "1");
}

void OptionsWindow::Command1_Click() {
  ShowSettings(settings::PressDefault(context_.config, SettingsGroup::kWindow));
}

void OptionsWindow::Command2_Click() {
  auto& v = context_.config.ConfigValues;
  v[settings::SaveGeometryOnExit] = Checked(Item(kOptionsCheck1)) ? "1" : "0";
  v[settings::ShowAboutAtStart] = Checked(Item(kOptionsCheck2)) ? "1" : "0";
  settings::CheckConfig(context_.config, SettingsGroup::kWindow, context_.screen);
  settings::WriteConfig(context_.config, context_.start_directory);
  End(IDOK);
}

void OptionsWindow::OnCommand(int id, int code) {
  if (code != BN_CLICKED) return;
  if (id == kOptionsDefault) Command1_Click();
  if (id == IDOK) Command2_Click();
  if (id == IDCANCEL) End(IDCANCEL);
}

// "Main Options".

OptionsMain::OptionsMain(const WinServices& services, OptionsContext context)
    : Dialog(services, "OptionsMain", L"Main Options", kFixedDialog),
      context_(std::move(context)) {}

void OptionsMain::OnInit() {
  SetClientTwips(4935, 2280);
  Add(WC_BUTTONW, L"Port Options:", BS_GROUPBOX, kDialogFrame1, 120, 120, 4695, 1575);
  Add(WC_STATICW, L"Serial Port with Organier:", SS_RIGHT | SS_NOPREFIX, kDialogLabel1, 120 + 840,
      120 + 390, 1815, 255);
  HWND combo1 = Add(WC_COMBOBOXW, L"", WS_TABSTOP | WS_GROUP | WS_VSCROLL | CBS_DROPDOWNLIST,
                    kOptionsCombo1, 120 + 2880, 120 + 360, 855, kComboListTwips);
  NameForScreenReaders(combo1, L"Serial Port with Organier:");
  AddEntries(combo1, {L"COM1", L"COM2", L"COM3", L"COM4"});
  Add(WC_STATICW, L"Serial Port Baud Rate:", SS_RIGHT | SS_NOPREFIX, kDialogLabel2, 120 + 720,
      120 + 960, 1935, 255);
  HWND combo2 = Add(WC_COMBOBOXW, L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, kOptionsCombo2,
                    120 + 2880, 120 + 960, 855, kComboListTwips);
  AddEntries(combo2, {L"4800", L"9600", L"19200", L"38400"});
  NameForScreenReaders(combo2, L"Serial Port Baud Rate:");
  Add(WC_BUTTONW, L"&Default", kButton | WS_GROUP, kOptionsDefault, 120, 1800, kButtonWidth,
      kButtonHeight);
  Add(WC_BUTTONW, L"&OK", WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK, 2160, 1800, kButtonWidth,
      kButtonHeight);
  Add(WC_BUTTONW, L"&Cancel", kButton, IDCANCEL, 3600, 1800, kButtonWidth, kButtonHeight);
  // Where the font is wider than designed, the labels and lists grow and the
  // lists stay lined up.
  const int shift = std::max(FitText(kDialogLabel1, 240), FitText(kDialogLabel2, 240));
  for (int id : {kOptionsCombo1, kOptionsCombo2}) {
    MoveRight(id, shift);
    FitCombo(id);
  }
  GrowToHold(kDialogFrame1, {kDialogLabel1, kDialogLabel2, kOptionsCombo1, kOptionsCombo2});
  ShowSettings(context_.config);
}

void OptionsMain::FitCombo(int id) {
  HWND combo = Item(id);
  int widest = 0;
  const auto count = ::SendMessageW(combo, CB_GETCOUNT, 0, 0);
  for (int i = 0; i < count; ++i) {
    wchar_t text[32] = {};
    ::SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
    widest = std::max(widest, TextWidth(combo, text));
  }
  const int needed = widest + ::GetSystemMetricsForDpi(SM_CXVSCROLL, dpi_) + TwipsToPx(150, dpi_);
  const RECT rect = RectIn(Handle(), combo);
  if (needed > rect.right - rect.left) {
    ::MoveWindow(combo, rect.left, rect.top, needed, rect.bottom - rect.top, TRUE);
  }
}

void OptionsMain::ShowSettings(const settings::Config& shown) {
  const auto& v = shown.ConfigValues;
  SelectEntry(Item(kOptionsCombo1), settings::WholeValue(v[settings::PortNumber]));
  SelectEntry(Item(kOptionsCombo2), settings::WholeValue(v[settings::BaudCode]));
}

void OptionsMain::Command1_Click() {
  ShowSettings(settings::PressDefault(context_.config, SettingsGroup::kPort));
}

void OptionsMain::Command2_Click() {
  auto& v = context_.config.ConfigValues;
  // With nothing selected the entry number is -1: the range check then
  // brings the value back to its default instead of writing "0".
  const auto entry = [this](int id) {
    return static_cast<long long>(::SendMessageW(Item(id), CB_GETCURSEL, 0, 0));
  };
  v[settings::PortNumber] = settings::StoredNumber(entry(kOptionsCombo1) + 1);
  v[settings::BaudCode] = settings::StoredNumber(entry(kOptionsCombo2) + 1);
  settings::CheckConfig(context_.config, SettingsGroup::kPort, context_.screen);
  settings::WriteConfig(context_.config, context_.start_directory);
  End(IDOK);
}

void OptionsMain::OnCommand(int id, int code) {
  if (code != BN_CLICKED) return;
  if (id == kOptionsDefault) Command1_Click();
  if (id == IDOK) Command2_Click();
  if (id == IDCANCEL) End(IDCANCEL);
}

// The About window.

About::About(const WinServices& services) : Dialog(services, "About", L"About Program", WS_POPUP) {}

void About::OnInit() { SetClientTwips(7500, 4485); }

void About::Place(HWND /*owner*/) {
  RECT own{};
  ::GetWindowRect(Handle(), &own);
  MONITORINFO info{};
  info.cbSize = sizeof info;
  ::GetMonitorInfoW(::MonitorFromWindow(Handle(), MONITOR_DEFAULTTOPRIMARY), &info);
  const RECT& area = info.rcMonitor;
  const int width = own.right - own.left;
  const int height = own.bottom - own.top;
  ::SetWindowPos(Handle(), nullptr, area.left + (area.right - area.left - width) / 2,
                 area.top + (area.bottom - area.top - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void About::OnCommand(int id, int /*code*/) {
  if (id == IDOK || id == IDCANCEL) End(id);
}

bool About::OnMessage(UINT message, WPARAM /*wparam*/, LPARAM /*lparam*/) {
  switch (message) {
    case WM_LBUTTONDOWN:
      End(IDOK);
      return true;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = ::BeginPaint(Handle(), &paint);
      RECT area{};
      ::GetClientRect(Handle(), &area);
      PaintAboutPicture(dc, area, dpi_);
      ::EndPaint(Handle(), &paint);
      return true;
    }
    case WM_ERASEBKGND:
      return true;
    default:
      return false;
  }
}

void About::ShowForAWhile(HWND owner, double seconds) {
  HWND window = CreateModeless(owner);
  if (window == nullptr) return;
  ::ShowWindow(window, SW_SHOWNORMAL);
  ::UpdateWindow(window);
  const WaitClock& clock = services_.clock;
  const double start = clock.now();
  for (;;) {
    const double elapsed = std::abs(clock.now() - start);
    if (elapsed >= seconds) break;
    clock.sleep(std::min(0.05, seconds - elapsed));
  }
  Destroy();
}

}  // namespace tavo::winui

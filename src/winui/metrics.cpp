#include "winui/metrics.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tavo::winui {

unsigned WindowDpi(HWND window) {
  const UINT dpi = window != nullptr ? ::GetDpiForWindow(window) : 0;
  return dpi == 0 ? USER_DEFAULT_SCREEN_DPI : dpi;
}

int TwipsToPx(double twips, unsigned dpi) {
  const double px = std::round(twips * dpi / kTwipsPerInch);
  if (std::isnan(px)) return 0;
  using Limits = std::numeric_limits<int>;
  return static_cast<int>(std::clamp(px, double{Limits::min()}, double{Limits::max()}));
}

double PxToTwips(int px, unsigned dpi) { return px * kTwipsPerInch / dpi; }

double SnapTwips(double twips, unsigned dpi) { return PxToTwips(TwipsToPx(twips, dpi), dpi); }

HFONT MessageFont(unsigned dpi) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (!::SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0, dpi)) {
    // Older systems give the metrics at the system's DPI only.
    ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0);
    const UINT system = ::GetDpiForSystem();
    metrics.lfMessageFont.lfHeight =
        ::MulDiv(metrics.lfMessageFont.lfHeight, static_cast<int>(dpi), system == 0 ? 96 : system);
  }
  return ::CreateFontIndirectW(&metrics.lfMessageFont);
}

void SetFontOfChildren(HWND parent, HFONT font) {
  ::EnumChildWindows(
      parent,
      [](HWND child, LPARAM value) -> BOOL {
        ::SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(value), TRUE);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(font));
}

settings::ScreenSize ScreenOf(HWND window) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  settings::ScreenSize size;
  if (!::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &info)) return size;
  const unsigned dpi = WindowDpi(window);
  size.width_twips = PxToTwips(info.rcMonitor.right - info.rcMonitor.left, dpi);
  size.height_twips = PxToTwips(info.rcMonitor.bottom - info.rcMonitor.top, dpi);
  size.available_width_twips = PxToTwips(info.rcWork.right - info.rcWork.left, dpi);
  size.available_height_twips = PxToTwips(info.rcWork.bottom - info.rcWork.top, dpi);
  return size;
}

SIZE OuterForClient(HWND window, int width, int height) {
  RECT rect{0, 0, width, height};
  const auto style = static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_STYLE));
  const auto ex_style = static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_EXSTYLE));
  ::AdjustWindowRectExForDpi(&rect, style, ::GetMenu(window) != nullptr, ex_style,
                             WindowDpi(window));
  return {rect.right - rect.left, rect.bottom - rect.top};
}

void CentreOn(HWND window, HWND owner) {
  RECT main{};
  RECT own{};
  if (owner == nullptr || !::GetWindowRect(owner, &main) || !::GetWindowRect(window, &own)) return;
  const int width = own.right - own.left;
  const int height = own.bottom - own.top;
  const int top = main.top + ((main.bottom - main.top) - height) / 2;
  const int left = main.left + ((main.right - main.left) - width) / 2;
  ::SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace tavo::winui

#pragma once

#include <windows.h>

#include "settings/config.h"

namespace tavo::winui {

inline constexpr double kTwipsPerInch = 1440.0;

// The window's dots per inch (96 where the system cannot tell).
unsigned WindowDpi(HWND window);

// Geometry is designed in twips; controls stand on whole pixels at the
// screen's DPI (the nearest, saturated to the range of int).
int TwipsToPx(double twips, unsigned dpi);
double PxToTwips(int px, unsigned dpi);
// The value a control reports after being given `twips`: snapped to a pixel.
double SnapTwips(double twips, unsigned dpi);

// The desktop's message font at `dpi`; the caller deletes it.
HFONT MessageFont(unsigned dpi);
// Gives every child of `parent` the font.
void SetFontOfChildren(HWND parent, HFONT font);

// The size of the monitor that holds `window`, in twips.
settings::ScreenSize ScreenOf(HWND window);

// The outer size that gives `window` a client area of width x height pixels.
SIZE OuterForClient(HWND window, int width, int height);

// Puts `window` at the centre of `owner`'s outer rectangle: its top first,
// then its left.
void CentreOn(HWND window, HWND owner);

}  // namespace tavo::winui

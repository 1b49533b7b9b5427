#pragma once

#include <windows.h>

namespace tavo::winui {

// The window icon: 32 x 32, drawn in the 16 classic colours, shown at `size`.
HICON MakeWindowIcon(int size);

// The About picture, filling `area` (500 x 300 pixels at 96 dots per inch).
void PaintAboutPicture(HDC dc, const RECT& area, unsigned dpi);

}  // namespace tavo::winui

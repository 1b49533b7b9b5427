#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace tavo::ui {

inline constexpr double kTwipsPerInch = 1440.0;

// Logical dots per inch of the primary screen (96 when there is none).
double ScreenDpi();

// Geometry is designed in twips; widgets are placed in whole pixels.
int TwipsToPx(double twips);
double PxToTwips(int px);
// The value a control reports after being given `twips`: snapped to a pixel.
double SnapTwips(double twips);

QRect TwipsRect(double left, double top, double width, double height);
QSize TwipsSize(double width, double height);

// Rounds to the nearest whole number, a half going to the even neighbour.
double RoundHalfEven(double value);

}  // namespace tavo::ui

#include "ui/twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace tavo::ui {

double ScreenDpi() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr || screen->logicalDotsPerInchX() <= 0) return 96.0;
  return screen->logicalDotsPerInchX();
}

int TwipsToPx(double twips) {
  return static_cast<int>(std::lround(twips * ScreenDpi() / kTwipsPerInch));
}

double PxToTwips(int px) { return px * kTwipsPerInch / ScreenDpi(); }

double SnapTwips(double twips) { return PxToTwips(TwipsToPx(twips)); }

QRect TwipsRect(double left, double top, double width, double height) {
  return {TwipsToPx(left), TwipsToPx(top), TwipsToPx(width), TwipsToPx(height)};
}

QSize TwipsSize(double width, double height) { return {TwipsToPx(width), TwipsToPx(height)}; }

double RoundHalfEven(double value) {
  const double floor = std::floor(value);
  const double fraction = value - floor;
  if (fraction > 0.5) return floor + 1;
  if (fraction < 0.5) return floor;
  return std::fmod(floor, 2.0) == 0 ? floor : floor + 1;
}

}  // namespace tavo::ui

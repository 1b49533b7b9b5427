#include "ui/twips.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <algorithm>
#include <cmath>
#include <limits>

namespace tavo::ui {

double ScreenDpi() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr || screen->logicalDotsPerInchX() <= 0) return 96.0;
  return screen->logicalDotsPerInchX();
}

int TwipsToPx(double twips) {
  const double px = std::round(twips * ScreenDpi() / kTwipsPerInch);
  if (std::isnan(px)) return 0;
  // Saturates: a number far out of range must not wrap around.
  using Limits = std::numeric_limits<int>;
  return static_cast<int>(std::clamp(px, double{Limits::min()}, double{Limits::max()}));
}

double PxToTwips(int px) { return px * kTwipsPerInch / ScreenDpi(); }

double SnapTwips(double twips) { return PxToTwips(TwipsToPx(twips)); }

QRect TwipsRect(double left, double top, double width, double height) {
  return {TwipsToPx(left), TwipsToPx(top), TwipsToPx(width), TwipsToPx(height)};
}

QSize TwipsSize(double width, double height) { return {TwipsToPx(width), TwipsToPx(height)}; }

int FitLabel(QLabel& label, int min_left) {
  const int missing = label.sizeHint().width() - label.width();
  if (missing <= 0) return 0;
  const int leftward =
      (label.alignment() & Qt::AlignRight) ? std::min(missing, label.x() - min_left) : 0;
  label.setGeometry(label.x() - std::max(0, leftward), label.y(), label.sizeHint().width(),
                    label.height());
  return missing - std::max(0, leftward);
}

void GrowToHold(QWidget& widget, int margin) {
  QSize size = widget.size();
  for (const QWidget* child : widget.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (child->isWindow()) continue;
    size.setWidth(std::max(size.width(), child->geometry().right() + 1 + margin));
  }
  if (size == widget.size()) return;
  if (widget.isWindow()) {
    widget.setFixedSize(size);
  } else {
    widget.resize(size);
  }
}

void CaptionOnBorder(QGroupBox& frame) {
  frame.setStyleSheet(
      "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 0.5em; }"
      "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
      " left: 6px; padding: 0px 2px; background-color: palette(window); }");
}

}  // namespace tavo::ui

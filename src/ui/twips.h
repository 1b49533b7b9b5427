#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QGroupBox;
class QLabel;
class QWidget;

namespace tavo::ui {

inline constexpr double kTwipsPerInch = 1440.0;

// Logical dots per inch of the primary screen (96 when there is none).
double ScreenDpi();

// Geometry is designed in twips; widgets are placed in whole pixels (the
// nearest, saturated to the range of int).
int TwipsToPx(double twips);
double PxToTwips(int px);
// The value a control reports after being given `twips`: snapped to a pixel.
double SnapTwips(double twips);

QRect TwipsRect(double left, double top, double width, double height);
QSize TwipsSize(double width, double height);

// Where the font is wider than the design's, these keep captions whole.
// FitLabel widens `label` to show its text: a right-aligned one grows to the
// left, down to `min_left`, and then to the right. It returns how far what
// stands to the label's right must move over.
int FitLabel(QLabel& label, int min_left);
// Grows `widget` (a frame, or a dialog of fixed size) to hold its children
// with `margin` pixels to spare on the right; it never shrinks.
void GrowToHold(QWidget& widget, int margin);

// Draws a frame's border line through the middle of its caption, as the
// design has it, rather than below the caption: controls placed close under
// the caption then stand clear of the line at any font size.
void CaptionOnBorder(QGroupBox& frame);

}  // namespace tavo::ui

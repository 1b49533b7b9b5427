#include "ui/layout.h"

#include <cmath>

namespace tavo::ui {

double RoundHalfEven(double value) {
  const double floor = std::floor(value);
  const double fraction = value - floor;
  if (fraction > 0.5) return floor + 1;
  if (fraction < 0.5) return floor;
  return std::fmod(floor, 2.0) == 0 ? floor : floor + 1;
}

WindowLayout ResizeLayout(double width, double height, const std::function<double(double)>& snap) {
  WindowLayout l;
  double w = width;
  double h = height;
  if (w < kMinWindowWidth) w = kMinWindowWidth;
  if (h < kMinWindowHeight) h = kMinWindowHeight;
  l.window_width = w;
  l.window_height = h;

  l.frame1.width = snap(w - 120);
  l.frame1.height = snap(h - 690);
  l.frame2.width = snap((l.frame1.width - 340) / 2);
  l.frame2.height = snap(l.frame1.height - 1200);
  l.frame3.width = l.frame2.width;
  l.frame3.height = l.frame2.height;
  l.frame3.left = snap(w - l.frame3.width - 237);

  l.list1.width = snap(l.frame3.width - 240);
  l.list1.height = snap(l.frame3.height - 720);
  l.list2.width = l.list1.width;
  l.list2.height = l.list1.height;
  l.drive1.width = l.list2.width;

  const double button_top = snap(l.frame1.height - 975);
  l.create_dir.top = l.del.top = l.copy1.top = l.copy2.top = button_top;
  l.synchronize.top = snap(l.frame1.height - 500);

  const double button_width = snap((l.frame2.width - 470) / 3);
  l.create_dir.width = l.del.width = l.copy1.width = l.copy2.width = button_width;
  l.synchronize.width = l.frame2.width;

  l.copy2.left = l.frame3.left;
  const double gap = RoundHalfEven((l.frame2.width - 3 * button_width) / 2);
  l.del.left = snap(l.frame2.left + gap + button_width);
  l.copy1.left = snap(l.del.left + button_width + gap);

  l.name_column1 = snap(l.list1.width - 1420);
  l.name_column2 = l.name_column1;
  return l;
}

}  // namespace tavo::ui

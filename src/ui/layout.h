#pragma once

#include <functional>

namespace tavo::ui {

// Rectangles in twips, relative to the control's container.
struct Box {
  double left = 0;
  double top = 0;
  double width = 0;
  double height = 0;
  bool operator==(const Box&) const = default;
};

inline constexpr double kMinWindowWidth = 6400;
inline constexpr double kMinWindowHeight = 5400;

// Where every control of the main window stands.
struct WindowLayout {
  double window_width = 0;  // outer size after the minimum is enforced
  double window_height = 0;
  Box frame1{0, 0, 9260, 6740};
  Box frame2{120, 120, 4460, 5540};
  Box list1{120, 600, 4220, 4820};
  Box frame3{4680, 120, 4460, 5540};
  Box drive1{120, 240, 4220, 315};
  Box list2{120, 600, 4220, 4820};
  Box create_dir{120, 5760, 1330, 375};
  Box del{1680, 5760, 1330, 375};
  Box copy1{3240, 5760, 1330, 375};
  Box copy2{4680, 5760, 1330, 375};
  Box synchronize{120, 6240, 4450, 375};
  double name_column1 = 2800;
  double name_column2 = 2800;
};

inline constexpr double kSizeColumnWidth = 1100;

// Rounds to the nearest whole number, a half going to the even neighbour.
double RoundHalfEven(double value);

// Lays the window out for an outer size of width x height twips (whole numbers).
// `snap` gives the value a control reports after being set to a value, so that
// each rule works on what the previous rules really produced.
WindowLayout ResizeLayout(double width, double height, const std::function<double(double)>& snap);

}  // namespace tavo::ui

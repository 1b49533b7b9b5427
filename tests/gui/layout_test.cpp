#include "ui/layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>

#include "ui/twips.h"

namespace tavo::ui {
namespace {

// A 96 dpi screen: controls report whole multiples of 15 twips.
double Snap96(double twips) { return std::lround(twips / 15.0) * 15.0; }

TEST(Layout, DefaultSizeReproducesTheDesign) {
  const WindowLayout l = ResizeLayout(9375, 7425, Snap96);
  EXPECT_EQ(l.frame1, (Box{0, 0, 9255, 6735}));
  EXPECT_EQ(l.frame2, (Box{120, 120, 4455, 5535}));
  EXPECT_EQ(l.frame3, (Box{4680, 120, 4455, 5535}));
  EXPECT_EQ(l.list1, (Box{120, 600, 4215, 4815}));
  EXPECT_EQ(l.list2, l.list1);
  EXPECT_EQ(l.drive1, (Box{120, 240, 4215, 315}));
  EXPECT_EQ(l.create_dir, (Box{120, 5760, 1335, 375}));
  EXPECT_EQ(l.del, (Box{1680, 5760, 1335, 375}));
  EXPECT_EQ(l.copy1, (Box{3240, 5760, 1335, 375}));
  EXPECT_EQ(l.copy2, (Box{4680, 5760, 1335, 375}));
  EXPECT_EQ(l.synchronize, (Box{120, 6240, 4455, 375}));
  EXPECT_EQ(l.name_column1, 2790);
  EXPECT_EQ(l.name_column2, 2790);
}

TEST(Layout, AnySizeKeepsTheMinimumAndEqualGaps) {
  for (double w : {5000.0, 6400.0, 8000.0, 12345.0, 20000.0}) {
    SCOPED_TRACE(w);
    const WindowLayout l = ResizeLayout(w, 3000, Snap96);
    EXPECT_EQ(l.window_width, std::max(w, 6400.0));
    EXPECT_EQ(l.window_height, 5400);
    const double gap1 = l.del.left - (l.create_dir.left + l.create_dir.width);
    const double gap2 = l.copy1.left - (l.del.left + l.del.width);
    EXPECT_NEAR(gap1, gap2, 15);
    EXPECT_EQ(l.copy2.left, l.frame3.left);
    EXPECT_EQ(l.synchronize.width, l.frame2.width);
    EXPECT_NEAR(l.frame3.left + l.frame3.width, l.window_width - 237, 15);
    // The size columns keep their width; the name column takes the rest.
    EXPECT_EQ(l.name_column1, Snap96(l.list1.width - 1420));
  }
}

TEST(Layout, LaterRulesUseWhatEarlierRulesReported) {
  // A coarse snap shows whether a rule reuses the snapped value of an earlier one.
  const WindowLayout l =
      ResizeLayout(9375, 7425, [](double t) { return std::round(t / 100) * 100; });
  EXPECT_EQ(l.frame2.width, 4500);  // (9300 - 340) / 2 = 4480
  EXPECT_EQ(l.list1.width, 4300);   // from the snapped frame width, not the exact one
  EXPECT_EQ(l.frame3.left, 4600);   // 9375 - 4500 - 237 = 4638
  // In whole twips a frame 4474 wide has buttons of 1335 and gaps of 234.5,
  // which go to 234; one 4476 wide has buttons of 1335 and gaps of 235.5,
  // which go to 236.
  for (const auto& [width, button, gap] : {std::tuple{9408.0, 1335, 234}, {9412.0, 1335, 236}}) {
    const WindowLayout whole = ResizeLayout(width, 7425, [](double t) { return std::round(t); });
    EXPECT_EQ(whole.del.left, 120 + gap + button);
    EXPECT_EQ(whole.copy1.left, 120 + 2 * (gap + button));
  }
}

}  // namespace
}  // namespace tavo::ui

#include "runtime/graphics/view_control.hpp"

#include <gtest/gtest.h>

#include "runtime/graphics/headless_platform.hpp"

namespace dg {
namespace {

class ViewControlTest : public ::testing::Test {
 protected:
  HeadlessPlatform platform;
  Graphics g{platform};
  Handle axes = g.new_axes(g.new_figure());
  const PlotBox box{20, 10, 100, 100};  // a square box: equal axes show the limits as set

  void SetUp() override {
    g.set(axes, "XLim", Value(Matrix{{0, 10}}));
    g.set(axes, "YLim", Value(Matrix{{0, 10}}));
  }
  std::array<double, 4> view() const { return g.shown_limits(axes, box.width, box.height); }
};

void expect_near(const std::array<double, 2>& got, double x, double y) {
  EXPECT_NEAR(got[0], x, 1e-12);
  EXPECT_NEAR(got[1], y, 1e-12);
}

TEST_F(ViewControlTest, ZoomKeepsThePointUnderThePointerPanFollowsTheDragAndTinyViewsAreRefused) {
  expect_near(data_point(g, axes, box, 20, 110), 0, 0);  // bottom left corner of the box
  expect_near(data_point(g, axes, box, 70, 60), 5, 5);
  const auto beyond = point_beyond(g, axes, box);
  EXPECT_GT(beyond[0], 10);
  EXPECT_GT(beyond[1], 10);

  zoom_axes(g, axes, box, 45, 85, 0.5);
  expect_near(data_point(g, axes, box, 45, 85), 2.5, 2.5);
  EXPECT_NEAR(view()[0], 1.25, 1e-12);
  EXPECT_NEAR(view()[1], 6.25, 1e-12);

  pan_axes(g, axes, box, 10, -20);  // right and up: the drawing follows the pointer
  EXPECT_NEAR(view()[0], 0.75, 1e-12);
  EXPECT_NEAR(view()[2], 0.25, 1e-12);
  EXPECT_NEAR(view()[3], 5.25, 1e-12);

  const auto before = view();
  zoom_axes(g, axes, box, 45, 85, 1e-14);
  EXPECT_EQ(view(), before);
  pan_axes(g, axes, box, 1e300, 0);
  EXPECT_EQ(view(), before);
}

TEST_F(ViewControlTest, TurningWrapsTheAzimuthStopsAtThePolesAndResetTurnsBackOnce) {
  EXPECT_FALSE(turns(g, axes));
  EXPECT_FALSE(turns(g, 12345.0));
  g.set(axes, "DragMode", Value("rotate"));
  g.set(axes, "ViewChangedFcn", Value("redraw"));
  EXPECT_TRUE(turns(g, axes));

  EXPECT_EQ(turn_axes(g, axes, -400, 400), "redraw");
  EXPECT_EQ(g.axes(axes).view, (std::array{-160.0, 90.0}));
  turn_axes(g, axes, 0, -500);
  EXPECT_EQ(g.axes(axes).view, (std::array{-160.0, -90.0}));

  EXPECT_EQ(reset_axes(g, axes), "redraw");
  EXPECT_EQ(g.axes(axes).view, (std::array{0.0, 90.0}));
  EXPECT_EQ(g.get(axes, "XLimMode").text(), "auto");
  EXPECT_EQ(reset_axes(g, axes), "");  // already as it started: nothing to redraw
}

}  // namespace
}  // namespace dg

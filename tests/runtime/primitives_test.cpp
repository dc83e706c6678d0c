#include "runtime/graphics/primitives.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/array/error.hpp"
#include "runtime/graphics/headless_platform.hpp"
#include "runtime/graphics/svg_plot.hpp"

namespace dg {
namespace {

std::size_t occurrences(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// A 200 x 200 figure whose axes' plot box spans pixels 20.5 to 180.5 with
// limits [0 10 0 10]: data unit 1 is 16 pixels.
class PrimitivesTest : public ::testing::Test {
 protected:
  PrimitivesTest() {
    g.set(figure, "Position", Value(Matrix{{0, 0, 200, 200}}));
    g.set(axes, "Position", Value(Matrix{{20, 20, 160, 160}}));
    g.hold(true);
    g.axis_limits({0, 10, 0, 10});
  }
  Handle line(std::vector<double> x, std::vector<double> y, const char* style) {
    return g.plot(x, y, style);
  }
  AxesPrimitives shown() {
    return axes_primitives(g, axes, axes_pixel_box(g, figure, axes), metrics);
  }
  template <class T>
  static std::vector<T> all(const std::vector<Primitive>& list) {
    std::vector<T> out;
    for (const Primitive& p : list) {
      if (auto* one = std::get_if<T>(&p)) out.push_back(*one);
    }
    return out;
  }

  HeadlessPlatform platform;
  Graphics g{platform};
  Handle figure = g.new_figure();
  Handle axes = g.new_axes(figure);
  FixedTextMetrics metrics;
};

TEST_F(PrimitivesTest, MarkersBeyondTheBoxAreDroppedAndLinesAreCutAtItsEdge) {
  line({5}, {5}, "o");
  line({30}, {5}, "o");    // far beyond the right edge
  line({10.2}, {5}, "o");  // its centre outside, its circle partly inside
  line({-10, 20}, {5, 5}, "-");
  // Leaves through the right edge and comes back: two pieces, the second's
  // dashes going on where the line left off.
  line({1, 20, 20, 1}, {1, 1, 9, 9}, "--");
  const AxesPrimitives p = shown();
  EXPECT_EQ(p.box.left, 20.5);
  EXPECT_EQ(p.box.top, 20.5);

  std::vector<PlotPoint> markers;
  for (const auto& m : all<MarkerPrimitive>(p.plot))
    markers.insert(markers.end(), m.at.begin(), m.at.end());
  EXPECT_EQ(markers, (std::vector<PlotPoint>{{100.5, 100.5}, {20.5 + 16 * 10.2, 100.5}}));

  const auto lines = all<PolylinePrimitive>(p.plot);
  ASSERT_EQ(lines.size(), 3u);
  const auto& across = lines[0].points;
  ASSERT_EQ(across.size(), 2u);
  EXPECT_LT(across[0].x, 20.5);
  EXPECT_GT(across[0].x, 20.5 - 5);
  EXPECT_GT(across[1].x, 180.5);
  EXPECT_LT(across[1].x, 180.5 + 5);
  EXPECT_EQ(across[0].y, 100.5);

  const auto& out = lines[1];
  const auto& back = lines[2];
  EXPECT_EQ(out.points.front(), (PlotPoint{36.5, 164.5}));
  EXPECT_EQ(out.dash_offset, 0);
  EXPECT_EQ(out.dashes, (std::vector<double>{6, 4}));
  ASSERT_EQ(back.points.size(), 2u);
  EXPECT_EQ(back.points.back(), (PlotPoint{36.5, 36.5}));
  // The pattern has used the run out, the vertical stretch and the way back in.
  const double right = back.points.front().x;
  EXPECT_NEAR(back.dash_offset, (20 - 1) * 16 + 8 * 16 + (20.5 + 20 * 16 - right), 1e-9);
  for (const auto& l : lines) {
    for (const PlotPoint& q : l.points) EXPECT_LT(q.x, 180.5 + 5);
  }
}

TEST_F(PrimitivesTest, TickLabelsSitAtTheirValuesWithinTheShownLimits) {
  for (auto limits :
       {std::array<double, 4>{0, 10, 0, 10}, std::array<double, 4>{2.5, 7.5, -3, 0.2}}) {
    g.axis_limits(limits);
    const AxesPrimitives p = shown();
    int across = 0, down = 0;
    for (const auto& t : all<TextPrimitive>(p.ticks)) {
      const double value = std::stod(t.text);
      EXPECT_GE(value, limits[0 + (t.align == TextPrimitive::Align::MiddleRight) * 2]);
      EXPECT_LE(value, limits[1 + (t.align == TextPrimitive::Align::MiddleRight) * 2]);
      if (t.align == TextPrimitive::Align::TopCentre) {
        ++across;
        const double x = 20.5 + (value - limits[0]) * 160 / (limits[1] - limits[0]);
        EXPECT_NEAR(t.frame.left + t.frame.width / 2, x, 1) << t.text;
        EXPECT_GT(t.frame.top, p.box.bottom());
      } else {
        ++down;
        const double y = 180.5 - (value - limits[2]) * 160 / (limits[3] - limits[2]);
        EXPECT_NEAR(t.frame.top + t.frame.height / 2, y, 1) << t.text;
        EXPECT_LT(t.frame.right(), p.box.left);
      }
    }
    EXPECT_GE(across, 2);
    EXPECT_GE(down, 2);
  }
  g.axis_limits({0, 10, 0, 10});
  std::vector<std::string> texts;
  for (const auto& t : all<TextPrimitive>(shown().ticks)) texts.push_back(t.text);
  EXPECT_EQ(texts, (std::vector<std::string>{"0", "5", "10", "0", "5", "10"}));
}

TEST_F(PrimitivesTest, TextsStayInTheBoxAndOverlappingOnesMoveApartWithALeader) {
  g.text(axes, 20, 5, "gone");   // beyond the limits
  g.text(axes, 10, 5, "12345");  // would cross the right edge: moved in
  g.text(axes, 2, 2, "a");
  g.text(axes, 2, 2, "b");  // on top of "a": moved down one line
  const AxesPrimitives p = shown();
  const auto texts = all<TextPrimitive>(p.plot);
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0].text, "12345");
  EXPECT_DOUBLE_EQ(texts[0].at.x + metrics.advance("12345", 10), p.box.right());
  EXPECT_FALSE(texts[0].cut);
  const double h = metrics.height(10);
  EXPECT_NEAR(texts[2].at.y - texts[1].at.y, h, 1e-9);
  const auto leaders = all<PolylinePrimitive>(p.plot);
  ASSERT_EQ(leaders.size(), 1u);
  EXPECT_EQ(leaders[0].points.front(), (PlotPoint{52.5, 148.5}));
  EXPECT_DOUBLE_EQ(leaders[0].points.back().y, texts[2].at.y - metrics.ascent(10));
}

TEST(LabelShift, FindsTheNearestFreePlaceDownBeforeUpWithinTheRoom) {
  const FixedTextMetrics metrics;
  const double h = metrics.height(9);
  std::vector<PixelRect> labels;
  EXPECT_EQ(label_shift(labels, metrics, 9, "12", {10, 50}), 0);
  EXPECT_EQ(label_shift(labels, metrics, 9, "12", {10, 50}), h);
  EXPECT_EQ(label_shift(labels, metrics, 9, "13", {12, 50}), -h);
  EXPECT_EQ(label_shift(labels, metrics, 9, "14", {11, 51}), 2 * h);
  EXPECT_EQ(label_shift(labels, metrics, 9, "15", {200, 50}), 0) << "no overlap, no move";
  // With every place taken the label stays where it is.
  for (int i = -kNudgeSteps; i <= kNudgeSteps; ++i) {
    labels.push_back({0, 300 + i * h - metrics.ascent(9), 50, h});
  }
  EXPECT_EQ(label_shift(labels, metrics, 9, "16", {10, 300}), 0);
  const PixelRect room{0, 0, 300, 50 + metrics.descent(9)};
  std::vector<PixelRect> low;
  EXPECT_EQ(label_shift(low, metrics, 9, "12", {10, 50}, room), 0);
  EXPECT_EQ(label_shift(low, metrics, 9, "12", {10, 50}, room), -h);
  EXPECT_EQ(label_shift(low, metrics, 9, "12", {10, 50}, {0, 40, 300, h}), 0);
}

TEST(TickTest, StepsAreOneTwoOrFiveTimesAPowerOfTenAndLabelsShort) {
  double step = 0;
  auto ticks = nice_ticks(0, 1, 5, &step);
  ASSERT_EQ(ticks.size(), 6u);
  EXPECT_DOUBLE_EQ(ticks[1], 0.2);
  EXPECT_DOUBLE_EQ(step, 0.2);
  EXPECT_EQ(nice_ticks(-0.47, 0.52, 3, &step), (std::vector<double>{0, 0.5}));
  EXPECT_EQ(nice_ticks(120, 980, 4, &step), (std::vector<double>{200, 400, 600, 800}));
  EXPECT_TRUE(nice_ticks(1, 1, 5, &step).empty());
  EXPECT_EQ(tick_label(-1e-17, 0.2), "0");
  EXPECT_EQ(tick_label(-2.5, 0.5), "-2.5");
  EXPECT_EQ(tick_label(0.06, 0.02), "0.06");
  EXPECT_EQ(tick_label(1500, 500), "1500");
  EXPECT_EQ(tick_label(2e6, 1e6), "2e+06");
}

TEST_F(PrimitivesTest, TheSvgPlotHasOneUseAMarkerShownAndEscapedTexts) {
  line({1, 2, 3}, {1, 2, 3}, "o");
  line({40}, {1}, "o");
  g.text(axes, 5, 5, "<a&b>\x01");
  const std::string svg = svg_plot(g, figure);
  EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
  EXPECT_EQ(occurrences(svg, "<use "), 3u);
  EXPECT_EQ(occurrences(svg, ">&lt;a&amp;b&gt;</text>"), 1u);
  EXPECT_EQ(occurrences(svg, "<g"), occurrences(svg, "</g>"));
  EXPECT_EQ(occurrences(svg, "<text"), 1u + 6u);  // and six tick labels
  try {
    check_svg_plot_path("dir.svg/plot.PNG");
    FAIL() << "a PNG path was taken";
  } catch (const RuntimeError& error) {
    EXPECT_STREQ(error.what(),
                 "The plot file \"dir.svg/plot.PNG\" needs the extension .svg: this build writes "
                 "no .png or .pdf plots (they need Qt).");
  }
  EXPECT_NO_THROW(check_svg_plot_path("plot.SVG"));
}

}  // namespace
}  // namespace dg

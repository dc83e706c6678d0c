#include "runtime/qt/axes_painter.hpp"

#include <QSvgRenderer>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "qt_test_support.hpp"
#include "runtime/graphics/headless_platform.hpp"
#include "runtime/qt/figure_export.hpp"
#include "test_support.hpp"

namespace dg {
namespace {

// A 200 x 200 figure whose axes' plot box spans pixels 20 to 180 with limits
// [0 10 0 10]: data unit 1 is 16 pixels.
class PainterTest : public ::testing::Test {
 protected:
  PainterTest() {
    g.set(figure, "Position", row({0, 0, 200, 200}));
    g.set(axes, "Position", row({20, 20, 160, 160}));
    g.hold(true);
    g.axis_limits({0, 10, 0, 10});
  }

  Handle point(double x, double y, const char* style, double size = 10) {
    Handle line = g.plot(std::vector<double>{x}, std::vector<double>{y}, style);
    g.set(line, "MarkerSize", Value(size));
    return line;
  }
  // Where a data point lands in a picture of `scale` device pixels per pixel.
  static QPointF at(double x, double y, double scale = 1) {
    return QPointF(20.5 + 16 * x, 180.5 - 16 * y) * scale;
  }
  QImage picture(double scale = 1) { return figure_image(g, figure, scale); }

  HeadlessPlatform platform;
  Graphics g{platform};
  Handle figure = g.new_figure();
  Handle axes = g.new_axes(figure);
};

TEST_F(PainterTest, MarkersSitWhereTheDataAreAtEveryScale) {
  point(2, 3, "ko");
  point(7, 8, "ko");
  for (double scale : {1.0, 2.0}) {
    QImage image = picture(scale);
    ASSERT_EQ(image.width(), static_cast<int>(200 * scale));
    for (QPointF p : {at(2, 3, scale), at(7, 8, scale)}) {
      EXPECT_GT(count(image, around(p, static_cast<int>(9 * scale)), is_dark), 10) << scale;
      EXPECT_EQ(count(image, around(p, static_cast<int>(scale)), is_dark), 0) << "hollow";
    }
    EXPECT_EQ(count(image, around(at(5, 5, scale), static_cast<int>(12 * scale)), is_dark), 0);
  }
}

TEST_F(PainterTest, MarkerFaceColorFillsAndEmptiesMarkers) {
  Handle line = point(5, 5, "ro");
  QRect centre = around(at(5, 5), 2);
  EXPECT_EQ(count(picture(), centre, is_red), 0) << "hollow by default";
  EXPECT_GT(count(picture(), around(at(5, 5), 9), is_red), 10) << "red edge";

  g.set(line, "MarkerFaceColor", Value("r"));
  EXPECT_EQ(count(picture(), centre, is_red), 25);
  g.set(line, "MarkerFaceColor", Value("none"));
  EXPECT_EQ(count(picture(), centre, is_red), 0);
  g.set(line, "MarkerFaceColor", Value("auto"));
  EXPECT_EQ(count(picture(), centre, is_red), 25) << "auto is the line's colour";

  g.set(line, "MarkerEdgeColor", Value("k"));
  g.set(line, "MarkerFaceColor", Value("k"));
  QImage black = picture();
  EXPECT_EQ(count(black, centre, is_dark), 25);
  EXPECT_EQ(count(black, around(at(5, 5), 9), is_red), 0);
}

TEST_F(PainterTest, SegmentsAreBlackAndWidenWithLineWidth) {
  Handle segment = g.plot(std::vector<double>{1, 9}, std::vector<double>{5, 5}, "k");
  // A marker-only line of two points draws no segment between them.
  g.plot(std::vector<double>{1, 9}, std::vector<double>{2, 2}, "k.");
  auto across = [&](const QImage& image, double x, double y) {
    QPointF p = at(x, y);
    return count(image, QRect(static_cast<int>(p.x()), static_cast<int>(p.y()) - 10, 1, 21),
                 is_dark);
  };
  QImage thin = picture();
  EXPECT_GE(across(thin, 5, 5), 1);
  EXPECT_LE(across(thin, 5, 5), 2);
  EXPECT_EQ(across(thin, 0.5, 5), 0) << "the segment ends at its points";
  EXPECT_EQ(across(thin, 5, 2), 0) << "no segment for a marker-only line";

  g.set(segment, "LineWidth", Value(4.0));  // 4 points are 5.3 pixels
  int wide = across(picture(), 5, 5);
  EXPECT_GE(wide, 5);
  EXPECT_LE(wide, 7);
}

// Red pixels, also those that a glyph's edge or a thin line covers in part.
bool is_reddish(QRgb c) {
  return qRed(c) > qGreen(c) + 50 && qRed(c) > qBlue(c) + 50;
}

// The SVG picture of the figure drawn back into a bitmap.
QImage svg_picture(const Graphics& g, Handle figure) {
  QSvgRenderer svg(figure_svg(g, figure));
  QImage image(200, 200, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::white);
  QPainter painter(&image);
  svg.render(&painter, QRectF(0, 0, 200, 200));
  return image;
}

// Texts start at their place and take their colour: both are seen here and
// with the moved text.
TEST_F(PainterTest, TextsOfAZoomedViewStayInsideThePlotBox) {
  // A text that would run past the right edge is moved in whole: as many red
  // pixels as where it has room.
  const Handle free = g.text(5, 7, "9999");
  g.set(free, "Color", Value("r"));
  const int whole = count(picture(), QRect(100, 61, 80, 16), is_red);
  g.delete_object(free);
  // Placed right of, below, above and just left of the shown limits, and one
  // inside that runs past the right edge.
  for (auto [x, y] : {std::pair{10.5, 5.0}, {5, -0.6}, {5, 10.5}, {-0.3, 3}, {9.6, 7}}) {
    g.set(g.text(x, y, x == 9.6 ? "9999" : "12"), "Color", Value("r"));
  }
  auto check = [&](const QImage& image, double scale, const char* what) {
    auto box = [&](double left, double top, double width, double height) {
      return QRect(static_cast<int>(left * scale), static_cast<int>(top * scale),
                   static_cast<int>(width * scale), static_cast<int>(height * scale));
    };
    EXPECT_EQ(count(image, image.rect(), is_reddish),
              count(image, box(20, 20, 161, 161), is_reddish))
        << what << ": red outside the box";
    EXPECT_GT(count(image, box(174, 61, 7, 16), is_red), 3) << what << ": the long text is shown";
    if (scale == 1 && std::string(what) == "picture") {
      EXPECT_EQ(count(image, box(120, 61, 61, 16), is_red), whole) << "moved in whole";
    }
    EXPECT_EQ(count(image, box(21, 124, 16, 16), is_reddish), 0)
        << what << ": a text placed left of the limits is not painted";
  };
  check(picture(), 1, "picture");
  check(picture(2), 2, "picture at 2x");
  check(svg_picture(g, figure), 1, "SVG");
}

TEST_F(PainterTest, AMovedTextGetsALeaderToItsPlace) {
  // The second text overlaps the first from the left and is moved a line
  // down, in its colour.
  g.set(g.text(5, 5, "12"), "Color", Value("r"));
  g.set(g.text(4.5, 5, "34"), "Color", Value("r"));
  for (const QImage& image : {picture(), svg_picture(g, figure)}) {
    EXPECT_GT(count(image, QRect(92, 109, 20, 14), is_red), 5) << "the moved text";
    // Below the second text's place (x 92.5, y 100.5), above its moved copy.
    EXPECT_GE(count(image, QRect(91, 102, 3, 5), is_reddish), 4) << "the moved text's leader";
    // Above and below the first text's place, left of its digits.
    EXPECT_EQ(count(image, QRect(99, 84, 2, 8), is_reddish), 0) << "no leader for the other";
    EXPECT_EQ(count(image, QRect(99, 102, 2, 5), is_reddish), 0) << "no leader for the other";
  }
}

TEST_F(PainterTest, ManyMarkersAllAppearAndInvisibleOnesDoNot) {
  for (int i = 0; i < 20; ++i) {
    for (int j = 0; j < 20; ++j) point(0.25 + 0.5 * i, 0.25 + 0.5 * j, "k.", 6);
  }
  Handle hidden = point(5, 5, "ko");
  g.set(hidden, "MarkerFaceColor", Value("k"));
  g.set(hidden, "Visible", Value("off"));
  QImage image = picture();
  int missing = 0;
  for (int i = 0; i < 20; ++i) {
    for (int j = 0; j < 20; ++j) {
      missing += count(image, around(at(0.25 + 0.5 * i, 0.25 + 0.5 * j), 1), is_dark) == 0;
    }
  }
  EXPECT_EQ(missing, 0);
  // The hidden disc would have covered the gap between four of the grid's dots.
  EXPECT_EQ(count(image, around(at(5, 5), 1), is_dark), 0);
}

// Dark pixels of the plot box's inside split into four groups about their
// mean; returns the distances between the groups' centres across and down.
std::pair<double, double> spread(const QImage& image, QRect inside) {
  std::vector<QPointF> dots;
  for (int y = inside.top(); y <= inside.bottom(); ++y) {
    for (int x = inside.left(); x <= inside.right(); ++x) {
      if (is_dark(image.pixel(x, y))) dots.emplace_back(x, y);
    }
  }
  QPointF mean;
  for (QPointF d : dots) mean += d / static_cast<double>(dots.size());
  double left = 0, right = 0, top = 0, bottom = 0;
  int nl = 0, nr = 0, nt = 0, nb = 0;
  for (QPointF d : dots) {
    (d.x() < mean.x() ? (left += d.x(), ++nl) : (right += d.x(), ++nr));
    (d.y() < mean.y() ? (top += d.y(), ++nt) : (bottom += d.y(), ++nb));
  }
  return {right / nr - left / nl, bottom / nb - top / nt};
}

TEST_F(PainterTest, EqualAspectKeepsASquareSquareInAWideAxes) {
  g.set(figure, "Position", row({0, 0, 600, 200}));
  g.set(axes, "Position", row({20, 20, 560, 160}));
  g.axis_limits({0, 1, 0, 1});
  for (auto [x, y] : {std::pair{0.25, 0.25}, {0.75, 0.25}, {0.75, 0.75}, {0.25, 0.75}}) {
    point(x, y, "ko", 4);
  }
  QRect inside(30, 30, 540, 140);
  auto [stretched_x, stretched_y] = spread(picture(), inside);
  EXPECT_GT(stretched_x, 2 * stretched_y) << "without equal the square follows the box";

  g.axis_equal();
  auto [x, y] = spread(picture(), inside);
  EXPECT_NEAR(x, 80, 1.5);  // the 160-pixel height holds one unit
  EXPECT_NEAR(y, 80, 1.5);
}

TEST_F(PainterTest, AFailedPlotLeavesTheOldFileAndSaysWhy) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("distangler_plot_" + std::to_string(figure));
  fs::create_directories(dir);
  const std::string png = (dir / "plot.png").string();
  std::ofstream(png, std::ios::binary) << "old picture";
  g.set(figure, "Position", row({0, 0, 40000000, 200}));  // wider than any bitmap
  EXPECT_THROW_MSG(write_plot(g, figure, png),
                   "The plot could not be written to \"" + png +
                       "\": a picture of 80000000 x 400 pixels does not fit in memory.");
  std::stringstream kept;
  kept << std::ifstream(png, std::ios::binary).rdbuf();
  EXPECT_EQ(kept.str(), "old picture");
  fs::remove_all(dir);
}

}  // namespace
}  // namespace dg

// Specimen photos painted beneath their landmarks, and the cache of image
// files every painter shares.
#include "runtime/qt/image_cache.hpp"

#include <QImageWriter>
#include <QPainter>

#include "display/showspecimen.hpp"
#include "qt_test_support.hpp"
#include "runtime/graphics/headless_platform.hpp"
#include "runtime/qt/figure_export.hpp"
#include "test_support.hpp"

namespace dg {
namespace {

using ImageTest = ScratchTest;

// A grey photo of 200 x 150 pixels with green dots of radius 4 centred on
// the pixels (column, row) below, row 0 at the top.
constexpr int kWidth = 200, kHeight = 150;
const QPoint kDots[] = {{30, 20}, {150, 110}, {60, 125}};

QImage photo() {
  QImage image(kWidth, kHeight, QImage::Format_RGB32);
  image.fill(QColor(128, 128, 128));
  QPainter painter(&image);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0, 200, 0));
  for (QPoint dot : kDots) painter.drawEllipse(QPointF(dot) + QPointF(0.5, 0.5), 4, 4);
  return image;
}

bool is_green(QRgb c) {
  return qGreen(c) > 150 && qRed(c) < 90 && qBlue(c) < 90;
}

TEST_F(ImageTest, LandmarksSitOnThePhotosPixelsCountedUpFromItsBottomLeftCorner) {
  const QImage source = photo();
  for (const std::string format : {"png", "tif", "jpg", "broken"}) {
    const std::string path = at("photo." + format);
    if (format == "broken") {
      file("photo.broken", "no picture in here");
      EXPECT_FALSE(image_file_size(path));
    } else {
      ASSERT_TRUE(source.save(QString::fromStdString(path), format.c_str(), 95)) << format;
      EXPECT_EQ(image_file_size(path), (std::array<double, 2>{kWidth, kHeight})) << format;
    }
    // The plot box is 400 x 300 pixels from (20, 20): two pixels per photo
    // pixel, four in the PNG, whose data point (x, y) lands on device pixel
    // (41 + 4x, 641 - 4y).
    HeadlessPlatform platform;
    Graphics g(platform);
    const Handle figure = g.new_figure();
    const Handle axes = g.new_axes(figure);
    g.set(figure, "Position", row({0, 0, 440, 340}));
    g.set(axes, "Position", row({20, 20, 400, 300}));
    SpecimenPicture picture;
    for (QPoint dot : kDots) {
      picture.x.push_back(dot.x());
      picture.y.push_back(kHeight - dot.y());
    }
    picture.image = path;
    picture.image_size = {kWidth, kHeight};
    showspecimen(g, axes, picture);
    write_plot(g, figure, at("plot.png"));
    const QImage plot(QString::fromStdString(at("plot.png")));
    ASSERT_EQ(plot.width(), 880);
    for (QPoint dot : kDots) {
      const QPointF landmark(41 + 4 * dot.x(), 41 + 4 * dot.y());
      EXPECT_GT(count(plot, around(landmark, 12), is_red), 30) << format << ": the marker";
      if (format == "broken") {
        EXPECT_EQ(count(plot, around(landmark, 2), is_white), 25) << "nothing painted";
        continue;
      }
      EXPECT_EQ(count(plot, around(landmark, 2), is_green), 25) << format << ": the dot";
      const QPointF flipped(landmark.x(), 41 + 4 * (kHeight - dot.y()));
      EXPECT_EQ(count(plot, around(flipped, 2), is_green), 0) << format << ": upside down";
    }
  }
}

TEST_F(ImageTest, AFileIsTurnedAsItsOrientationSaysAndReadAgainWhenItChanges) {
  const std::string path = at("turned.tif");
  QImage wide(40, 20, QImage::Format_RGB32);
  wide.fill(Qt::blue);
  QImageWriter writer(QString::fromStdString(path), "tiff");
  writer.setTransformation(QImageIOHandler::TransformationRotate90);
  ASSERT_TRUE(writer.write(wide));
  EXPECT_EQ(image_file_size(path), (std::array<double, 2>{20, 40}));
  EXPECT_EQ(cached_image(path).size(), QSize(20, 40));

  ASSERT_TRUE(QImage(30, 10, QImage::Format_RGB32).save(QString::fromStdString(path), "png"));
  EXPECT_EQ(cached_image(path).size(), QSize(30, 10)) << "the file changed";

  const std::string other = at("other.bmp");
  ASSERT_TRUE(QImage(7, 9, QImage::Format_RGB32).save(QString::fromStdString(other), "bmp"));
  prefetch_image_files({path, other});
  EXPECT_EQ(cached_image(other).size(), QSize(7, 9));
  EXPECT_TRUE(cached_image(at("missing.png")).isNull());
}

}  // namespace
}  // namespace dg

#include "runtime/qt/figure_export.hpp"

#include <png.h>
#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <cmath>
#include <csetjmp>
#include <string_view>

#include "runtime/array/error.hpp"
#include "runtime/array/file_io.hpp"
#include "runtime/qt/axes_painter.hpp"

namespace dg {
namespace {

constexpr int kDotsPerMeter96 = 3780;  // 96 dots per inch: one point is 4/3 pixel
constexpr double kPictureScale = 2;    // bitmaps at twice the figure's pixels

QSizeF figure_size(const Graphics& graphics, Handle figure) {
  auto f = graphics.pixel_position(figure);
  return {std::max(1.0, f[2]), std::max(1.0, f[3])};
}

void append_png(png_structp png, png_bytep data, png_size_t size) {
  static_cast<QByteArray*>(png_get_io_ptr(png))
      ->append(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

// The picture as a PNG of opaque RGB rows without filters at zlib's fastest
// level, with its resolution; false when libpng fails (it jumps back here,
// past no destructor).
bool quick_png(const QImage& image, QByteArray& out) {
  const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
  if (rgb.isNull()) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, &out, append_png, nullptr);
  png_set_IHDR(png, info, static_cast<png_uint_32>(rgb.width()),
               static_cast<png_uint_32>(rgb.height()), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_pHYs(png, info, static_cast<png_uint_32>(image.dotsPerMeterX()),
               static_cast<png_uint_32>(image.dotsPerMeterY()), PNG_RESOLUTION_METER);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
  png_set_compression_level(png, 1);
  png_write_info(png, info);
  for (int y = 0; y < rgb.height(); ++y) {
    png_write_row(png, const_cast<png_bytep>(rgb.constScanLine(y)));
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

void paint_on(QPaintDevice& device, const Graphics& graphics, Handle figure) {
  MarkerSprites sprites;
  QPainter painter(&device);
  paint_figure(painter, graphics, figure, Qt::white, sprites);
}

}  // namespace

QImage figure_image(const Graphics& graphics, Handle figure, double scale) {
  QSizeF size = figure_size(graphics, figure);
  QImage image(static_cast<int>(std::ceil(size.width() * scale)),
               static_cast<int>(std::ceil(size.height() * scale)),
               QImage::Format_ARGB32_Premultiplied);
  if (image.isNull()) return image;  // too large to allocate
  image.setDevicePixelRatio(scale);
  image.setDotsPerMeterX(kDotsPerMeter96);
  image.setDotsPerMeterY(kDotsPerMeter96);
  paint_on(image, graphics, figure);
  // Recorded so that programs place the picture at the figure's physical size.
  image.setDotsPerMeterX(static_cast<int>(std::lround(kDotsPerMeter96 * scale)));
  image.setDotsPerMeterY(static_cast<int>(std::lround(kDotsPerMeter96 * scale)));
  return image;
}

QByteArray figure_svg(const Graphics& graphics, Handle figure) {
  QSizeF size = figure_size(graphics, figure);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QSvgGenerator svg;
  svg.setOutputDevice(&buffer);
  svg.setSize(size.toSize());
  svg.setViewBox(QRectF(QPointF(0, 0), size));
  svg.setResolution(96);
  svg.setTitle(QStringLiteral("Distangler plot"));
  paint_on(svg, graphics, figure);
  return bytes;
}

PlotFormat plot_format(const std::string& path) {
  std::string ext = lower_extension(path);
  if (ext == ".svg") return PlotFormat::Svg;
  if (ext == ".png") return PlotFormat::Png;
  if (ext == ".pdf") return PlotFormat::Pdf;
  raise("The plot file \"" + path + "\" needs the extension .svg, .png or .pdf.");
}

QByteArray plot_bytes(const Graphics& graphics, Handle figure, const std::string& path,
                      const BitmapOptions& bitmap) {
  PlotFormat format = plot_format(path);
  auto failed = [&](const std::string& reason) {
    raise("The plot could not be written to \"" + path + "\": " + reason + ".");
  };
  QByteArray bytes;
  if (format == PlotFormat::Svg) {
    bytes = figure_svg(graphics, figure);
  } else {
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (format == PlotFormat::Png) {
      QImage image = figure_image(graphics, figure, bitmap.scale);
      if (image.isNull()) {
        QSizeF size = figure_size(graphics, figure) * bitmap.scale;
        failed("a picture of " + std::to_string(static_cast<long long>(std::ceil(size.width()))) +
               " x " + std::to_string(static_cast<long long>(std::ceil(size.height()))) +
               " pixels does not fit in memory");
      }
      if (bitmap.quick ? !quick_png(image, bytes) : !image.save(&buffer, "PNG")) {
        failed("the PNG encoder failed");
      }
    } else {
      QSizeF size = figure_size(graphics, figure);
      QPdfWriter pdf(&buffer);
      pdf.setResolution(96);
      pdf.setPageSize(QPageSize(size * 72.0 / 96.0, QPageSize::Point));
      pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
      pdf.setTitle(QStringLiteral("Distangler plot"));
      paint_on(pdf, graphics, figure);
    }
  }
  if (bytes.isEmpty()) failed("nothing was painted");
  return bytes;
}

void write_plot(const Graphics& graphics, Handle figure, const std::string& path,
                const BitmapOptions& bitmap) {
  // Painted into memory first, so that a failure leaves an existing file as it was.
  const QByteArray bytes = plot_bytes(graphics, figure, path, bitmap);
  AtomicFile file(path);
  file.write(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
  file.commit();
}

void copy_figure(const Graphics& graphics, Handle figure) {
  auto* mime = new QMimeData;
  mime->setData(QStringLiteral("image/svg+xml"), figure_svg(graphics, figure));
  mime->setImageData(figure_image(graphics, figure, kPictureScale));
  QGuiApplication::clipboard()->setMimeData(mime);
}

}  // namespace dg

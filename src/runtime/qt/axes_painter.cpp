#include "runtime/qt/axes_painter.hpp"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPaintEngine>
#include <QPainterPath>
#include <QPolygonF>
#include <algorithm>
#include <cmath>
#include <map>
#include <variant>

#include "runtime/qt/image_cache.hpp"

namespace dg {
namespace {

// Batches of more markers than this skip markers landing where an identical
// one was already stamped; smaller batches are drawn as they come.
constexpr std::size_t kDedupeFrom = 256;

QColor paint_color(const std::optional<Rgb>& rgb) {
  return rgb ? to_qcolor(*rgb) : QColor(Qt::transparent);
}

QPointF to_qpoint(const PlotPoint& p) {
  return {p.x, p.y};
}
QRectF to_qrect(const PixelRect& r) {
  return {r.left, r.top, r.width, r.height};
}

QFont font_of_points(double points) {
  QFont font = QGuiApplication::font();
  font.setPointSizeF(points);
  return font;
}

// Texts measured in the application's font as `device` draws it.
class QtTextMetrics : public TextMetrics {
 public:
  explicit QtTextMetrics(QPaintDevice* device) : device_(device) {}
  double ascent(double points) const override { return of(points).ascent(); }
  double descent(double points) const override { return of(points).descent(); }
  double height(double points) const override { return of(points).height(); }
  double advance(std::string_view text, double points) const override {
    return of(points).horizontalAdvance(qstring(text));
  }
  PixelRect bounds(std::string_view text, double points) const override {
    const QRectF r = of(points).boundingRect(qstring(text));
    return {r.left(), r.top(), r.width(), r.height()};
  }

 private:
  static QString qstring(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  }
  const QFontMetricsF& of(double points) const {
    auto it = fonts_.find(points);
    if (it == fonts_.end()) {
      it = fonts_.emplace(points, QFontMetricsF(font_of_points(points), device_)).first;
    }
    return it->second;
  }
  QPaintDevice* device_;
  mutable std::map<double, QFontMetricsF> fonts_;
};

// The outline of `text` in `font` as a device of `dpi` dots per inch draws it.
// Outlines are taken at 64 times the size and scaled down, since a font's
// pixel size is whole and the size in pixels need not be.
QPainterPath text_outline(QFont font, int dpi, QPointF baseline, const QString& text) {
  constexpr double kOversize = 64;
  const double pixels = font.pointSizeF() * dpi / 72;
  font.setPixelSize(std::max(1, static_cast<int>(std::lround(pixels * kOversize))));
  QPainterPath path;
  path.addText(QPointF(0, 0), font, text);
  const double scale = pixels / font.pixelSize();
  return QTransform(scale, 0, 0, scale, baseline.x(), baseline.y()).map(path);
}

// Draws the markers of one style as they come. On raster devices each marker
// is a cached sprite stamped at its device pixel; on vector devices the batch
// becomes one path, drawn when the style changes.
class MarkerBatch {
 public:
  MarkerBatch(QPainter& painter, MarkerSprites& sprites, const QRectF& clip)
      : painter_(painter), sprites_(sprites) {
    const QTransform device = painter.deviceTransform();
    raster_ = painter.paintEngine() && painter.paintEngine()->type() == QPaintEngine::Raster &&
              device.type() <= QTransform::TxScale && device.m11() == device.m22() &&
              device.m11() > 0;
    scale_ = raster_ ? device.m11() : 1.0;
    to_device_ = raster_ ? device : QTransform();
    clip_ = to_device_.mapRect(clip);
  }
  ~MarkerBatch() = default;
  MarkerBatch(const MarkerBatch&) = delete;
  MarkerBatch& operator=(const MarkerBatch&) = delete;

  // Starts collecting markers of this style, drawing what was collected when the style differs.
  void style(Marker marker, double size, double width, const QColor& edge, const QColor& face) {
    // On raster devices an edge is at least one device pixel wide, so that thin
    // edges stay sharp instead of fading into grey.
    double device_width = raster_ ? std::max(1.0, width * scale_) : width;
    MarkerSprites::Key key{marker, static_cast<std::int32_t>(std::lround(size * scale_ * 16)),
                           static_cast<std::int32_t>(std::lround(device_width * 16)), edge.rgba(),
                           face.rgba()};
    if (has_key_ && key == key_) return;
    flush();
    key_ = key;
    has_key_ = true;
    reach_ = (size + width) * scale_ / 2 + 1;
    sprite_ = nullptr;
  }

  // The narrowest line width in logical pixels that covers a whole device pixel.
  double thinnest() const { return raster_ ? 1.0 / scale_ : 0.0; }

  // A marker at a logical point.
  void add(const PlotPoint& p) {
    add_device(QPointF(to_device_.m11() * p.x + to_device_.dx(),
                       to_device_.m22() * p.y + to_device_.dy()));
  }

  void add_device(QPointF p) {
    if (!std::isfinite(p.x()) || !std::isfinite(p.y())) return;
    if (p.x() < clip_.left() - reach_ || p.x() > clip_.right() + reach_ ||
        p.y() < clip_.top() - reach_ || p.y() > clip_.bottom() + reach_) {
      return;
    }
    if (!deduping_) {
      pending_.push_back(p);
      if (pending_.size() < kDedupeFrom) return;
      // A batch this large keeps only the first marker of those whose centres
      // share a device pixel (a logical pixel on vector devices): identical
      // markers that close look the same, and a dense sample stamps far fewer.
      deduping_ = true;
      start_cells();
      for (const QPointF& q : pending_) {
        if (first_in_cell(q)) put(q);
      }
      pending_.clear();
      return;
    }
    if (first_in_cell(p)) put(p);
  }

  void flush() {
    for (const QPointF& p : pending_) put(p);
    pending_.clear();
    if (stamping_) {
      painter_.restore();
      stamping_ = false;
    }
    if (!traced_.isEmpty()) trace();
    if (deduping_) std::fill(cells_.begin(), cells_.end(), 0);
    deduping_ = false;
  }

 private:
  // The cells cover the clip rectangle widened by the largest marker reach, one bit per pixel.
  void start_cells() {
    cell_left_ = static_cast<long>(std::floor(clip_.left() - reach_)) - 1;
    cell_top_ = static_cast<long>(std::floor(clip_.top() - reach_)) - 1;
    long w = static_cast<long>(std::ceil(clip_.right() + reach_)) - cell_left_ + 2;
    long h = static_cast<long>(std::ceil(clip_.bottom() + reach_)) - cell_top_ + 2;
    if (w != cell_width_ || h != cell_height_) {
      cell_width_ = w, cell_height_ = h;
      cells_.assign(static_cast<std::size_t>((w * h + 63) / 64), 0);
    }
  }

  bool first_in_cell(const QPointF& p) {
    long x = static_cast<long>(std::floor(p.x())) - cell_left_;
    long y = static_cast<long>(std::floor(p.y())) - cell_top_;
    if (x < 0 || y < 0 || x >= cell_width_ || y >= cell_height_) return true;
    auto bit = static_cast<std::size_t>(y * cell_width_ + x);
    std::uint64_t mask = std::uint64_t{1} << (bit % 64);
    if (cells_[bit / 64] & mask) return false;
    cells_[bit / 64] |= mask;
    return true;
  }

  void put(const QPointF& p) {
    if (!raster_) {
      if (traced_.isEmpty()) {
        traced_shape_ = marker_path(key_.marker, key_.size / 16.0, &traced_filled_);
        traced_.setFillRule(Qt::WindingFill);
      }
      traced_.addPath(traced_shape_.translated(p));
      return;
    }
    if (!sprite_) sprite_ = &sprites_.get(key_);
    if (!stamping_) {
      painter_.save();
      painter_.resetTransform();
      painter_.setWorldTransform(painter_.deviceTransform().inverted());
      stamping_ = true;
    }
    const double half = sprite_->width() / 2.0;
    painter_.drawImage(QPoint(static_cast<int>(std::floor(p.x() - half + 0.5)),
                              static_cast<int>(std::floor(p.y() - half + 0.5))),
                       *sprite_);
  }

  // One path for the batch keeps vector files small: one element, not one per marker.
  void trace() {
    QColor edge = QColor::fromRgba(key_.edge), face = QColor::fromRgba(key_.face);
    painter_.save();
    if (edge.alpha() == 0) {
      painter_.setPen(Qt::NoPen);
    } else {
      QPen pen(edge, key_.width / 16.0);
      pen.setJoinStyle(Qt::MiterJoin);
      painter_.setPen(pen);
    }
    painter_.setBrush(traced_filled_ && face.alpha() != 0 ? QBrush(face) : Qt::NoBrush);
    painter_.drawPath(traced_);
    painter_.restore();
    traced_ = QPainterPath();
  }

  QPainter& painter_;
  MarkerSprites& sprites_;
  bool raster_ = false;
  double scale_ = 1;
  QTransform to_device_;
  QRectF clip_;
  MarkerSprites::Key key_{};
  bool has_key_ = false;
  double reach_ = 0;
  const QImage* sprite_ = nullptr;
  bool stamping_ = false;
  std::vector<QPointF> pending_;  // the first markers of a batch, until it is large
  bool deduping_ = false;
  std::vector<std::uint64_t> cells_;
  long cell_left_ = 0, cell_top_ = 0, cell_width_ = 0, cell_height_ = 0;
  QPainterPath traced_, traced_shape_;
  bool traced_filled_ = false;
};

// Paints an image over its target. Vector devices get a copy of at most
// twice the device pixels it covers, which keeps a photo of many megapixels
// from filling an SVG file.
void paint_image(QPainter& painter, const ImagePrimitive& image_at, bool raster) {
  const QRectF target = to_qrect(image_at.target);
  QImage image = cached_image(image_at.file);
  if (image.isNull()) return;
  painter.save();
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  if (!raster) {
    const QSize most = (painter.deviceTransform().mapRect(target).size() * 2).toSize();
    if (image.width() > most.width() && image.height() > most.height()) {
      image = image.scaled(most, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
  }
  painter.drawImage(target, image, QRectF(image.rect()));
  painter.restore();
}

QPen line_pen(const PolylinePrimitive& line) {
  QPen pen(to_qcolor(line.color), line.width);
  if (line.kind == PolylinePrimitive::Kind::Line) pen.setJoinStyle(Qt::RoundJoin);
  pen.setCapStyle(line.round_cap ? Qt::RoundCap : Qt::FlatCap);
  if (!line.dashes.empty()) {
    QList<qreal> dashes;
    for (double l : line.dashes) dashes << l / line.width;  // Qt measures dashes in pen widths
    pen.setDashPattern(dashes);
    if (line.dash_offset != 0) pen.setDashOffset(line.dash_offset / line.width);
  }
  return pen;
}

// Draws one list of primitives; `clip` is the plot box on which texts that
// cross it are cut on devices that do not clip.
class PrimitivePainter {
 public:
  PrimitivePainter(QPainter& painter, MarkerSprites& sprites, const QRectF& box)
      : painter_(painter), batch_(painter, sprites, box), box_(box) {
    raster_ = painter.paintEngine() && painter.paintEngine()->type() == QPaintEngine::Raster;
    box_path_.addRect(box);
  }

  double thinnest() const { return batch_.thinnest(); }

  // Sets the font of texts of this size.
  QFont font(double points) {
    QFont font = font_of_points(points);
    painter_.setFont(font);
    font_points_ = points;
    return font;
  }

  void draw(const std::vector<Primitive>& list) {
    for (const Primitive& primitive : list) {
      if (const auto* markers = std::get_if<MarkerPrimitive>(&primitive)) {
        batch_.style(markers->marker, markers->size, markers->edge_width,
                     paint_color(markers->edge), paint_color(markers->face));
        for (const PlotPoint& p : markers->at) batch_.add(p);
        batch_.flush();
      } else {
        std::visit([&](const auto& p) { draw_one(p); }, primitive);
      }
    }
  }

 private:
  void draw_one(const MarkerPrimitive&) {}

  // Changes of state are made only when something changes: vector devices
  // start a new group of elements at each one.
  void antialias(bool on) {
    if (on == antialias_) return;
    painter_.setRenderHint(QPainter::Antialiasing, on);
    antialias_ = on;
  }

  void draw_one(const PolylinePrimitive& line) {
    antialias(line.antialias);
    painter_.setPen(line_pen(line));
    painter_.setBrush(Qt::NoBrush);
    if (line.kind == PolylinePrimitive::Kind::Segment) {
      painter_.drawLine(to_qpoint(line.points.front()), to_qpoint(line.points.back()));
      return;
    }
    polygon_.clear();
    for (const PlotPoint& p : line.points) polygon_ << to_qpoint(p);
    painter_.drawPolyline(polygon_);
  }

  void draw_one(const RectPrimitive& rect) {
    QPen pen(to_qcolor(rect.color), rect.width);
    pen.setCapStyle(Qt::FlatCap);
    painter_.setPen(pen);
    painter_.setBrush(Qt::NoBrush);
    antialias(false);
    painter_.drawRect(to_qrect(rect.rect));
  }

  void draw_one(const ImagePrimitive& image) { paint_image(painter_, image, raster_); }

  void draw_one(const TextPrimitive& text) {
    const QString string = QString::fromStdString(text.text);
    if (text.align != TextPrimitive::Align::Baseline) {
      if (font_points_ != text.points) font(text.points);
      const bool top = text.align == TextPrimitive::Align::TopCentre;
      QPen pen(to_qcolor(text.color), 1);
      pen.setCapStyle(Qt::FlatCap);
      painter_.setPen(pen);
      painter_.drawText(to_qrect(text.frame),
                        top ? Qt::AlignHCenter | Qt::AlignTop : Qt::AlignRight | Qt::AlignVCenter,
                        string);
      return;
    }
    const QFont font = this->font(text.points);
    const QColor color = to_qcolor(text.color);
    painter_.setPen(color);
    if (raster_ || !text.cut) {
      painter_.drawText(to_qpoint(text.at), string);
    } else {
      // Vector devices need not honour the clip (SVG drops it), so a text
      // crossing the box's edge is painted as its outline cut at the edge.
      painter_.fillPath(
          text_outline(font, painter_.device()->logicalDpiY(), to_qpoint(text.at), string)
              .intersected(box_path_),
          color);
    }
  }

  QPainter& painter_;
  MarkerBatch batch_;
  QRectF box_;
  QPainterPath box_path_;
  bool raster_ = false;
  bool antialias_ = true;  // as paint_axes sets it
  double font_points_ = 0;
  QPolygonF polygon_;
};

}  // namespace

QColor to_qcolor(const Rgb& rgb) {
  return QColor::fromRgbF(static_cast<float>(std::clamp(rgb.r, 0.0, 1.0)),
                          static_cast<float>(std::clamp(rgb.g, 0.0, 1.0)),
                          static_cast<float>(std::clamp(rgb.b, 0.0, 1.0)));
}

std::size_t MarkerSprites::Hash::operator()(const Key& k) const {
  std::size_t h = static_cast<std::size_t>(k.marker);
  for (std::uint64_t v :
       {std::uint64_t(std::uint32_t(k.size)), std::uint64_t(std::uint32_t(k.width)),
        std::uint64_t(k.edge), std::uint64_t(k.face)}) {
    h = h * 1000003u ^ static_cast<std::size_t>(v);
  }
  return h;
}

const QImage& MarkerSprites::get(const Key& key) {
  auto it = images_.find(key);
  if (it != images_.end()) return it->second;
  double size = key.size / 16.0, width = key.width / 16.0;
  int side = static_cast<int>(std::ceil(size + width)) + 3;
  if (side % 2 == 0) ++side;  // an odd side puts the centre on a pixel centre
  QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  {
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(side / 2.0, side / 2.0);
    bool filled = false;
    QPainterPath path = marker_path(key.marker, size, &filled);
    QColor edge = QColor::fromRgba(key.edge), face = QColor::fromRgba(key.face);
    if (edge.alpha() == 0) {
      p.setPen(Qt::NoPen);
    } else {
      QPen pen(edge, width);
      pen.setJoinStyle(Qt::MiterJoin);
      p.setPen(pen);
    }
    p.setBrush(filled && face.alpha() != 0 ? QBrush(face) : Qt::NoBrush);
    p.drawPath(path);
  }
  return images_.emplace(key, std::move(image)).first->second;
}

QPainterPath marker_path(Marker marker, double size, bool* filled) {
  const MarkerShape shape = marker_shape(marker, size);
  QPainterPath path;
  if (shape.radius > 0) path.addEllipse(QPointF(0, 0), shape.radius, shape.radius);
  for (const auto& polygon : shape.polygons) {
    if (marker == Marker::Square) {
      // As a rectangle, which Qt knows to be convex.
      path.addRect(QRectF(to_qpoint(polygon[0]), to_qpoint(polygon[2])));
      continue;
    }
    QPolygonF points;
    for (const PlotPoint& p : polygon) points << to_qpoint(p);
    path.addPolygon(points);
    path.closeSubpath();
  }
  for (const auto& [from, to] : shape.strokes) {
    path.moveTo(to_qpoint(from));
    path.lineTo(to_qpoint(to));
  }
  if (filled) *filled = shape.closed();
  return path;
}

std::array<double, 4> shown_limits(const Graphics& graphics, Handle axes, QSizeF box) {
  return graphics.shown_limits(axes, box.width(), box.height());
}

QRectF axes_box(const Graphics& graphics, Handle figure, Handle axes) {
  return to_qrect(axes_pixel_box(graphics, figure, axes));
}

void paint_axes(QPainter& painter, const Graphics& graphics, Handle axes, const QRectF& box,
                MarkerSprites& sprites) {
  const QtTextMetrics metrics(painter.device());
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  PrimitivePainter draw(painter, sprites, box);
  AxesPrimitives shown =
      axes_primitives(graphics, axes, {box.left(), box.top(), box.width(), box.height()}, metrics,
                      PrimitiveOptions{draw.thinnest(), &sprites.spare_points});
  if (shown.background) painter.fillRect(box, to_qcolor(*shown.background));
  painter.setClipRect(box);
  draw.draw(shown.plot);
  painter.setClipping(false);
  draw.draw(shown.frame);
  if (!shown.frame.empty()) draw.font(kTickFontPoints);
  draw.draw(shown.ticks);
  painter.restore();
  recycle_points(shown, sprites.spare_points);
}

void paint_figure(QPainter& painter, const Graphics& graphics, Handle figure,
                  const QColor& background, MarkerSprites& sprites) {
  auto f = graphics.pixel_position(figure);
  painter.fillRect(QRectF(0, 0, f[2], f[3]), background);
  for (Handle child : graphics.children(figure)) {
    if (graphics.type(child) != ObjectType::Axes) continue;
    paint_axes(painter, graphics, child, axes_box(graphics, figure, child), sprites);
  }
}

}  // namespace dg

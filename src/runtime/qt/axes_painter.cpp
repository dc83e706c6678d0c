#include "runtime/qt/axes_painter.hpp"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPaintEngine>
#include <QPainterPath>
#include <QPolygonF>
#include <algorithm>
#include <cmath>
#include <numbers>

#include "runtime/qt/image_cache.hpp"

namespace dg {
namespace {

const QColor kAxisColor(38, 38, 38);
constexpr double kTickLength = 5;
constexpr double kTickFontPoints = 9;
constexpr double kLeaderWidth = 0.5;
// Batches of more markers than this skip markers landing where an identical
// one was already stamped; smaller batches are drawn as they come.
constexpr std::size_t kDedupeFrom = 256;

QColor resolved_color(const ColorSpec& color, const QColor& line) {
  switch (color.kind) {
    case ColorSpec::Kind::None:
      return Qt::transparent;
    case ColorSpec::Kind::Auto:
      return line;
    case ColorSpec::Kind::Rgb:
      return to_qcolor(color.rgb);
  }
  return line;
}

QPainterPath polygon_path(std::initializer_list<QPointF> points) {
  QPainterPath path;
  path.addPolygon(QPolygonF(points));
  path.closeSubpath();
  return path;
}

QPainterPath star_path(int tips, double outer, double inner) {
  QPolygonF polygon;
  for (int i = 0; i < 2 * tips; ++i) {
    double angle = -std::numbers::pi / 2 + i * std::numbers::pi / tips;
    double r = i % 2 == 0 ? outer : inner;
    polygon << QPointF(r * std::cos(angle), r * std::sin(angle));
  }
  QPainterPath path;
  path.addPolygon(polygon);
  path.closeSubpath();
  return path;
}

QFont font_of_points(double points) {
  QFont font = QGuiApplication::font();
  font.setPointSizeF(points);
  return font;
}

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

  // Maps data coordinates to logical ones as x' = left + (x - x0) * sx,
  // y' = bottom - (y - y0) * sy, for add_data.
  void data_map(double left, double x0, double sx, double bottom, double y0, double sy) {
    left_ = left, x0_ = x0, sx_ = sx, bottom_ = bottom, y0_ = y0, sy_ = sy;
  }

  // A marker at data coordinates, mapped as data_map says.
  void add_data(double x, double y) {
    double lx = left_ + (x - x0_) * sx_, ly = bottom_ - (y - y0_) * sy_;
    add_device(
        QPointF(to_device_.m11() * lx + to_device_.dx(), to_device_.m22() * ly + to_device_.dy()));
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
  double left_ = 0, x0_ = 0, sx_ = 1, bottom_ = 0, y0_ = 0, sy_ = 1;
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

// Paints an image object over its extent, mapped as `map` maps data points.
// Vector devices get a copy of at most twice the device pixels it covers,
// which keeps a photo of many megapixels from filling an SVG file.
template <class Map>
void paint_image(QPainter& painter, const Image& object, const Map& map, bool raster) {
  const QRectF target =
      QRectF(map(object.xdata[0], object.ydata[1]), map(object.xdata[1], object.ydata[0]))
          .normalized();
  if (!std::isfinite(target.width()) || !std::isfinite(target.height()) || target.isEmpty()) {
    return;
  }
  QImage image = cached_image(object.file);
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

QPen line_pen(const QColor& color, double width, LineStyle style) {
  QPen pen(color, width);
  pen.setJoinStyle(Qt::RoundJoin);
  pen.setCapStyle(style == LineStyle::Solid ? Qt::RoundCap : Qt::FlatCap);
  auto pattern = [&](std::initializer_list<double> lengths) {
    QList<qreal> dashes;
    for (double l : lengths) dashes << l / width;  // Qt measures dashes in pen widths
    pen.setDashPattern(dashes);
  };
  if (style == LineStyle::Dashed) pattern({6, 4});
  if (style == LineStyle::Dotted) pattern({1.5, 3});
  if (style == LineStyle::DashDot) pattern({6, 3, 1.5, 3});
  return pen;
}

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
  const double r = size / 2;
  bool closed = true;
  QPainterPath path;
  switch (marker) {
    case Marker::None:
      closed = false;
      break;
    case Marker::Circle:
      path.addEllipse(QPointF(0, 0), r, r);
      break;
    case Marker::Point:  // a small filled dot, a third of the marker size
      path.addEllipse(QPointF(0, 0), std::max(r / 3, 0.75), std::max(r / 3, 0.75));
      break;
    case Marker::Plus:
      closed = false;
      path.moveTo(-r, 0), path.lineTo(r, 0), path.moveTo(0, -r), path.lineTo(0, r);
      break;
    case Marker::Cross: {
      closed = false;
      double d = r * std::numbers::sqrt2 / 2;
      path.moveTo(-d, -d), path.lineTo(d, d), path.moveTo(-d, d), path.lineTo(d, -d);
      break;
    }
    case Marker::Star: {
      closed = false;
      double d = r * std::numbers::sqrt2 / 2;
      path.moveTo(-r, 0), path.lineTo(r, 0), path.moveTo(0, -r), path.lineTo(0, r);
      path.moveTo(-d, -d), path.lineTo(d, d), path.moveTo(-d, d), path.lineTo(d, -d);
      break;
    }
    case Marker::Square: {
      double s = r * 0.9;
      path.addRect(QRectF(-s, -s, 2 * s, 2 * s));
      break;
    }
    case Marker::Diamond:
      path = polygon_path({{0, -r}, {r, 0}, {0, r}, {-r, 0}});
      break;
    case Marker::Up:
      path = polygon_path({{0, -r}, {r * 0.866, r / 2}, {-r * 0.866, r / 2}});
      break;
    case Marker::Down:
      path = polygon_path({{0, r}, {r * 0.866, -r / 2}, {-r * 0.866, -r / 2}});
      break;
    case Marker::Right:
      path = polygon_path({{r, 0}, {-r / 2, r * 0.866}, {-r / 2, -r * 0.866}});
      break;
    case Marker::Left:
      path = polygon_path({{-r, 0}, {r / 2, r * 0.866}, {r / 2, -r * 0.866}});
      break;
    case Marker::Pentagram:
      path = star_path(5, r, r * 0.4);
      break;
    case Marker::Hexagram:
      path = star_path(6, r, r * 0.58);
      break;
  }
  if (filled) *filled = closed;
  return path;
}

std::array<double, 4> shown_limits(const Graphics& graphics, Handle axes, QSizeF box) {
  return graphics.shown_limits(axes, box.width(), box.height());
}

std::vector<double> nice_ticks(double lo, double hi, double target, double* step_out) {
  std::vector<double> ticks;
  if (!(hi > lo) || !std::isfinite(lo) || !std::isfinite(hi)) return ticks;
  target = std::max(target, 1.0);
  double magnitude = std::pow(10.0, std::floor(std::log10((hi - lo) / target)));
  // The finest step that gives no more than half as many ticks again as wanted.
  double step = 10 * magnitude;
  for (double f : {1.0, 2.0, 5.0}) {
    if ((hi - lo) / (f * magnitude) <= 1.5 * target) {
      step = f * magnitude;
      break;
    }
  }
  double eps = step * 1e-9;
  for (double k = std::ceil((lo - eps) / step); k * step <= hi + eps; k += 1) {
    ticks.push_back(k * step);
  }
  if (step_out) *step_out = step;
  return ticks;
}

QString tick_label(double value, double step) {
  if (std::abs(value) < step * 1e-6) value = 0;
  double big = std::max(std::abs(value), step);
  if (big >= 1e6 || step < 1e-5) return QString::number(value, 'g', 6);
  int decimals = std::max(0, static_cast<int>(-std::floor(std::log10(step) + 1e-9)));
  QString text = QString::number(value, 'f', decimals);
  if (text.contains('.')) {
    while (text.endsWith('0')) text.chop(1);
    if (text.endsWith('.')) text.chop(1);
  }
  return text;
}

QRectF axes_box(const Graphics& graphics, Handle figure, Handle axes) {
  auto f = graphics.pixel_position(figure);
  auto a = graphics.pixel_position(axes);
  // Snapped to pixel centres so that a one-pixel box and its ticks stay sharp.
  double left = std::floor(a[0]) + 0.5;
  double top = std::floor(f[3] - a[1] - a[3]) + 0.5;
  return QRectF(left, top, std::max(1.0, std::round(a[2])), std::max(1.0, std::round(a[3])));
}

double label_shift(std::vector<QRectF>& labels, const QFontMetricsF& metrics, const QString& text,
                   QPointF baseline, const QRectF& room) {
  const QRectF at(baseline.x(), baseline.y() - metrics.ascent(), metrics.horizontalAdvance(text),
                  metrics.height());
  const double step = metrics.height();
  double shift = 0;
  if (labels.size() < kNudgedLabels) {
    auto free = [&](double dy) {
      const QRectF moved = at.translated(0, dy);
      if (dy != 0 && !room.isEmpty() &&
          (moved.top() < room.top() || moved.bottom() > room.bottom())) {
        return false;
      }
      return std::none_of(labels.begin(), labels.end(),
                          [&](const QRectF& r) { return r.intersects(moved); });
    };
    // Down one line, up one line, down two, ...: the nearest free place.
    for (int i = 0; i < 2 * kNudgeSteps && !free(shift); ++i) {
      shift = (i % 2 == 0 ? 1 : -1) * step * (i / 2 + 1);
    }
    if (!free(shift)) shift = 0;
  }
  labels.push_back(at.translated(0, shift));
  return shift;
}

void paint_axes(QPainter& painter, const Graphics& graphics, Handle axes, const QRectF& box,
                MarkerSprites& sprites) {
  const Axes& a = graphics.axes(axes);
  const auto lim = shown_limits(graphics, axes, box.size());
  const double sx = box.width() / (lim[1] - lim[0]);
  const double sy = box.height() / (lim[3] - lim[2]);
  auto map = [&](double x, double y) {
    return QPointF(box.left() + (x - lim[0]) * sx, box.bottom() - (y - lim[2]) * sy);
  };

  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  if (a.visible) painter.fillRect(box, to_qcolor(a.color));

  // Colours by palette index, converted once per paint rather than per object.
  std::vector<QColor> colours;
  std::vector<bool> known;
  auto colour = [&](std::uint32_t index, const QColor& line) {
    ColorSpec color = graphics.palette().color(index);
    if (color.kind != ColorSpec::Kind::Rgb) return resolved_color(color, line);
    if (index >= colours.size()) colours.resize(index + 1), known.resize(index + 1);
    if (!known[index]) colours[index] = to_qcolor(color.rgb), known[index] = true;
    return colours[index];
  };

  painter.setClipRect(box);
  MarkerBatch batch(painter, sprites, box);
  // Raster devices cut texts at the clip; on others they are cut by hand.
  const bool raster =
      painter.paintEngine() && painter.paintEngine()->type() == QPaintEngine::Raster;
  QPainterPath box_path;
  box_path.addRect(box);
  batch.data_map(box.left(), lim[0], sx, box.bottom(), lim[2], sy);
  // Sets the batch up for a look; false when its markers draw nothing.
  auto marker_style = [&](const LineLook& look) {
    if (look.marker == Marker::None) return false;
    const QColor color = colour(look.color, Qt::black);
    const double width = std::max(look.line_width * kPixelsPerPoint, batch.thinnest());
    QColor edge = colour(look.edge_color, color);
    QColor face = colour(look.face_color, color);
    if (look.marker == Marker::Point) face = edge;
    if (edge.alpha() == 0 && face.alpha() == 0) return false;
    batch.style(look.marker, look.marker_size * kPixelsPerPoint, width, edge, face);
    return true;
  };
  const ObjectStore& store = graphics.store();
  const PointRows& rows = a.points;
  std::uint32_t row_look = PointRows::kDeadRow;  // the look the batch is set up for
  bool row_draws = false;
  QPolygonF run;
  std::vector<QRectF> labels;  // the texts painted so far
  // Images lie beneath everything else their axes show; only children that
  // are not point rows can be one.
  if (a.children.size() > rows.live) {
    for (ObjectId id : a.children) {
      if (store.point(id)) continue;
      const Object& o = *store.object(id);
      if (o.type == ObjectType::Image && o.visible) {
        paint_image(painter, static_cast<const Image&>(o), map, raster);
      }
    }
  }
  for (ObjectId id : a.children) {
    if (auto ref = store.point(id)) {
      std::uint32_t look = rows.look[ref->row];
      if (look != row_look) {
        row_look = look;
        row_draws = graphics.looks()[look].visible && marker_style(graphics.looks()[look]);
      }
      if (row_draws) batch.add_data(rows.x[ref->row], rows.y[ref->row]);
      continue;
    }
    row_look = PointRows::kDeadRow;
    const Object& o = *store.object(id);
    if (!o.visible) continue;
    if (o.type == ObjectType::Line) {
      const auto& line = static_cast<const Line&>(o);
      const LineLook& look = line.look;
      const Points& pts = line.points;
      if (look.style != LineStyle::None && pts.size() >= 2) {
        batch.flush();
        const double width = std::max(look.line_width * kPixelsPerPoint, batch.thinnest());
        painter.setPen(line_pen(colour(look.color, Qt::black), width, look.style));
        painter.setBrush(Qt::NoBrush);
        run.clear();
        for (std::size_t i = 0; i <= pts.size(); ++i) {
          bool ok = i < pts.size() && std::isfinite(pts.x(i)) && std::isfinite(pts.y(i));
          if (ok) run << map(pts.x(i), pts.y(i));
          if (!ok && !run.isEmpty()) {
            if (run.size() > 1) painter.drawPolyline(run);
            run.clear();
          }
        }
      }
      if (marker_style(look)) {
        for (std::size_t i = 0; i < pts.size(); ++i) batch.add_data(pts.x(i), pts.y(i));
      }
    } else if (o.type == ObjectType::Text) {
      batch.flush();
      const auto& text = static_cast<const Text&>(o);
      // A text whose place the view does not show is left out (also when not finite).
      if (!(text.x >= lim[0] && text.x <= lim[1] && text.y >= lim[2] && text.y <= lim[3])) {
        continue;
      }
      const QPointF at = map(text.x, text.y);
      QFont font = font_of_points(text.font_size);
      QFontMetricsF metrics(font, painter.device());
      const QString string = QString::fromStdString(text.string);
      QPointF baseline = at + QPointF(0, (metrics.ascent() - metrics.descent()) / 2);
      // A text whose place is shown is moved in from an edge it would cross,
      // where the box has room for it, so a number is never cut to fewer digits.
      const QRectF extent = metrics.boundingRect(string).translated(baseline);
      if (extent.right() > box.right()) {
        baseline.rx() -= std::min(extent.right() - box.right(), extent.left() - box.left());
      }
      if (extent.top() < box.top()) {
        baseline.ry() += std::min(box.top() - extent.top(), box.bottom() - extent.bottom());
      } else if (extent.bottom() > box.bottom()) {
        baseline.ry() -= std::min(extent.bottom() - box.bottom(), extent.top() - box.top());
      }
      const double shift = label_shift(labels, metrics, string, baseline, box);
      baseline.ry() += shift;
      const QColor color = resolved_color(graphics.palette().color(text.color), Qt::black);
      if (shift != 0) {
        // The leader runs from the text's place to the near edge of the moved
        // text; both lie in the box, since texts are moved only within it.
        const double top = baseline.y() - metrics.ascent();
        QPen pen(color, std::max(kLeaderWidth, batch.thinnest()));
        pen.setCapStyle(Qt::FlatCap);
        painter.setPen(pen);
        painter.drawLine(at, QPointF(at.x(), shift > 0 ? top : top + metrics.height()));
      }
      painter.setFont(font);
      painter.setPen(color);
      if (raster || box.contains(metrics.boundingRect(string).translated(baseline))) {
        painter.drawText(baseline, string);
      } else {
        // Vector devices need not honour the clip (SVG drops it), so a text
        // crossing the box's edge is painted as its outline cut at the edge.
        painter.fillPath(text_outline(font, painter.device()->logicalDpiY(), baseline, string)
                             .intersected(box_path),
                         color);
      }
    }
  }
  batch.flush();
  painter.setClipping(false);

  if (a.visible) {
    QPen pen(kAxisColor, 1);
    pen.setCapStyle(Qt::FlatCap);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.setRenderHint(QPainter::Antialiasing, false);
    if (a.box) {
      painter.drawRect(box);
    } else {
      painter.drawLine(box.bottomLeft(), box.bottomRight());
      painter.drawLine(box.bottomLeft(), box.topLeft());
    }
    QFont font = font_of_points(kTickFontPoints);
    painter.setFont(font);
    QFontMetricsF metrics(font, painter.device());
    const double label_height = metrics.height();
    double step = 1;
    for (double t : nice_ticks(lim[0], lim[1], box.width() / 90, &step)) {
      double x = std::floor(map(t, 0).x()) + 0.5;
      painter.drawLine(QPointF(x, box.bottom()), QPointF(x, box.bottom() - kTickLength));
      if (a.box) painter.drawLine(QPointF(x, box.top()), QPointF(x, box.top() + kTickLength));
      painter.drawText(QRectF(x - 60, box.bottom() + 3, 120, label_height),
                       Qt::AlignHCenter | Qt::AlignTop, tick_label(t, step));
    }
    for (double t : nice_ticks(lim[2], lim[3], box.height() / 70, &step)) {
      double y = std::floor(map(0, t).y()) + 0.5;
      painter.drawLine(QPointF(box.left(), y), QPointF(box.left() + kTickLength, y));
      if (a.box) painter.drawLine(QPointF(box.right(), y), QPointF(box.right() - kTickLength, y));
      painter.drawText(QRectF(box.left() - 124, y - label_height / 2, 120, label_height),
                       Qt::AlignRight | Qt::AlignVCenter, tick_label(t, step));
    }
  }
  painter.restore();
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

#include "runtime/graphics/primitives.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>

namespace dg {
namespace {

const Rgb kAxisColor{38 / 255.0, 38 / 255.0, 38 / 255.0};
const Rgb kBlack{0, 0, 0};
constexpr double kTickLength = 5;
constexpr double kLeaderWidth = 0.5;

std::optional<Rgb> resolved(const ColorSpec& color, const std::optional<Rgb>& line) {
  switch (color.kind) {
    case ColorSpec::Kind::None:
      return std::nullopt;
    case ColorSpec::Kind::Auto:
      return line;
    case ColorSpec::Kind::Rgb:
      return color.rgb;
  }
  return line;
}

std::vector<PlotPoint> star(int tips, double outer, double inner) {
  std::vector<PlotPoint> points;
  for (int i = 0; i < 2 * tips; ++i) {
    double angle = -std::numbers::pi / 2 + i * std::numbers::pi / tips;
    double r = i % 2 == 0 ? outer : inner;
    points.push_back({r * std::cos(angle), r * std::sin(angle)});
  }
  return points;
}

std::string fixed(double value, int decimals) {
  char buffer[400];
  auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  return std::string(buffer, result.ptr);
}

// Cuts runs of points to `clip`: the pieces inside, each with the length of
// line before it, so that a dash pattern goes on where the line left the clip.
void add_clipped_runs(std::vector<Primitive>& out, const PolylinePrimitive& look,
                      const std::vector<PlotPoint>& run, const PixelRect& clip) {
  PolylinePrimitive piece = look;
  double travelled = 0;
  auto finish = [&] {
    if (piece.points.size() > 1) out.push_back(piece);
    piece.points.clear();
  };
  for (std::size_t i = 0; i + 1 < run.size(); ++i) {
    const PlotPoint p = run[i], q = run[i + 1];
    const double dx = q.x - p.x, dy = q.y - p.y;
    // Liang-Barsky: the part t0..t1 of the segment lies inside the clip.
    double t0 = 0, t1 = 1;
    bool inside = true;
    for (auto [num, den] : {std::pair{p.x - clip.left, -dx}, std::pair{clip.right() - p.x, dx},
                            std::pair{p.y - clip.top, -dy}, std::pair{clip.bottom() - p.y, dy}}) {
      if (den == 0) {
        if (num < 0) inside = false;
        continue;
      }
      const double t = num / den;
      if (den < 0) {
        t0 = std::max(t0, t);  // entering
      } else {
        t1 = std::min(t1, t);  // leaving
      }
    }
    const double length = std::hypot(dx, dy);
    if (!inside || t0 > t1) {
      finish();
      travelled += length;
      continue;
    }
    if (t0 > 0) finish();
    if (piece.points.empty()) {
      piece.dash_offset = travelled + t0 * length;
      piece.points.push_back(t0 > 0 ? PlotPoint{p.x + t0 * dx, p.y + t0 * dy} : p);
    }
    piece.points.push_back(t1 < 1 ? PlotPoint{p.x + t1 * dx, p.y + t1 * dy} : q);
    if (t1 < 1) finish();
    travelled += length;
  }
  finish();
}

// Builds the primitives of one axes' children in order.
class PlotBuilder {
 public:
  PlotBuilder(const Graphics& graphics, const PixelRect& box, const std::array<double, 4>& lim,
              const TextMetrics& metrics, const PrimitiveOptions& options,
              std::vector<Primitive>& out)
      : graphics_(graphics),
        box_(box),
        lim_(lim),
        metrics_(metrics),
        options_(options),
        out_(out),
        sx_(box.width / (lim[1] - lim[0])),
        sy_(box.height / (lim[3] - lim[2])) {}

  PlotPoint map(double x, double y) const {
    return {box_.left + (x - lim_[0]) * sx_, box_.bottom() - (y - lim_[2]) * sy_};
  }

  std::optional<Rgb> colour(std::uint32_t index, const std::optional<Rgb>& line) const {
    return resolved(graphics_.palette().color(index), line);
  }

  // Anything drawn between markers ends their batch.
  void end_batch() { batch_ = kNone; }

  // Makes markers of this look the open batch; false when they draw nothing.
  bool marker_style(const LineLook& look) {
    if (look.marker == Marker::None) return false;
    const std::optional<Rgb> color = colour(look.color, kBlack);
    const double width = std::max(look.line_width * kPixelsPerPoint, options_.thinnest);
    const std::optional<Rgb> edge = colour(look.edge_color, color);
    std::optional<Rgb> face = colour(look.face_color, color);
    if (look.marker == Marker::Point) face = edge;
    if (!edge && !face) return false;
    const double size = look.marker_size * kPixelsPerPoint;
    if (batch_ != kNone) {
      const auto& open = std::get<MarkerPrimitive>(out_[batch_]);
      if (open.marker == look.marker && open.size == size && open.edge_width == width &&
          open.edge == edge && open.face == face) {
        return true;
      }
    }
    MarkerPrimitive batch{look.marker, size, width, edge, face, {}};
    if (options_.spare_points && !options_.spare_points->empty()) {
      batch.at = std::move(options_.spare_points->back());
      options_.spare_points->pop_back();
    }
    out_.push_back(std::move(batch));
    batch_ = out_.size() - 1;
    reach_ = (size + width) / 2 + std::max(1.0, options_.thinnest);
    return true;
  }

  void marker(double x, double y) {
    const PlotPoint p = map(x, y);
    if (!std::isfinite(p.x) || !std::isfinite(p.y)) return;
    if (p.x < box_.left - reach_ || p.x > box_.right() + reach_ || p.y < box_.top - reach_ ||
        p.y > box_.bottom() + reach_) {
      return;
    }
    std::get<MarkerPrimitive>(out_[batch_]).at.push_back(p);
  }

  void line(const Line& line) {
    const LineLook& look = line.look;
    const Points& pts = line.points;
    if (look.style != LineStyle::None && pts.size() >= 2) {
      end_batch();
      PolylinePrimitive pen;
      const std::optional<Rgb> color = colour(look.color, kBlack);
      pen.width = std::max(look.line_width * kPixelsPerPoint, options_.thinnest);
      pen.style = look.style;
      pen.round_cap = look.style == LineStyle::Solid;
      if (look.style == LineStyle::Dashed) pen.dashes = {6, 4};
      if (look.style == LineStyle::Dotted) pen.dashes = {1.5, 3};
      if (look.style == LineStyle::DashDot) pen.dashes = {6, 3, 1.5, 3};
      // Cut beyond the box by more than the pen's half width and a pixel, so
      // that caps and joins at the cuts stay outside what is shown.
      const double margin = pen.width / 2 + 2;
      const PixelRect clip{box_.left - margin, box_.top - margin, box_.width + 2 * margin,
                           box_.height + 2 * margin};
      if (color) {
        pen.color = *color;
        run_.clear();
        for (std::size_t i = 0; i <= pts.size(); ++i) {
          bool ok = i < pts.size() && std::isfinite(pts.x(i)) && std::isfinite(pts.y(i));
          if (ok) run_.push_back(map(pts.x(i), pts.y(i)));
          if (!ok && !run_.empty()) {
            if (run_.size() > 1) add_clipped_runs(out_, pen, run_, clip);
            run_.clear();
          }
        }
      }
    }
    if (marker_style(look)) {
      for (std::size_t i = 0; i < pts.size(); ++i) marker(pts.x(i), pts.y(i));
    }
  }

  void text(const Text& text) {
    end_batch();
    // A text whose place the view does not show is left out (also when not finite).
    if (!(text.x >= lim_[0] && text.x <= lim_[1] && text.y >= lim_[2] && text.y <= lim_[3])) {
      return;
    }
    const double points = text.font_size;
    const PlotPoint at = map(text.x, text.y);
    const double ascent = metrics_.ascent(points);
    PlotPoint baseline{at.x, at.y + (ascent - metrics_.descent(points)) / 2};
    // A text whose place is shown is moved in from an edge it would cross,
    // where the box has room for it, so a number is never cut to fewer digits.
    const PixelRect bounds = metrics_.bounds(text.string, points);
    const PixelRect extent = bounds.moved(baseline.x, baseline.y);
    if (extent.right() > box_.right()) {
      baseline.x -= std::min(extent.right() - box_.right(), extent.left - box_.left);
    }
    if (extent.top < box_.top) {
      baseline.y += std::min(box_.top - extent.top, box_.bottom() - extent.bottom());
    } else if (extent.bottom() > box_.bottom()) {
      baseline.y -= std::min(extent.bottom() - box_.bottom(), extent.top - box_.top);
    }
    const double shift = label_shift(labels_, metrics_, points, text.string, baseline, box_);
    baseline.y += shift;
    const std::optional<Rgb> color = resolved(graphics_.palette().color(text.color), kBlack);
    if (!color) return;
    if (shift != 0) {
      // The leader runs from the text's place to the near edge of the moved
      // text; both lie in the box, since texts are moved only within it.
      const double top = baseline.y - ascent;
      PolylinePrimitive leader;
      leader.kind = PolylinePrimitive::Kind::Segment;
      leader.points = {at, {at.x, shift > 0 ? top : top + metrics_.height(points)}};
      leader.color = *color;
      leader.width = std::max(kLeaderWidth, options_.thinnest);
      leader.round_cap = false;
      out_.push_back(std::move(leader));
    }
    TextPrimitive label;
    label.text = text.string;
    label.at = baseline;
    label.color = *color;
    label.points = points;
    label.cut = !box_.contains(bounds.moved(baseline.x, baseline.y));
    out_.push_back(std::move(label));
  }

  void image(const Image& object) {
    const PlotPoint a = map(object.xdata[0], object.ydata[1]);
    const PlotPoint b = map(object.xdata[1], object.ydata[0]);
    PixelRect target{a.x, a.y, b.x - a.x, b.y - a.y};
    if (target.width < 0) target.left += target.width, target.width = -target.width;
    if (target.height < 0) target.top += target.height, target.height = -target.height;
    if (!std::isfinite(target.width) || !std::isfinite(target.height) || target.empty()) return;
    out_.push_back(ImagePrimitive{object.file, target});
  }

 private:
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  const Graphics& graphics_;
  const PixelRect box_;
  const std::array<double, 4> lim_;
  const TextMetrics& metrics_;
  const PrimitiveOptions options_;
  std::vector<Primitive>& out_;
  const double sx_, sy_;
  std::size_t batch_ = kNone;  // the open batch of markers in out_
  double reach_ = 0;           // how far beyond the box a marker of the open batch still shows
  std::vector<PlotPoint> run_;
  std::vector<PixelRect> labels_;  // the texts placed so far
};

void add_frame(AxesPrimitives& result, const Axes& a, const TextMetrics& metrics) {
  const PixelRect& box = result.box;
  const auto& lim = result.limits;
  std::vector<Primitive>* into = &result.frame;
  auto segment = [&](PlotPoint from, PlotPoint to) {
    std::vector<Primitive>& out = *into;
    PolylinePrimitive line;
    line.kind = PolylinePrimitive::Kind::Segment;
    line.points = {from, to};
    line.color = kAxisColor;
    line.width = 1;
    line.round_cap = false;
    line.antialias = false;
    out.push_back(std::move(line));
  };
  auto label = [&](TextPrimitive::Align align, PixelRect frame, std::string text) {
    TextPrimitive t;
    t.text = std::move(text);
    t.align = align;
    t.frame = frame;
    t.color = kAxisColor;
    t.points = kTickFontPoints;
    result.ticks.push_back(std::move(t));
  };
  if (a.box) {
    result.frame.push_back(RectPrimitive{box, kAxisColor, 1});
  } else {
    segment({box.left, box.bottom()}, {box.right(), box.bottom()});
    segment({box.left, box.bottom()}, {box.left, box.top});
  }
  into = &result.ticks;
  const double sx = box.width / (lim[1] - lim[0]);
  const double sy = box.height / (lim[3] - lim[2]);
  const double label_height = metrics.height(kTickFontPoints);
  double step = 1;
  for (double t : nice_ticks(lim[0], lim[1], box.width / 90, &step)) {
    double x = std::floor(box.left + (t - lim[0]) * sx) + 0.5;
    segment({x, box.bottom()}, {x, box.bottom() - kTickLength});
    if (a.box) segment({x, box.top}, {x, box.top + kTickLength});
    label(TextPrimitive::Align::TopCentre, {x - 60, box.bottom() + 3, 120, label_height},
          tick_label(t, step));
  }
  for (double t : nice_ticks(lim[2], lim[3], box.height / 70, &step)) {
    double y = std::floor(box.bottom() - (t - lim[2]) * sy) + 0.5;
    segment({box.left, y}, {box.left + kTickLength, y});
    if (a.box) segment({box.right(), y}, {box.right() - kTickLength, y});
    label(TextPrimitive::Align::MiddleRight,
          {box.left - 124, y - label_height / 2, 120, label_height}, tick_label(t, step));
  }
}

}  // namespace

bool PixelRect::contains(const PixelRect& r) const {
  if (width == 0 || height == 0 || r.width == 0 || r.height == 0) return false;
  return r.left >= left && r.right() <= right() && r.top >= top && r.bottom() <= bottom();
}

bool PixelRect::intersects(const PixelRect& r) const {
  if (width == 0 || height == 0 || r.width == 0 || r.height == 0) return false;
  return left < r.right() && r.left < right() && top < r.bottom() && r.top < bottom();
}

double FixedTextMetrics::ascent(double points) const {
  return 0.8 * points * kPixelsPerPoint;
}
double FixedTextMetrics::descent(double points) const {
  return 0.2 * points * kPixelsPerPoint;
}
double FixedTextMetrics::height(double points) const {
  return points * kPixelsPerPoint;
}

double FixedTextMetrics::advance(std::string_view text, double points) const {
  // Characters, not bytes: continuation bytes of UTF-8 are not counted.
  auto count = std::count_if(text.begin(), text.end(),
                             [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; });
  return 0.6 * points * kPixelsPerPoint * static_cast<double>(count);
}

PixelRect FixedTextMetrics::bounds(std::string_view text, double points) const {
  return {0, -ascent(points), advance(text, points), height(points)};
}

MarkerShape marker_shape(Marker marker, double size) {
  const double r = size / 2;
  MarkerShape shape;
  auto plus = [&] {
    shape.strokes.push_back({PlotPoint{-r, 0}, PlotPoint{r, 0}});
    shape.strokes.push_back({PlotPoint{0, -r}, PlotPoint{0, r}});
  };
  auto cross = [&] {
    double d = r * std::numbers::sqrt2 / 2;
    shape.strokes.push_back({PlotPoint{-d, -d}, PlotPoint{d, d}});
    shape.strokes.push_back({PlotPoint{-d, d}, PlotPoint{d, -d}});
  };
  switch (marker) {
    case Marker::None:
      break;
    case Marker::Circle:
      shape.radius = r;
      break;
    case Marker::Point:  // a small filled dot, a third of the marker size
      shape.radius = std::max(r / 3, 0.75);
      break;
    case Marker::Plus:
      plus();
      break;
    case Marker::Cross:
      cross();
      break;
    case Marker::Star:
      plus();
      cross();
      break;
    case Marker::Square: {
      double s = r * 0.9;
      shape.polygons.push_back(
          {{-s, -s}, {-s + 2 * s, -s}, {-s + 2 * s, -s + 2 * s}, {-s, -s + 2 * s}});
      break;
    }
    case Marker::Diamond:
      shape.polygons.push_back({{0, -r}, {r, 0}, {0, r}, {-r, 0}});
      break;
    case Marker::Up:
      shape.polygons.push_back({{0, -r}, {r * 0.866, r / 2}, {-r * 0.866, r / 2}});
      break;
    case Marker::Down:
      shape.polygons.push_back({{0, r}, {r * 0.866, -r / 2}, {-r * 0.866, -r / 2}});
      break;
    case Marker::Right:
      shape.polygons.push_back({{r, 0}, {-r / 2, r * 0.866}, {-r / 2, -r * 0.866}});
      break;
    case Marker::Left:
      shape.polygons.push_back({{-r, 0}, {r / 2, r * 0.866}, {r / 2, -r * 0.866}});
      break;
    case Marker::Pentagram:
      shape.polygons.push_back(star(5, r, r * 0.4));
      break;
    case Marker::Hexagram:
      shape.polygons.push_back(star(6, r, r * 0.58));
      break;
  }
  return shape;
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

std::string tick_label(double value, double step) {
  if (std::abs(value) < step * 1e-6) value = 0;
  double big = std::max(std::abs(value), step);
  if (big >= 1e6 || step < 1e-5) {
    char buffer[64];
    auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6);
    return std::string(buffer, result.ptr);
  }
  int decimals = std::max(0, static_cast<int>(-std::floor(std::log10(step) + 1e-9)));
  std::string text = fixed(value, decimals);
  if (text.find('.') != std::string::npos) {
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
  }
  return text;
}

double label_shift(std::vector<PixelRect>& labels, const TextMetrics& metrics, double points,
                   std::string_view text, PlotPoint baseline, const PixelRect& room) {
  const PixelRect at{baseline.x, baseline.y - metrics.ascent(points), metrics.advance(text, points),
                     metrics.height(points)};
  const double step = metrics.height(points);
  double shift = 0;
  if (labels.size() < kNudgedLabels) {
    auto free = [&](double dy) {
      const PixelRect moved = at.moved(0, dy);
      if (dy != 0 && !room.empty() && (moved.top < room.top || moved.bottom() > room.bottom())) {
        return false;
      }
      return std::none_of(labels.begin(), labels.end(),
                          [&](const PixelRect& r) { return r.intersects(moved); });
    };
    // Down one line, up one line, down two, ...: the nearest free place.
    for (int i = 0; i < 2 * kNudgeSteps && !free(shift); ++i) {
      shift = (i % 2 == 0 ? 1 : -1) * step * (i / 2 + 1);
    }
    if (!free(shift)) shift = 0;
  }
  labels.push_back(at.moved(0, shift));
  return shift;
}

PixelRect axes_pixel_box(const Graphics& graphics, Handle figure, Handle axes) {
  auto f = graphics.pixel_position(figure);
  auto a = graphics.pixel_position(axes);
  double left = std::floor(a[0]) + 0.5;
  double top = std::floor(f[3] - a[1] - a[3]) + 0.5;
  return {left, top, std::max(1.0, std::round(a[2])), std::max(1.0, std::round(a[3]))};
}

void recycle_points(AxesPrimitives& shown, std::vector<std::vector<PlotPoint>>& spare) {
  std::size_t used = 0;
  std::vector<std::vector<PlotPoint>> lists;
  for (Primitive& primitive : shown.plot) {
    if (auto* markers = std::get_if<MarkerPrimitive>(&primitive)) {
      used += markers->at.size();
      lists.push_back(std::move(markers->at));
    }
  }
  for (std::vector<PlotPoint>& kept : spare) lists.push_back(std::move(kept));
  // The largest first, so that the first batch of the next drawing (as a
  // rule the sample's markers) takes the largest room.
  std::sort(lists.begin(), lists.end(),
            [](const auto& a, const auto& b) { return a.capacity() > b.capacity(); });
  spare.clear();
  std::size_t room = 0;
  for (std::vector<PlotPoint>& list : lists) {
    if (list.capacity() == 0 || room + list.capacity() > 2 * used + 1024) continue;
    room += list.capacity();
    list.clear();
    spare.push_back(std::move(list));
  }
  // Taken from the back: the largest last.
  std::reverse(spare.begin(), spare.end());
}

AxesPrimitives axes_primitives(const Graphics& graphics, Handle axes, const PixelRect& box,
                               const TextMetrics& metrics, const PrimitiveOptions& options) {
  const Axes& a = graphics.axes(axes);
  AxesPrimitives result;
  result.box = box;
  result.limits = graphics.shown_limits(axes, box.width, box.height);
  if (a.visible) result.background = a.color;

  PlotBuilder plot(graphics, box, result.limits, metrics, options, result.plot);
  const ObjectStore& store = graphics.store();
  const PointRows& rows = a.points;
  // Images lie beneath everything else their axes show; only children that
  // are not point rows can be one.
  if (a.children.size() > rows.live) {
    for (ObjectId id : a.children) {
      if (store.point(id)) continue;
      const Object& o = *store.object(id);
      if (o.type == ObjectType::Image && o.visible) plot.image(static_cast<const Image&>(o));
    }
  }
  std::uint32_t row_look = PointRows::kDeadRow;  // the look the batch is set up for
  bool row_draws = false;
  for (ObjectId id : a.children) {
    if (auto ref = store.point(id)) {
      std::uint32_t look = rows.look[ref->row];
      if (look != row_look) {
        row_look = look;
        row_draws = graphics.looks()[look].visible && plot.marker_style(graphics.looks()[look]);
      }
      if (row_draws) plot.marker(rows.x[ref->row], rows.y[ref->row]);
      continue;
    }
    row_look = PointRows::kDeadRow;
    const Object& o = *store.object(id);
    if (!o.visible) continue;
    if (o.type == ObjectType::Line) plot.line(static_cast<const Line&>(o));
    if (o.type == ObjectType::Text) plot.text(static_cast<const Text&>(o));
  }
  if (a.visible) add_frame(result, a, metrics);
  return result;
}

}  // namespace dg

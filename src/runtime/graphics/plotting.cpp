// Plotting into an axes, and the axes' limits: fixed, or fitted to the data
// bounds of its lines and images, which grow as they are added and are
// walked again only after a change that may shrink them.
#include <algorithm>
#include <cmath>
#include <limits>

#include "runtime/array/error.hpp"
#include "runtime/array/format.hpp"
#include "runtime/graphics/graphics.hpp"
#include "runtime/graphics/style.hpp"

namespace dg {
namespace {

// Rounds a data range outwards to a step of 1, 2 or 5 times a power of ten.
std::array<double, 2> nice_range(double lo, double hi) {
  if (!(lo <= hi)) return {0, 1};
  if (lo == hi) return {lo - 1, hi + 1};
  double raw = (hi - lo) / 5;
  double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
  double step = magnitude;
  for (double f : {1.0, 2.0, 5.0, 10.0}) {
    step = f * magnitude;
    if (step >= raw) break;
  }
  return {std::floor(lo / step) * step, std::ceil(hi / step) * step};
}

LineLook look_of(Palette& palette, const PlotStyle& style) {
  LineLook look;
  look.color = palette.index({ColorSpec::Kind::Rgb, style.color.value_or(Rgb{0, 0, 0})});
  look.style = *style.line_style;
  look.marker = *style.marker;
  return look;
}

}  // namespace

void DataBounds::clear() {
  double inf = std::numeric_limits<double>::infinity();
  x0 = y0 = inf;
  x1 = y1 = -inf;
  valid = true;
}

void DataBounds::add(double x, double y) {
  if (std::isfinite(x) && std::isfinite(y)) {
    x0 = std::min(x0, x), x1 = std::max(x1, x);
    y0 = std::min(y0, y), y1 = std::max(y1, y);
  }
}

Axes& Graphics::current_axes_object() {
  return store_.as<Axes>(current_axes_id());
}

ObjectId Graphics::current_axes_id() {
  return store_.id_of(gca());
}

ObjectId Graphics::checked_axes(Handle h) const {
  ObjectId id = store_.id_of(h);
  if (store_.type(id) != ObjectType::Axes) raise("Handle " + num2str(h) + " is not an axes.");
  return id;
}

Handle Graphics::plot(std::span<const double> x, std::span<const double> y,
                      std::string_view style) {
  return plot(gca(), x, y, style);
}

Handle Graphics::plot(Handle axes_handle, std::span<const double> x, std::span<const double> y,
                      std::string_view style) {
  PlotStyle parsed = parse_plot_style(style);
  ObjectId aid = checked_axes(axes_handle);
  if (!store_.as<Axes>(aid).hold) {
    clear_axes(store_.handle_of(aid));
    auto& a = store_.as<Axes>(aid);
    a.xlim_auto = a.ylim_auto = true;
  }
  Points points(x, y);
  LineLook look = look_of(palette_, parsed);
  auto& axes = store_.as<Axes>(aid);
  ObjectId id;
  if (points.size() == 1) {
    id = store_.add_point(aid, x[0], y[0], looks_.index(look));
  } else {
    auto line = std::make_unique<Line>();
    line->points = std::move(points);
    line->look = look;
    id = store_.add(std::move(line), aid);
  }
  for (std::size_t i = 0; i < x.size(); ++i) axes.bounds.add(x[i], y[i]);
  touch(id);
  return store_.handle_of(id);
}

void Graphics::plot_points(std::span<const double> x, std::span<const double> y,
                           std::string_view style, double marker_size) {
  check_line_counts(x.size(), y.size());
  LineLook look = look_of(palette_, parse_plot_style(style));
  look.marker_size = positive_number(marker_size, "MarkerSize");
  std::uint32_t index = looks_.index(look);
  ObjectId aid = current_axes_id();
  auto& axes = store_.as<Axes>(aid);
  for (std::size_t i = 0; i < x.size(); ++i) {
    store_.add_point(aid, x[i], y[i], index);
    axes.bounds.add(x[i], y[i]);
  }
  if (!x.empty()) touch(aid);
}

void Graphics::reserve_points(std::size_t count) {
  store_.reserve_points(current_axes_id(), count);
}

Handle Graphics::text(double x, double y, std::string_view string) {
  return text(gca(), x, y, string);
}

Handle Graphics::text(Handle axes_handle, double x, double y, std::string_view string) {
  ObjectId aid = checked_axes(axes_handle);
  auto text = std::make_unique<Text>();
  text->x = x;
  text->y = y;
  text->string = std::string(string);
  text->color = palette_.index({ColorSpec::Kind::Rgb, {0, 0, 0}});
  return store_.handle_of(add(std::move(text), aid));
}

void Graphics::hold(bool on) {
  current_axes_object().hold = on;
  touch(current_axes_id());
}

void Graphics::axis_auto() {
  auto& axes = current_axes_object();
  axes.xlim_auto = axes.ylim_auto = true;
  touch(current_axes_id());
}

void Graphics::axis_equal() {
  current_axes_object().equal = true;
  touch(current_axes_id());
}

void Graphics::axis_limits(const std::array<double, 4>& limits) {
  if (!(limits[0] < limits[1]) || !(limits[2] < limits[3])) {
    raise("Axis limits need xmin < xmax and ymin < ymax; found [" + num2str(limits[0]) + " " +
          num2str(limits[1]) + " " + num2str(limits[2]) + " " + num2str(limits[3]) + "].");
  }
  auto& axes = current_axes_object();
  axes.xlim = {limits[0], limits[1]};
  axes.ylim = {limits[2], limits[3]};
  axes.xlim_auto = axes.ylim_auto = false;
  touch(current_axes_id());
}

std::array<double, 4> Graphics::axis_limits() {
  return limits_of(gca());
}

void Graphics::bounds_changed(ObjectId line) {
  ObjectId axes = store_.parent(line);
  if (axes != kNoObject && store_.type(axes) == ObjectType::Axes) {
    store_.as<Axes>(axes).bounds.valid = false;
  }
}

std::array<double, 4> Graphics::data_limits(const Axes& axes) const {
  DataBounds& b = axes.bounds;
  if (!b.valid) {
    b.clear();
    for (ObjectId kid : axes.children) {
      if (auto ref = store_.point(kid)) {
        if (looks_[axes.points.look[ref->row]].visible) {
          b.add(axes.points.x[ref->row], axes.points.y[ref->row]);
        }
      } else if (const Object* o = store_.object(kid); !o->visible) {
        continue;
      } else if (o->type == ObjectType::Line) {
        const Points& p = static_cast<const Line&>(*o).points;
        for (std::size_t i = 0; i < p.size(); ++i) b.add(p.x(i), p.y(i));
      } else if (o->type == ObjectType::Image) {
        const auto& image = static_cast<const Image&>(*o);
        b.add(image.xdata[0], image.ydata[0]);
        b.add(image.xdata[1], image.ydata[1]);
      }
    }
  }
  auto xs = nice_range(b.x0, b.x1);
  auto ys = nice_range(b.y0, b.y1);
  return {xs[0], xs[1], ys[0], ys[1]};
}

std::array<double, 4> Graphics::shown_limits(Handle axes_handle, double width,
                                             double height) const {
  auto lim = limits_of(axes_handle);
  if (!axes(axes_handle).equal || width <= 0 || height <= 0) return lim;
  double xr = lim[1] - lim[0], yr = lim[3] - lim[2];
  double per_pixel = std::max(xr / width, yr / height);
  double xc = (lim[0] + lim[1]) / 2, yc = (lim[2] + lim[3]) / 2;
  double xh = per_pixel * width / 2, yh = per_pixel * height / 2;
  return {xc - xh, xc + xh, yc - yh, yc + yh};
}

std::array<double, 4> Graphics::limits_of(Handle axes_handle) const {
  const auto& axes = store_.as<Axes>(checked_axes(axes_handle));
  std::array<double, 4> out{axes.xlim[0], axes.xlim[1], axes.ylim[0], axes.ylim[1]};
  if (axes.xlim_auto || axes.ylim_auto) {
    auto fitted = data_limits(axes);
    if (axes.xlim_auto) out[0] = fitted[0], out[1] = fitted[1];
    if (axes.ylim_auto) out[2] = fitted[2], out[3] = fitted[3];
  }
  return out;
}

}  // namespace dg

#include "runtime/graphics/view_control.hpp"

#include <algorithm>
#include <cmath>

namespace dg {
namespace {

// Sets a view of [xmin, xmax, ymin, ymax]; a view too small or too large for
// the numbers to tell apart is left alone.
void set_view(Graphics& graphics, Handle axes, const std::array<double, 4>& v) {
  for (int i = 0; i < 4; i += 2) {
    const double span = v[i + 1] - v[i];
    const double scale = std::max({std::abs(v[i]), std::abs(v[i + 1]), 1e-300});
    if (!std::isfinite(span) || !(span > scale * 1e-12)) return;
  }
  graphics.set(axes, "XLim", Value(Matrix{{v[0], v[1]}}));
  graphics.set(axes, "YLim", Value(Matrix{{v[2], v[3]}}));
}

std::array<double, 4> limits(const Graphics& graphics, Handle axes, const PlotBox& box) {
  return graphics.shown_limits(axes, box.width, box.height);
}

}  // namespace

std::array<double, 2> data_point(const Graphics& graphics, Handle axes, const PlotBox& box,
                                 double x, double y) {
  const auto l = limits(graphics, axes, box);
  return {l[0] + (x - box.left) / box.width * (l[1] - l[0]),
          l[2] + (box.top + box.height - y) / box.height * (l[3] - l[2])};
}

std::array<double, 2> point_beyond(const Graphics& graphics, Handle axes, const PlotBox& box) {
  const auto l = limits(graphics, axes, box);
  return {l[1] + 10 * (l[1] - l[0]), l[3] + 10 * (l[3] - l[2])};
}

void zoom_axes(Graphics& graphics, Handle axes, const PlotBox& box, double x, double y,
               double factor) {
  const auto l = limits(graphics, axes, box);
  const auto [px, py] = data_point(graphics, axes, box, x, y);
  set_view(graphics, axes,
           {px + (l[0] - px) * factor, px + (l[1] - px) * factor, py + (l[2] - py) * factor,
            py + (l[3] - py) * factor});
}

void pan_axes(Graphics& graphics, Handle axes, const PlotBox& box, double dx, double dy) {
  const auto l = limits(graphics, axes, box);
  const double x = -dx / box.width * (l[1] - l[0]);
  const double y = dy / box.height * (l[3] - l[2]);
  set_view(graphics, axes, {l[0] + x, l[1] + x, l[2] + y, l[3] + y});
}

Handle landmark_at(const Graphics& graphics, Handle axes, const PlotBox& box, double x, double y,
                   double radius) {
  const auto l = limits(graphics, axes, box);
  Handle found = -1;
  double nearest = radius * radius;
  for (Handle child : graphics.children(axes)) {
    if (graphics.type(child) != ObjectType::Line || graphics.tag_of(child) != "Landmark") continue;
    if (!graphics.visible(child)) continue;
    const Value px = graphics.get(child, "XData"), py = graphics.get(child, "YData");
    if (px.numel() == 0 || py.numel() == 0) continue;
    const double dx = box.left + (px.matrix().data()[0] - l[0]) / (l[1] - l[0]) * box.width - x;
    const double dy = box.top + (l[3] - py.matrix().data()[0]) / (l[3] - l[2]) * box.height - y;
    if (dx * dx + dy * dy <= nearest) {
      nearest = dx * dx + dy * dy;
      found = child;
    }
  }
  return found;
}

void move_landmark(Graphics& graphics, Handle line, Handle axes, const PlotBox& box, double x,
                   double y) {
  const double px = std::clamp(x, box.left, box.left + box.width);
  const double py = std::clamp(y, box.top, box.top + box.height);
  const auto p = data_point(graphics, axes, box, px, py);
  graphics.set(line, "XData", Value(p[0]));
  graphics.set(line, "YData", Value(p[1]));
  graphics.set(axes, "CurrentPoint", Value(Matrix{{p[0], p[1]}}));
}

bool turns(const Graphics& graphics, Handle axes) {
  return graphics.is_handle(axes) && graphics.type(axes) == ObjectType::Axes &&
         graphics.axes(axes).rotate_drag;
}

std::string turn_axes(Graphics& graphics, Handle axes, double dx, double dy) {
  const auto [azimuth, elevation] = graphics.axes(axes).view;
  graphics.set(axes, "View",
               Value(Matrix{{std::remainder(azimuth - dx / 2, 360.0),
                             std::clamp(elevation + dy / 2, -90.0, 90.0)}}));
  return graphics.axes(axes).view_fcn;
}

std::string reset_axes(Graphics& graphics, Handle axes) {
  std::string turned;
  if (graphics.axes(axes).rotate_drag && graphics.axes(axes).view != std::array{0.0, 90.0}) {
    graphics.set(axes, "View", Value(Matrix{{0, 90}}));
    turned = graphics.axes(axes).view_fcn;
  }
  graphics.set(axes, "XLimMode", Value("auto"));
  graphics.set(axes, "YLimMode", Value("auto"));
  graphics.set(axes, "DataAspectRatioMode", Value("manual"));
  return turned;
}

}  // namespace dg

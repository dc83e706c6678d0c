#include "display/CopyBigImage.hpp"

#include <algorithm>
#include <exception>

#include "runtime/graphics/property_table.hpp"

namespace dg {
namespace {

// Margins of the enlarged axes inside the figure, in characters.
constexpr double kLeft = 12, kBottom = 3, kRight = 4, kTop = 2;

}  // namespace

void with_enlarged_plot(Graphics& graphics, const std::function<void(Handle figure)>& paint) {
  std::array<double, 4> t = graphics.axis_limits();
  const std::array<double, 4> shown = t;
  double trrx = t[1] - t[0];
  double trry = t[3] - t[2];
  t = {t[0] - 0.03 * trrx, t[1] + 0.03 * trrx, t[2] - 0.03 * trry, t[3] + 0.03 * trry};

  Handle figure = graphics.gcf();
  Handle axes = graphics.gca();
  Value iposition = graphics.get(axes, "Position");
  Value iunits = graphics.get(axes, "Units");
  Value ifunits = graphics.get(figure, "Units");
  // A view the user zoomed or panned to (fixed limits) is given back after
  // the picture; automatic limits are worked out afresh, as after a load.
  const bool fixed = lower(graphics.get(axes, "XLimMode").text()) == "manual" ||
                     lower(graphics.get(axes, "YLimMode").text()) == "manual";

  // Whatever happens while the picture is made, the window gets its layout back.
  auto restore = [&] {
    graphics.set(figure, "Units", ifunits);
    graphics.set(axes, "Units", iunits);
    graphics.set(axes, "Position", iposition);
  };
  try {
    graphics.set(figure, "Units", Value("characters"));
    const Matrix f = graphics.get(figure, "Position").matrix();
    // The axes keep room for the tick labels on the left and below, and end a
    // few characters inside the right and top edges, so the last tick label
    // and the axis lines are part of the picture.
    Matrix fposition{{kLeft, kBottom, std::max(1.0, f(0, 2) - kLeft - kRight),
                      std::max(1.0, f(0, 3) - kBottom - kTop)}};
    graphics.set(axes, "Units", graphics.get(figure, "Units"));
    graphics.set(axes, "Position", Value(fposition));
    graphics.axis_limits(t);
    graphics.axis_equal();
    paint(figure);
  } catch (...) {
    restore();
    throw;
  }
  restore();
  if (fixed) {
    graphics.axis_limits(shown);
  } else {
    graphics.axis_auto();
  }
  graphics.axis_equal();
}

void CopyBigImage(Graphics& graphics) {
  with_enlarged_plot(graphics, [&](Handle figure) {
    graphics.observer().print_figure(graphics, figure, {"-noui", "-dmeta"});
  });
}

}  // namespace dg

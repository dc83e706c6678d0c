#include "guisupport/movegui.hpp"

#include <algorithm>

#include "guisupport/getParentFigure.hpp"
#include "runtime/array/arg_counts.hpp"
#include "runtime/array/error.hpp"

namespace dg {
namespace {

Handle figure_holding(const Graphics& graphics, Handle h) {
  auto fig = getParentFigure(graphics, h);
  if (!fig) raise("handle of figure or descendant required");
  return *fig;
}

std::string checked_word(std::string word) {
  if (std::find(kGuiPositions.begin(), kGuiPositions.end(), word) == kGuiPositions.end()) {
    raise("unrecognized position");
  }
  return word;
}

std::array<double, 4> rect(const Value& value) {
  const double* v = value.matrix().data();
  return {v[0], v[1], v[2], v[3]};
}

void place(Graphics& g, Handle fig, const GuiPosition& position) {
  g.observer().drawnow(g);

  Value active = g.get(fig, "ActivePositionProperty");
  Value units = g.get(fig, "Units");
  g.set(fig, "Units", Value("pixels"));
  auto inner = rect(g.get(fig, "Position"));
  auto outer = rect(g.get(fig, "OuterPosition"));

  Value root_units = g.get(0, "Units");
  g.set(0, "Units", Value("pixels"));
  auto screen = rect(g.get(0, "ScreenSize"));
  g.set(0, "Units", root_units);
  double swidth = screen[2];
  double sheight = screen[3];

  double fwidth = std::min(outer[2], swidth);
  double fheight = std::min(outer[3], sheight);
  double w = swidth - fwidth;
  double h = sheight - fheight;

  std::array<double, 2> corner{};
  if (const auto* numbers = std::get_if<std::array<double, 2>>(&position)) {
    corner = *numbers;
    if (corner[0] < 0) corner[0] = swidth - fwidth + corner[0];
    if (corner[1] < 0) corner[1] = sheight - fheight + corner[1];
  } else {
    const std::string& word = std::get<std::string>(position);
    if (word == "north") corner = {w / 2, h};
    if (word == "south") corner = {w / 2, 0};
    if (word == "east") corner = {w, h / 2};
    if (word == "west") corner = {0, h / 2};
    if (word == "northeast") corner = {w, h};
    if (word == "southeast") corner = {w, 0};
    if (word == "northwest") corner = {0, h};
    if (word == "southwest") corner = {0, 0};
    if (word == "center") corner = {w / 2, h / 2};
    if (word == "onscreen") {
      corner = {std::min(std::max(outer[0], 0.0), w), std::min(std::max(outer[1], 0.0), h)};
    }
  }

  // An outer rectangle smaller than the inner one leaves the frame out.
  if (inner[2] > outer[2] && inner[3] > outer[3]) {
    fwidth += 6;
    fheight += 24;
  }
  std::vector<double> moved{corner[0], corner[1], fwidth, fheight};
  g.set(fig, "OuterPosition", Value::row(moved));

  g.set(fig, "Units", units);
  g.set(fig, "ActivePositionProperty", active);
}

}  // namespace

void movegui(Graphics& graphics, Handle h, const GuiPosition& position) {
  Handle fig = figure_holding(graphics, h);
  if (const auto* word = std::get_if<std::string>(&position)) checked_word(*word);
  place(graphics, fig, position);
}

void movegui(Graphics& graphics, std::span<const Value> args) {
  check_nargin(args.size(), 0, 3);
  std::optional<Handle> fig;
  std::optional<GuiPosition> position;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const Value& arg = args[i];
    std::size_t n = arg.numel();
    if (arg.is_double() && n == 1 && graphics.is_handle(arg.scalar())) {
      fig = figure_holding(graphics, arg.scalar());
    } else if (arg.is_char()) {
      position = checked_word(arg.text());
    } else if (arg.is_double() && n == 2) {
      const double* v = arg.matrix().data();
      position = std::array<double, 2>{v[0], v[1]};
    } else if (graphics.gcbo() && i == 1) {
      // the event data a callback passes on
    } else {
      raise("unrecognized input argument");
    }
  }
  if (!fig) fig = graphics.gcbf();
  if (!fig) fig = graphics.gcf();
  place(graphics, *fig, position.value_or(std::string("onscreen")));
}

}  // namespace dg

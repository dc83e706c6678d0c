// Colour names and plot style strings as users write them: "k", "ro", "k.",
// "b--", [0 0.5 1], "none". Parsing raises a RuntimeError that names the text.
#pragma once

#include <optional>
#include <string_view>

#include "runtime/array/value.hpp"
#include "runtime/graphics/objects.hpp"

namespace dg {

struct PlotStyle {
  std::optional<Rgb> color;
  std::optional<LineStyle> line_style;
  std::optional<Marker> marker;
};

// "ko" -> black, circle markers. A marker without a line style draws no line;
// neither gives a solid line.
PlotStyle parse_plot_style(std::string_view style);

// A colour value: a letter or long colour name, an RGB row of three values in
// [0, 1], or (when allowed) "none" and "auto".
ColorSpec parse_color(const Value& value, bool allow_none, bool allow_auto);
Value color_value(const ColorSpec& color);

const char* line_style_name(LineStyle style);
std::optional<LineStyle> parse_line_style(std::string_view text);
const char* marker_name(Marker marker);
std::optional<Marker> parse_marker(std::string_view text);

}  // namespace dg

#include "runtime/graphics/style.hpp"

#include <array>
#include <string>

#include "runtime/array/error.hpp"
#include "runtime/graphics/graphics.hpp"

namespace dg {
namespace {

struct NamedColor {
  char letter;
  const char* name;
  Rgb rgb;
};

constexpr std::array<NamedColor, 8> kColors{{
    {'k', "black", {0, 0, 0}},
    {'r', "red", {1, 0, 0}},
    {'g', "green", {0, 1, 0}},
    {'b', "blue", {0, 0, 1}},
    {'c', "cyan", {0, 1, 1}},
    {'m', "magenta", {1, 0, 1}},
    {'y', "yellow", {1, 1, 0}},
    {'w', "white", {1, 1, 1}},
}};

struct NamedMarker {
  char letter;
  const char* name;
  Marker marker;
};

constexpr std::array<NamedMarker, 13> kMarkers{{
    {'o', "o", Marker::Circle},
    {'.', ".", Marker::Point},
    {'+', "+", Marker::Plus},
    {'*', "*", Marker::Star},
    {'x', "x", Marker::Cross},
    {'s', "square", Marker::Square},
    {'d', "diamond", Marker::Diamond},
    {'^', "^", Marker::Up},
    {'v', "v", Marker::Down},
    {'>', ">", Marker::Right},
    {'<', "<", Marker::Left},
    {'p', "pentagram", Marker::Pentagram},
    {'h', "hexagram", Marker::Hexagram},
}};

}  // namespace

PlotStyle parse_plot_style(std::string_view style) {
  PlotStyle out;
  for (std::size_t i = 0; i < style.size(); ++i) {
    char ch = style[i];
    if (ch == '-') {
      if (i + 1 < style.size() && (style[i + 1] == '-' || style[i + 1] == '.')) {
        out.line_style = style[i + 1] == '-' ? LineStyle::Dashed : LineStyle::DashDot;
        ++i;
      } else {
        out.line_style = LineStyle::Solid;
      }
      continue;
    }
    if (ch == ':') {
      out.line_style = LineStyle::Dotted;
      continue;
    }
    bool known = false;
    for (const auto& c : kColors) {
      if (c.letter == ch) out.color = c.rgb, known = true;
    }
    for (const auto& m : kMarkers) {
      if (!known && m.letter == ch) out.marker = m.marker, known = true;
    }
    if (!known) {
      raise("The plot style \"" + std::string(style) + "\" has the unknown character '" +
            std::string(1, ch) + "'.");
    }
  }
  if (!out.line_style) out.line_style = out.marker ? LineStyle::None : LineStyle::Solid;
  if (!out.marker) out.marker = Marker::None;
  return out;
}

ColorSpec parse_color(const Value& value, bool allow_none, bool allow_auto) {
  if (value.is_char()) {
    std::string text = lower(value.text());
    if (allow_none && text == "none") return {ColorSpec::Kind::None, {}};
    if (allow_auto && text == "auto") return {ColorSpec::Kind::Auto, {}};
    for (const auto& c : kColors) {
      if ((text.size() == 1 && text[0] == c.letter) || text == c.name) {
        return {ColorSpec::Kind::Rgb, c.rgb};
      }
    }
    raise("\"" + value.text() + "\" is not a colour; use a colour letter such as \"k\" or \"r\"," +
          " a colour name, or three values from 0 to 1.");
  }
  if (value.is_double() && value.numel() == 3) {
    const double* v = value.matrix().data();
    for (int i = 0; i < 3; ++i) {
      if (!(v[i] >= 0 && v[i] <= 1)) {
        raise("A colour needs three values from 0 to 1; found " + std::to_string(v[i]) + ".");
      }
    }
    return {ColorSpec::Kind::Rgb, {v[0], v[1], v[2]}};
  }
  raise("A colour must be a colour name or three values from 0 to 1, not " + value.kind_name() +
        ".");
}

Value color_value(const ColorSpec& color) {
  switch (color.kind) {
    case ColorSpec::Kind::None:
      return Value("none");
    case ColorSpec::Kind::Auto:
      return Value("auto");
    case ColorSpec::Kind::Rgb:
      break;
  }
  return Value(Matrix{{color.rgb.r, color.rgb.g, color.rgb.b}});
}

const char* line_style_name(LineStyle style) {
  switch (style) {
    case LineStyle::Solid:
      return "-";
    case LineStyle::Dashed:
      return "--";
    case LineStyle::Dotted:
      return ":";
    case LineStyle::DashDot:
      return "-.";
    case LineStyle::None:
      return "none";
  }
  return "-";
}

std::optional<LineStyle> parse_line_style(std::string_view text) {
  for (LineStyle s : {LineStyle::Solid, LineStyle::Dashed, LineStyle::Dotted, LineStyle::DashDot,
                      LineStyle::None}) {
    if (lower(text) == line_style_name(s)) return s;
  }
  return std::nullopt;
}

const char* marker_name(Marker marker) {
  for (const auto& m : kMarkers) {
    if (m.marker == marker) return m.name;
  }
  return "none";
}

std::optional<Marker> parse_marker(std::string_view text) {
  std::string t = lower(text);
  if (t == "none") return Marker::None;
  for (const auto& m : kMarkers) {
    if (t == m.name || (t.size() == 1 && t[0] == m.letter)) return m.marker;
  }
  return std::nullopt;
}

}  // namespace dg

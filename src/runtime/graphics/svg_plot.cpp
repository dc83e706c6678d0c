#include "runtime/graphics/svg_plot.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <variant>

#include "runtime/array/error.hpp"
#include "runtime/array/file_io.hpp"
#include "runtime/graphics/primitives.hpp"

namespace dg {
namespace {

// A coordinate to a thousandth of a pixel, without trailing zeros.
std::string num(double value) {
  if (!std::isfinite(value)) return "0";
  if (std::abs(value) < 5e-4) value = 0;
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 3);
  std::string text(buffer, result.ptr);
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  return text;
}

std::string hex(const Rgb& rgb) {
  auto byte = [](double v) { return static_cast<int>(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "#%02x%02x%02x", byte(rgb.r), byte(rgb.g), byte(rgb.b));
  return buffer;
}

// Text for XML: markup characters escaped, control characters left out and
// bytes that are not UTF-8 replaced, so that the document stays well formed.
std::string escaped(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      ++i;
      if (c == '&')
        out += "&amp;";
      else if (c == '<')
        out += "&lt;";
      else if (c == '>')
        out += "&gt;";
      else if (c == '"')
        out += "&quot;";
      else if (c >= 0x20 && c != 0x7F)
        out += static_cast<char>(c);
      continue;
    }
    const std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
    bool valid = length > 0 && c < 0xF5 && i + length <= text.size();
    for (std::size_t k = 1; valid && k < length; ++k) {
      valid = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
    }
    if (valid && length == 3) {
      const auto c1 = static_cast<unsigned char>(text[i + 1]);
      valid = !(c == 0xE0 && c1 < 0xA0) && !(c == 0xED && c1 >= 0xA0);  // overlong, surrogate
    }
    if (valid && length == 4) {
      const auto c1 = static_cast<unsigned char>(text[i + 1]);
      valid = !(c == 0xF0 && c1 < 0x90) && !(c == 0xF4 && c1 >= 0x90);
    }
    if (valid) {
      out.append(text.substr(i, length));
      i += length;
    } else {
      out += "\xEF\xBF\xBD";
      ++i;
    }
  }
  return out;
}

// A file's path as a URI reference: absolute paths as file: URIs, bytes
// outside the unreserved set percent-encoded.
std::string file_uri(const std::string& path) {
  std::string out = !path.empty() && path[0] == '/' ? "file://" : "";
  for (unsigned char c : path) {
    if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
      out += static_cast<char>(c);
    } else {
      char buffer[4];
      std::snprintf(buffer, sizeof buffer, "%%%02X", c);
      out += buffer;
    }
  }
  return out;
}

class SvgWriter {
 public:
  explicit SvgWriter(std::string& out) : out_(out) {}

  void axes(const AxesPrimitives& shown, int index) {
    const PixelRect& box = shown.box;
    const std::string rect = "x=\"" + num(box.left) + "\" y=\"" + num(box.top) + "\" width=\"" +
                             num(box.width) + "\" height=\"" + num(box.height) + "\"";
    if (shown.background) out_ += "<rect " + rect + " fill=\"" + hex(*shown.background) + "\"/>\n";
    const std::string clip = "box" + std::to_string(index);
    out_ += "<clipPath id=\"" + clip + "\"><rect " + rect + "/></clipPath>\n";
    out_ += "<g clip-path=\"url(#" + clip + ")\">\n";
    prefix_ = "m" + std::to_string(index) + "_";
    draw(shown.plot);
    out_ += "</g>\n<g shape-rendering=\"crispEdges\">\n";
    draw(shown.frame);
    draw(shown.ticks);
    out_ += "</g>\n";
  }

 private:
  void draw(const std::vector<Primitive>& list) {
    for (const Primitive& p : list) std::visit([&](const auto& one) { write(one); }, p);
  }

  void write(const PolylinePrimitive& line) {
    out_ += "<polyline fill=\"none\" stroke=\"" + hex(line.color) + "\" stroke-width=\"" +
            num(line.width) + "\" stroke-linecap=\"" + (line.round_cap ? "round" : "butt") + "\"";
    if (line.kind == PolylinePrimitive::Kind::Line) out_ += " stroke-linejoin=\"round\"";
    if (!line.dashes.empty()) {
      out_ += " stroke-dasharray=\"";
      for (std::size_t i = 0; i < line.dashes.size(); ++i) {
        out_ += (i ? " " : "") + num(line.dashes[i]);
      }
      out_ += "\"";
      if (line.dash_offset != 0) out_ += " stroke-dashoffset=\"" + num(line.dash_offset) + "\"";
    }
    out_ += " points=\"";
    for (std::size_t i = 0; i < line.points.size(); ++i) {
      out_ += (i ? " " : "") + num(line.points[i].x) + "," + num(line.points[i].y);
    }
    out_ += "\"/>\n";
  }

  void write(const MarkerPrimitive& markers) {
    if (markers.at.empty()) return;
    const MarkerShape shape = marker_shape(markers.marker, markers.size);
    const std::string id = prefix_ + std::to_string(shapes_++);
    const bool fills = shape.closed() && markers.face;
    out_ += "<g fill=\"" + (fills ? hex(*markers.face) : std::string("none")) + "\" stroke=\"" +
            (markers.edge ? hex(*markers.edge) : std::string("none")) + "\" stroke-width=\"" +
            num(markers.edge_width) + "\" stroke-linejoin=\"miter\">\n<defs>";
    if (shape.radius > 0) {
      out_ += "<circle id=\"" + id + "\" r=\"" + num(shape.radius) + "\"/>";
    } else {
      out_ += "<path id=\"" + id + "\" d=\"";
      for (const auto& polygon : shape.polygons) {
        for (std::size_t i = 0; i < polygon.size(); ++i) {
          out_ += (i ? "L" : "M") + num(polygon[i].x) + "," + num(polygon[i].y);
        }
        out_ += "Z";
      }
      for (const auto& [from, to] : shape.strokes) {
        out_ += "M" + num(from.x) + "," + num(from.y) + "L" + num(to.x) + "," + num(to.y);
      }
      out_ += "\"/>";
    }
    out_ += "</defs>\n";
    for (const PlotPoint& p : markers.at) {
      out_ += "<use xlink:href=\"#" + id + "\" x=\"" + num(p.x) + "\" y=\"" + num(p.y) + "\"/>\n";
    }
    out_ += "</g>\n";
  }

  void write(const TextPrimitive& text) {
    const FixedTextMetrics metrics;
    double x = text.at.x, y = text.at.y;
    std::string anchor;
    if (text.align == TextPrimitive::Align::TopCentre) {
      x = text.frame.left + text.frame.width / 2;
      y = text.frame.top + metrics.ascent(text.points);
      anchor = " text-anchor=\"middle\"";
    } else if (text.align == TextPrimitive::Align::MiddleRight) {
      x = text.frame.right();
      y = text.frame.top + text.frame.height / 2 +
          (metrics.ascent(text.points) - metrics.descent(text.points)) / 2;
      anchor = " text-anchor=\"end\"";
    }
    out_ += "<text x=\"" + num(x) + "\" y=\"" + num(y) + "\" font-family=\"sans-serif\"" +
            " font-size=\"" + num(text.points * kPixelsPerPoint) + "\" fill=\"" + hex(text.color) +
            "\"" + anchor + ">" + escaped(text.text) + "</text>\n";
  }

  void write(const ImagePrimitive& image) {
    const PixelRect& r = image.target;
    out_ += "<image x=\"" + num(r.left) + "\" y=\"" + num(r.top) + "\" width=\"" + num(r.width) +
            "\" height=\"" + num(r.height) + "\" preserveAspectRatio=\"none\" xlink:href=\"" +
            escaped(file_uri(image.file)) + "\"/>\n";
  }

  void write(const RectPrimitive& rect) {
    const PixelRect& r = rect.rect;
    out_ += "<rect x=\"" + num(r.left) + "\" y=\"" + num(r.top) + "\" width=\"" + num(r.width) +
            "\" height=\"" + num(r.height) + "\" fill=\"none\" stroke=\"" + hex(rect.color) +
            "\" stroke-width=\"" + num(rect.width) + "\"/>\n";
  }

  std::string& out_;
  std::string prefix_;
  int shapes_ = 0;
};

}  // namespace

std::string svg_plot(const Graphics& graphics, Handle figure) {
  const auto f = graphics.pixel_position(figure);
  const std::string width = num(std::max(1.0, f[2])), height = num(std::max(1.0, f[3]));
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
      "version=\"1.1\" width=\"" +
      width + "\" height=\"" + height + "\" viewBox=\"0 0 " + width + " " + height +
      "\">\n<title>Distangler plot</title>\n<rect width=\"" + width + "\" height=\"" + height +
      "\" fill=\"#ffffff\"/>\n";
  const FixedTextMetrics metrics;
  SvgWriter writer(out);
  int index = 0;
  for (Handle child : graphics.children(figure)) {
    if (graphics.type(child) != ObjectType::Axes) continue;
    writer.axes(axes_primitives(graphics, child, axes_pixel_box(graphics, figure, child), metrics),
                index++);
  }
  out += "</svg>\n";
  return out;
}

void check_svg_plot_path(const std::string& path) {
  if (lower_extension(path) == ".svg") return;
  raise("The plot file \"" + path +
        "\" needs the extension .svg: this build writes no .png or .pdf plots (they need Qt).");
}

void write_svg_plot(const Graphics& graphics, Handle figure, const std::string& path) {
  check_svg_plot_path(path);
  const std::string bytes = svg_plot(graphics, figure);
  AtomicFile file(path);
  file.write(bytes);
  file.commit();
}

}  // namespace dg

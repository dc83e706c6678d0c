#include "display/showspecimen.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "runtime/array/error.hpp"

namespace dg {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// Lengths on the screen, in pixels: a number's gap from its landmark, the
// corner texts' inset and line height.
constexpr double kNumberGap = 6;
constexpr double kInset = 6;
constexpr double kLineHeight = 16;
// The margin of a blank field around its landmarks, a share of their larger range.
constexpr double kMargin = 0.08;
// IMAGE= values longer than this are named by their file name.
constexpr std::size_t kLongestValue = 48;
// Missing landmarks named in the corner; more are counted.
constexpr std::size_t kNamedMissing = 12;

Value rgb(double r, double g, double b) {
  return Value(Matrix{{r, g, b}});
}

Value range(double lo, double hi) {
  return Value(Matrix{{lo, hi}});
}

// The box of the present landmarks widened by the margin; [0 1 0 1] without any.
std::array<double, 4> blank_field(const SpecimenPicture& p, const std::vector<bool>& present) {
  double inf = std::numeric_limits<double>::infinity();
  std::array<double, 4> box{inf, -inf, inf, -inf};
  for (std::size_t i = 0; i < present.size(); ++i) {
    if (!present[i]) continue;
    box = {std::min(box[0], p.x[i]), std::max(box[1], p.x[i]), std::min(box[2], p.y[i]),
           std::max(box[3], p.y[i])};
  }
  if (box[0] > box[1]) return {0, 1, 0, 1};
  double range = std::max(box[1] - box[0], box[3] - box[2]);
  double margin = range > 0 ? kMargin * range : std::max(1.0, std::abs(box[0]) + std::abs(box[2]));
  return {box[0] - margin, box[1] + margin, box[2] - margin, box[3] + margin};
}

// A long IMAGE= value as its end, which names the file: "...\\photo.tif".
std::string shortened(const std::string& value) {
  const std::size_t slash = value.find_last_of("/\\");
  if (value.size() <= kLongestValue || slash == std::string::npos) return value;
  return "..." + value.substr(slash);
}

std::string missing_text(const std::vector<bool>& present) {
  std::string text;
  std::size_t named = 0, more = 0;
  for (std::size_t i = 0; i < present.size(); ++i) {
    if (present[i]) continue;
    if (named == kNamedMissing) {
      ++more;
      continue;
    }
    text += (named++ == 0 ? "Missing: " : ", ") + std::to_string(i + 1);
  }
  if (more > 0) text += " and " + std::to_string(more) + " more";
  return text;
}

}  // namespace

void showspecimen(Graphics& g, Handle axes, const SpecimenPicture& p) {
  if (p.x.size() != p.y.size()) {
    raise("A specimen picture needs as many x values as y values; found " +
          std::to_string(p.x.size()) + " and " + std::to_string(p.y.size()) + ".");
  }
  g.axes(axes);  // raises for a handle that is not an axes, before anything changes
  g.clear_axes(axes);
  g.set(axes, "NextPlot", Value("add"));
  const std::size_t k = p.x.size();
  std::vector<bool> present(k);
  for (std::size_t i = 0; i < k; ++i) present[i] = std::isfinite(p.x[i]) && std::isfinite(p.y[i]);

  const bool photo = p.image && p.image_size && (*p.image_size)[0] > 0 && (*p.image_size)[1] > 0;
  std::array<double, 4> lim;
  if (photo) {
    const auto [w, h] = *p.image_size;
    g.set(g.new_image(axes, *p.image, {0, w}, {0, h}), "Tag", Value("SpecimenImage"));
    lim = {0, w, 0, h};
  } else {
    lim = blank_field(p, present);
  }
  // The corner's lines: the label, the missing landmarks, the missing photo.
  std::vector<std::string> corner;
  for (std::size_t from = 0; from < p.label.size();) {
    const std::size_t end = std::min(p.label.find('\n', from), p.label.size());
    corner.push_back(p.label.substr(from, end - from));
    from = end + 1;
  }
  if (std::find(present.begin(), present.end(), false) != present.end()) {
    corner.push_back(missing_text(present));
  }
  if (p.image && !photo) {
    corner.push_back("Image not readable: " + split_path(*p.image).name);
  } else if (!p.image && !p.image_name.empty()) {
    corner.push_back("Image not found: " + shortened(p.image_name));
  }

  // A blank field leaves room above its landmarks for the corner's lines:
  // `room` pixels of the box, at the data units per pixel the field then has.
  const auto box = g.pixel_position(axes);
  const double room = kInset + kLineHeight * static_cast<double>(corner.size());
  if (!photo && !corner.empty() && box[2] > 0 && box[3] > room) {
    lim[3] += room * std::max((lim[1] - lim[0]) / box[2], (lim[3] - lim[2]) / (box[3] - room));
  }
  g.set(axes, "XLim", range(lim[0], lim[1]));
  g.set(axes, "YLim", range(lim[2], lim[3]));
  g.set(axes, "DataAspectRatioMode", Value("manual"));
  // Screen lengths in data units, for the axes' present size.
  const auto shown = g.shown_limits(axes, box[2], box[3]);
  const double pixel = box[2] > 0 ? (shown[1] - shown[0]) / box[2] : 0;

  auto segments = [&](const CheckedList* list, std::size_t arity, const char* tag, Value colour) {
    if (!list) return;
    for (std::size_t r = 0; r < list->landmarks.size() / arity; ++r) {
      std::vector<double> x, y;
      std::size_t shown_points = 0;
      for (std::size_t j = 0; j < arity; ++j) {
        const std::size_t l = list->landmarks[r * arity + j];
        const bool here = l < k && present[l];
        x.push_back(here ? p.x[l] : kNaN);
        y.push_back(here ? p.y[l] : kNaN);
        shown_points += here;
      }
      // A pair needs both ends; a triple its vertex and one arm.
      if (shown_points < 2 || (arity == 3 && std::isnan(x[1]))) continue;
      Handle line = g.plot(axes, x, y, "-");
      g.set(line, "Color", colour);
      g.set(line, "LineWidth", Value(1.5));
      g.set(line, "Tag", Value(tag));
    }
  };
  segments(p.pairs, 2, "Pair", rgb(0, 0.45, 0.95));
  segments(p.triples, 3, "Triple", rgb(0.8, 0, 0.8));

  const Value red = rgb(1, 0, 0);
  for (std::size_t i = 0; i < k; ++i) {
    if (!present[i]) continue;
    Handle mark = g.plot(axes, std::vector<double>{p.x[i]}, std::vector<double>{p.y[i]}, "o");
    const bool selected = p.selected == i + 1;
    g.set(mark, "Color", selected ? rgb(1, 0.85, 0) : red);
    g.set(mark, "MarkerSize", Value(selected ? 10.0 : 7.0));
    g.set(mark, "LineWidth", Value(selected ? 2.5 : 1.5));
    g.set(mark, "Tag", Value("Landmark"));
    g.set(mark, "UserData", Value(static_cast<double>(i + 1)));
  }
  // Before the numbers, so that a number in its way moves rather than the corner's lines.
  for (std::size_t line = 0; line < corner.size(); ++line) {
    Handle text =
        g.text(axes, shown[0] + kInset * pixel,
               shown[3] - (kInset + kLineHeight * (static_cast<double>(line) + 0.5)) * pixel,
               corner[line]);
    g.set(text, "Color", rgb(0.75, 0, 0));
    g.set(text, "FontSize", Value(9.0));
    g.set(text, "Tag", Value("SpecimenLabel"));
  }
  for (std::size_t i = 0; i < k; ++i) {
    if (!present[i]) continue;
    Handle number = g.text(axes, p.x[i] + kNumberGap * pixel, p.y[i], std::to_string(i + 1));
    g.set(number, "Color", red);
    g.set(number, "FontSize", Value(9.0));
    g.set(number, "Tag", Value("LandmarkNumber"));
  }
}

}  // namespace dg

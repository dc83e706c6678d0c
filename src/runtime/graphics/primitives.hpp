// What an axes shows, worked out once for every painter (the Qt window and
// its exports, the SVG writer of the build without Qt): a list of plain
// primitives in logical pixels (1/96 inch, y down), already clipped to the
// plot box, each painter only drawing it. Sizes given in points (marker
// sizes, widths, font sizes) are converted at 96/72 pixels per point.
//
// Texts are measured through TextMetrics, so that the place of a label is
// that of the font the painter draws it in. Building the list reads the tree
// and never changes it; an invalid handle raises the tree's RuntimeError.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "runtime/graphics/graphics.hpp"

namespace dg {

inline constexpr double kPixelsPerPoint = 96.0 / 72.0;
inline constexpr double kTickFontPoints = 9;

struct PlotPoint {
  double x = 0, y = 0;
  bool operator==(const PlotPoint&) const = default;
};

struct PixelRect {
  double left = 0, top = 0, width = 0, height = 0;
  double right() const { return left + width; }
  double bottom() const { return top + height; }
  bool empty() const { return width <= 0 || height <= 0; }
  // Whether `r` lies within this rectangle, edges included; never for an empty one.
  bool contains(const PixelRect& r) const;
  // Whether the two share some area; never for an empty one.
  bool intersects(const PixelRect& r) const;
  PixelRect moved(double dx, double dy) const { return {left + dx, top + dy, width, height}; }
};

// The sizes of texts in the font a painter draws them in, at a font size in
// points; all in logical pixels. bounds() is the box of the text drawn with
// its baseline starting at the origin (top negative).
class TextMetrics {
 public:
  virtual ~TextMetrics() = default;
  virtual double ascent(double points) const = 0;
  virtual double descent(double points) const = 0;
  virtual double height(double points) const = 0;
  virtual double advance(std::string_view text, double points) const = 0;
  virtual PixelRect bounds(std::string_view text, double points) const = 0;
};

// A font of fixed proportions: every character as wide as 0.6 of the pixel
// size, the ascent 0.8 and the descent 0.2 of it. For tests and for the SVG
// writer, whose reader picks the font.
class FixedTextMetrics : public TextMetrics {
 public:
  double ascent(double points) const override;
  double descent(double points) const override;
  double height(double points) const override;
  double advance(std::string_view text, double points) const override;
  PixelRect bounds(std::string_view text, double points) const override;
};

// Open pieces of line; the pattern of a dashed one is `dashes` (pixels on,
// off, ...), of which `dash_offset` pixels were used before the first point.
struct PolylinePrimitive {
  enum class Kind { Line, Segment };  // a line object's run, or one straight segment
  Kind kind = Kind::Line;
  std::vector<PlotPoint> points;
  Rgb color;
  double width = 1;
  LineStyle style = LineStyle::Solid;
  std::vector<double> dashes;
  double dash_offset = 0;
  bool round_cap = true;
  bool antialias = true;
};

// The outline of a marker centred at the origin: a disc (radius > 0),
// closed polygons, or open strokes (pairs of points). A face colour fills
// only closed shapes.
struct MarkerShape {
  double radius = 0;
  std::vector<std::vector<PlotPoint>> polygons;
  std::vector<std::array<PlotPoint, 2>> strokes;
  bool closed() const { return radius > 0 || !polygons.empty(); }
};
MarkerShape marker_shape(Marker marker, double size);

// Markers of one look at their centres, drawn as one batch (a painter may
// leave out a marker whose centre shares a device pixel with an earlier one
// of the same batch). Markers whose shape lies wholly outside the box are
// left out. A colour that is not set draws nothing.
struct MarkerPrimitive {
  Marker marker = Marker::None;
  double size = 0;        // pixels across
  double edge_width = 0;  // pixels
  std::optional<Rgb> edge, face;
  std::vector<PlotPoint> at;
};

// A text, from the start of its baseline (Baseline), or placed in `frame`:
// centred across its top (TopCentre), or at its right, centred down it
// (MiddleRight). `cut` tells that it crosses the plot box's edge, where a
// painter that does not clip must cut it.
struct TextPrimitive {
  enum class Align { Baseline, TopCentre, MiddleRight };
  std::string text;
  Align align = Align::Baseline;
  PlotPoint at;
  PixelRect frame;
  Rgb color;
  double points = 10;
  bool cut = false;
};

struct ImagePrimitive {
  std::string file;
  PixelRect target;  // the picture's top row at the top
};

// A rectangle outlined with a pen of `width` pixels, not antialiased.
struct RectPrimitive {
  PixelRect rect;
  Rgb color;
  double width = 1;
};

using Primitive =
    std::variant<PolylinePrimitive, MarkerPrimitive, TextPrimitive, ImagePrimitive, RectPrimitive>;

struct AxesPrimitives {
  PixelRect box;
  std::array<double, 4> limits{};  // shown: xmin, xmax, ymin, ymax
  std::optional<Rgb> background;   // filled over the box first
  std::vector<Primitive> plot;     // drawn clipped to the box
  std::vector<Primitive> frame;    // the box's lines, drawn after, unclipped
  std::vector<Primitive> ticks;    // tick marks and their labels, in the tick font, last
};

struct PrimitiveOptions {
  // The thinnest line that covers a whole device pixel (0 on vector devices).
  double thinnest = 0;
  // Lists of marker positions from an earlier drawing, whose room the new
  // batches take over before any is allocated (see recycle_points): a
  // window that repaints millions of markers then touches no fresh memory.
  std::vector<std::vector<PlotPoint>>* spare_points = nullptr;
};

// Hands the marker position lists of `shown` to `spare`, emptied, for the
// next axes_primitives; keeps at most as many bytes as the drawing used, so
// that a smaller drawing lets the room of a larger one go.
void recycle_points(AxesPrimitives& shown, std::vector<std::vector<PlotPoint>>& spare);

// The drawing of an axes whose plot box is `box`: its background, its images
// beneath its other children in creation order, then box, ticks and tick
// labels. A text whose position lies outside the shown limits is left out;
// one that would cross the box's right, top or bottom edge is moved in where
// the box has room, and texts that would overlap are moved apart
// (label_shift), a moved one getting a leader, a line in its colour 0.5
// pixels wide, from its position to the moved text's near edge. Lines are
// cut a little beyond the box's edges (so that their ends lie outside it).
AxesPrimitives axes_primitives(const Graphics& graphics, Handle axes, const PixelRect& box,
                               const TextMetrics& metrics, const PrimitiveOptions& options = {});

// The plot box of an axes in its figure's pixels (y down), snapped to pixel
// centres so that a one-pixel frame and its ticks stay sharp.
PixelRect axes_pixel_box(const Graphics& graphics, Handle figure, Handle axes);

// Tick positions at a step of 1, 2 or 5 times a power of ten, about
// `target` ticks over [lo, hi]; the step is returned through `step`.
std::vector<double> nice_ticks(double lo, double hi, double target, double* step);
// A tick label: at most the decimals the step needs, no trailing zeros, never "-0".
std::string tick_label(double value, double step);

// How far down (negative: up) a text of `points` whose baseline starts at
// `baseline` is moved so that it overlaps none of `labels`, the texts placed
// before it: the nearest free place one text height at a time, down before
// up, at most kNudgeSteps each way, else none. A moved text lies between the
// top and bottom of `room` (unless `room` is empty). The text's place is
// added to `labels`. Beyond kNudgedLabels texts an axes' texts stay where
// they stand.
inline constexpr int kNudgeSteps = 6;
inline constexpr std::size_t kNudgedLabels = 500;
double label_shift(std::vector<PixelRect>& labels, const TextMetrics& metrics, double points,
                   std::string_view text, PlotPoint baseline, const PixelRect& room = {});

}  // namespace dg

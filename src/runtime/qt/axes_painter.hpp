// Paints axes of the graphics tree with a QPainter: the one painter behind the
// window, PNG, SVG and PDF output and the clipboard picture. It draws the
// axes' primitives (runtime/graphics/primitives.hpp), measuring texts in the
// application's font on the painter's device. Coordinates are logical pixels
// (1/96 inch). Raster devices get markers stamped from cached images in
// device pixels, which keeps them crisp at any device pixel ratio; vector
// devices get one path per batch of markers.
//
// Painting reads the tree and never changes it; it raises nothing for valid
// handles (an invalid handle raises the tree's RuntimeError).
#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRectF>
#include <QString>
#include <array>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "runtime/graphics/graphics.hpp"
#include "runtime/graphics/primitives.hpp"

namespace dg {

// Marker images reused between paints, one per marker shape, size, colours,
// edge width and device pixel ratio. Keep one per window.
class MarkerSprites {
 public:
  struct Key {
    Marker marker;
    std::int32_t size;   // marker size in 1/16 device pixels
    std::int32_t width;  // edge width in 1/16 device pixels
    QRgb edge;           // transparent when there is no edge
    QRgb face;           // transparent when the marker is hollow
    bool operator==(const Key&) const = default;
  };
  // The marker drawn into a square image with its centre at the image centre.
  const QImage& get(const Key& key);
  std::size_t size() const { return images_.size(); }
  // The marker position lists of the last drawing, for the next to fill.
  std::vector<std::vector<PlotPoint>> spare_points;

 private:
  struct Hash {
    std::size_t operator()(const Key& k) const;
  };
  std::unordered_map<Key, QImage, Hash> images_;
};

// The outline of a marker of `size` pixels centred at the origin. `filled`
// tells whether the shape encloses an area (a face colour applies).
QPainterPath marker_path(Marker marker, double size, bool* filled = nullptr);

// The limits the axes show in a plot box of `box` pixels: its own limits
// (fitted when automatic) and, under "equal", one range widened about its
// centre so that a data unit is as long in x as in y. [xmin, xmax, ymin, ymax].
std::array<double, 4> shown_limits(const Graphics& graphics, Handle axes, QSizeF box);

// Paints one axes (background, its images, its other children in creation
// order, box, ticks and tick labels) with its plot box at `box`; an image is
// drawn from the shared cache of image files (image_cache.hpp), nothing for
// a file that does not decode. Texts stay inside the plot box on
// every device: a text whose position lies outside the shown limits is not
// painted, and one crossing the box's edge is cut there (on vector devices,
// which need not honour a clip, it is painted as its outline cut at the edge).
// Texts that would overlap one another are moved apart within the box
// (label_shift); a moved text gets a leader, a line in its colour 0.5 pixels
// wide (at least one device pixel on raster devices), from its position to
// the moved text's near edge. The objects are left as they are.
void paint_axes(QPainter& painter, const Graphics& graphics, Handle axes, const QRectF& box,
                MarkerSprites& sprites);

// Paints a figure without its controls: `background`, then every visible axes
// at its position. The painter's logical area is the figure's pixel size.
void paint_figure(QPainter& painter, const Graphics& graphics, Handle figure,
                  const QColor& background, MarkerSprites& sprites);

// The plot box of an axes in the figure's logical coordinates (y down).
QRectF axes_box(const Graphics& graphics, Handle figure, Handle axes);

QColor to_qcolor(const Rgb& rgb);

}  // namespace dg

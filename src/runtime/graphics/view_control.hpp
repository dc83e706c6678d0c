// How the pointer moves the view of an axes shown in a plot box of a window:
// the data point under a pixel, zooming about a point, panning with a drag,
// turning a three-dimensional view and going back to the whole drawing. It
// touches only the graphics tree, so the window's Qt code just passes pixels.
// Pixels are those of the window, y growing downwards as on the screen.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "runtime/graphics/graphics.hpp"

namespace dg {

// Where an axes' plot box lies in its window, in pixels.
struct PlotBox {
  double left = 0, top = 0, width = 1, height = 1;
};

// The data point shown at pixel (x, y): the inverse of the painter's mapping
// of the axes' shown limits onto the box.
std::array<double, 2> data_point(const Graphics& graphics, Handle axes, const PlotBox& box,
                                 double x, double y);
// A point far beyond the view, so that nothing lies under it: the pointer
// left the plot.
std::array<double, 2> point_beyond(const Graphics& graphics, Handle axes, const PlotBox& box);

// Scales the view by `factor` about the data point at pixel (x, y), which
// stays under the pointer. A view too small or too large for the numbers to
// tell apart is not taken.
void zoom_axes(Graphics& graphics, Handle axes, const PlotBox& box, double x, double y,
               double factor);
// Moves the view with a drag of (dx, dy) pixels: the drawing follows the pointer.
void pan_axes(Graphics& graphics, Handle axes, const PlotBox& box, double dx, double dy);
// Whether a drag on the axes turns its view ("DragMode" "rotate") instead of panning.
bool turns(const Graphics& graphics, Handle axes);
// Turns the view by a drag of (dx, dy) pixels, half a degree a pixel: the
// azimuth goes round, the elevation stops at the poles. Returns the axes'
// ViewChangedFcn, for the window to run.
std::string turn_axes(Graphics& graphics, Handle axes, double dx, double dy);
// The line tagged "Landmark" of the axes (see Axes::point_drag_fcn) whose
// first point is drawn nearest pixel (x, y), within `radius` pixels; -1 when
// none is that close.
inline constexpr double kGrabRadius = 8;
Handle landmark_at(const Graphics& graphics, Handle axes, const PlotBox& box, double x, double y,
                   double radius = kGrabRadius);
// Moves the line's point to the data point at pixel (x, y), kept within the
// view, and makes it the axes' CurrentPoint.
void move_landmark(Graphics& graphics, Handle line, Handle axes, const PlotBox& box, double x,
                   double y);

// The keys a figure's window passes to its KeyPressFcn, by the names
// CurrentKey gives them; every other key is the window's own.
inline constexpr std::string_view kFigureKeys[] = {"pageup",       "pagedown", "delete", "ctrl+z",
                                                   "ctrl+shift+z", "ctrl+y",   "m",      "escape"};

// Shows the whole drawing again with equal axes, and a turned view as it
// started; returns the ViewChangedFcn to run when the view turned back, else "".
std::string reset_axes(Graphics& graphics, Handle axes);

}  // namespace dg

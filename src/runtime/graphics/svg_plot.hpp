// A figure's axes as an SVG picture without its controls, drawn from the
// same primitives as the window's painter (primitives.hpp) on a white ground
// at the figure's size in pixels; texts are measured with FixedTextMetrics
// and drawn in the reader's sans-serif font. For builds without Qt.
//
// Each marker is a <use> of its batch's shape, so a reader can count them.
// write_svg_plot raises a RuntimeError for a path whose extension is not
// .svg (any letter case) and when the file cannot be written; the file is
// replaced whole, so an existing one is left as it was on failure.
#pragma once

#include <string>

#include "runtime/graphics/graphics.hpp"

namespace dg {

std::string svg_plot(const Graphics& graphics, Handle figure);

// Raises unless the path ends in .svg:
//   The plot file "<path>" needs the extension .svg: this build writes no
//   .png or .pdf plots (they need Qt).
void check_svg_plot_path(const std::string& path);

void write_svg_plot(const Graphics& graphics, Handle figure, const std::string& path);

}  // namespace dg

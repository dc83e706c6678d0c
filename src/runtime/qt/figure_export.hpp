// Pictures of a figure without its controls, painted by the axes painter on a
// white ground at the figure's size in pixels: a bitmap, SVG, a PNG/SVG/PDF
// file, and the clipboard (SVG as image/svg+xml plus the bitmap).
//
// write_plot raises a RuntimeError for an extension other than .svg, .png or
// .pdf (any letter case), when the picture cannot be painted and when the
// file cannot be written, giving the reason; the picture is painted in memory
// and replaces the file whole, so an existing file is left as it was. A
// QGuiApplication must exist before any of these is called.
#pragma once

#include <QByteArray>
#include <QImage>
#include <string>

#include "runtime/graphics/graphics.hpp"

namespace dg {

// The figure as a bitmap of `scale` device pixels per logical pixel.
QImage figure_image(const Graphics& graphics, Handle figure, double scale);
// The figure as an SVG document.
QByteArray figure_svg(const Graphics& graphics, Handle figure);

enum class PlotFormat { Svg, Png, Pdf };
// The format named by a file's extension; raises for any other extension.
PlotFormat plot_format(const std::string& path);
// Writes the figure in the format of the path's extension.
void write_plot(const Graphics& graphics, Handle figure, const std::string& path);

// Puts the figure on the clipboard as SVG and as a bitmap.
void copy_figure(const Graphics& graphics, Handle figure);

}  // namespace dg

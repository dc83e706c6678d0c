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
// How a PNG is painted: device pixels per logical pixel, and how it is
// encoded: by Qt's encoder (the default; RGBA rows, each with the filter that
// compresses it best), or quickly for pictures written by the thousand (RGB
// rows without filters, at zlib's fastest level: several times faster to
// write, for files somewhat larger).
struct BitmapOptions {
  double scale = 2;
  bool quick = false;
};
// Writes the figure in the format of the path's extension.
void write_plot(const Graphics& graphics, Handle figure, const std::string& path,
                const BitmapOptions& bitmap = {});
// The bytes write_plot writes to the file, for a caller that writes them
// itself; raises as write_plot, naming the path, but writes nothing.
QByteArray plot_bytes(const Graphics& graphics, Handle figure, const std::string& path,
                      const BitmapOptions& bitmap = {});

// Puts the figure on the clipboard as SVG and as a bitmap.
void copy_figure(const Graphics& graphics, Handle figure);

}  // namespace dg

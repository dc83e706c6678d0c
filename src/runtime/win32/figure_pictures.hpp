// Pictures of a figure without its controls, painted by the GDI+ painter on
// a white ground at the figure's size: a bitmap, an enhanced metafile (EMF+
// with its plain EMF twin, so programs that read either keep it as vector
// drawing), plot files (PNG, SVG, EMF by the extension) and the clipboard
// (the metafile and a bitmap, so Word and PowerPoint paste a vector picture).
//
// Failures raise a RuntimeError giving the reason; a file is written whole
// through AtomicFile, so an existing one is left as it was. A GdiplusSession
// must exist.
#pragma once

#include <windows.h>

#include <gdiplus.h>

#include <memory>
#include <string>
#include <vector>

#include "runtime/graphics/graphics.hpp"

namespace dg {

// The figure at `scale` device pixels per logical pixel.
std::unique_ptr<Gdiplus::Bitmap> figure_bitmap(const Graphics& graphics, Handle figure,
                                               double scale);
// The figure as an enhanced metafile, owned by the caller (DeleteEnhMetaFile).
HENHMETAFILE figure_metafile(const Graphics& graphics, Handle figure);

// The formats a plot file is written in, by extension: ".png", ".svg", ".emf".
const std::vector<std::string>& win32_plot_formats();
// The bytes of a plot file of the format the path's extension names;
// raises for any other extension, naming the path and the formats.
std::string plot_file_bytes(const Graphics& graphics, Handle figure, const std::string& path);
void write_plot_file(const Graphics& graphics, Handle figure, const std::string& path);

// The clipboard, emptied and given the figure as CF_ENHMETAFILE and CF_DIB.
void copy_figure_to_clipboard(const Graphics& graphics, Handle figure, HWND owner);

}  // namespace dg

// The axes of a figure painted with GDI+ from the drawing primitives every
// painter shares (primitives.hpp), so that the Win32 window shows what the
// Qt window shows: the same limits, ticks, markers, lines, clipped labels
// and photos, antialiased. The same code paints the window, its bitmaps and
// its metafiles; on a metafile (`vector`) markers are outlines, not stamps.
//
// Texts are in the window's font (Segoe UI, or the system's sans serif),
// measured by GDI+ so that labels are placed for the font they are drawn in.
// A GdiplusSession must exist while anything here is used.
#pragma once

#include <windows.h>

#include <gdiplus.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "runtime/graphics/graphics.hpp"
#include "runtime/graphics/primitives.hpp"

namespace dg {

// Starts GDI+ for the object's life.
class GdiplusSession {
 public:
  GdiplusSession();
  ~GdiplusSession();
  GdiplusSession(const GdiplusSession&) = delete;
  GdiplusSession& operator=(const GdiplusSession&) = delete;

 private:
  ULONG_PTR token_ = 0;
};

Gdiplus::Color gdiplus_color(const Rgb& rgb);

// The window's font family at a size in points (96 logical pixels an inch).
std::unique_ptr<Gdiplus::Font> plot_font(double points);

// Texts measured in plot_font as GDI+ draws them.
class GdiplusTextMetrics : public TextMetrics {
 public:
  GdiplusTextMetrics();
  double ascent(double points) const override;
  double descent(double points) const override;
  double height(double points) const override;
  double advance(std::string_view text, double points) const override;
  PixelRect bounds(std::string_view text, double points) const override;

 private:
  const Gdiplus::Font& font(double points) const;
  Gdiplus::Bitmap scratch_;
  mutable Gdiplus::Graphics measure_;
  mutable std::map<double, std::unique_ptr<Gdiplus::Font>> fonts_;
};

// Small bitmaps of one marker look each, stamped at every marker's pixel.
class MarkerStamps {
 public:
  Gdiplus::Bitmap& get(const MarkerPrimitive& look, double scale);

 private:
  struct Key {
    Marker marker;
    std::int32_t size, width;
    std::uint32_t edge, face;
    auto operator<=>(const Key&) const = default;
  };
  std::map<Key, std::unique_ptr<Gdiplus::Bitmap>> stamps_;
};

// Paints the figure's background and its axes into `g`, whose transform
// maps the figure's logical pixels (y down) onto the device; `scale` is the
// device pixels per logical pixel on raster devices.
void paint_figure(Gdiplus::Graphics& g, const Graphics& graphics, Handle figure,
                  MarkerStamps& stamps, double scale, bool vector,
                  std::optional<Rgb> background = std::nullopt);

}  // namespace dg

#include "runtime/win32/gdiplus_painter.hpp"

#include <algorithm>
#include <cmath>
#include <list>
#include <variant>

#include "runtime/win32/wide_text.hpp"

namespace dg {
namespace {

using Gdiplus::PointF;
using Gdiplus::REAL;
using Gdiplus::RectF;

// Batches of more markers than this skip markers landing on a device pixel
// where one of the batch was stamped already, as the Qt painter does.
constexpr std::size_t kDedupeFrom = 256;

REAL real(double v) {
  return static_cast<REAL>(v);
}

RectF to_rect(const PixelRect& r) {
  return RectF(real(r.left), real(r.top), real(r.width), real(r.height));
}

// The first of the window fonts a system may have; else any font it has.
const Gdiplus::FontFamily& font_family() {
  static const Gdiplus::FontFamily* family = [] {
    for (const wchar_t* name : {L"Segoe UI", L"Tahoma", L"Arial", L"Microsoft Sans Serif",
                                L"Liberation Sans", L"DejaVu Sans"}) {
      auto* candidate = new Gdiplus::FontFamily(name);
      if (candidate->IsAvailable()) return static_cast<const Gdiplus::FontFamily*>(candidate);
      delete candidate;
    }
    if (const Gdiplus::FontFamily* generic = Gdiplus::FontFamily::GenericSansSerif()) {
      return generic;
    }
    static Gdiplus::InstalledFontCollection installed;
    auto* any = new Gdiplus::FontFamily[1];
    INT found = 0;
    installed.GetFamilies(1, any, &found);
    return static_cast<const Gdiplus::FontFamily*>(any);
  }();
  return *family;
}

double em_pixels(double points) {
  return points * kPixelsPerPoint;
}

double family_share(UINT16 part) {
  const Gdiplus::FontFamily& family = font_family();
  return static_cast<double>(part) / family.GetEmHeight(Gdiplus::FontStyleRegular);
}

// GDI+'s typographic layout with trailing spaces measured: no padding
// around a text, so a text's box is the one the primitives reserved.
class TextFormat : public Gdiplus::StringFormat {
 public:
  TextFormat(Gdiplus::StringAlignment across, Gdiplus::StringAlignment down)
      : Gdiplus::StringFormat(Gdiplus::StringFormat::GenericTypographic()) {
    SetFormatFlags((GetFormatFlags() & ~Gdiplus::StringFormatFlagsLineLimit) |
                   Gdiplus::StringFormatFlagsMeasureTrailingSpaces |
                   Gdiplus::StringFormatFlagsNoWrap | Gdiplus::StringFormatFlagsNoClip);
    SetAlignment(across);
    SetLineAlignment(down);
  }
};

std::unique_ptr<Gdiplus::GraphicsPath> marker_path(const MarkerShape& shape) {
  auto path = std::make_unique<Gdiplus::GraphicsPath>(Gdiplus::FillModeWinding);
  if (shape.radius > 0) {
    const REAL r = real(shape.radius);
    path->AddEllipse(-r, -r, 2 * r, 2 * r);
  }
  for (const auto& polygon : shape.polygons) {
    std::vector<PointF> points;
    for (const PlotPoint& p : polygon) points.emplace_back(real(p.x), real(p.y));
    path->StartFigure();
    path->AddPolygon(points.data(), static_cast<INT>(points.size()));
  }
  for (const auto& [from, to] : shape.strokes) {
    path->StartFigure();
    path->AddLine(real(from.x), real(from.y), real(to.x), real(to.y));
  }
  return path;
}

// Draws a marker's outline and face at the origin of `g`.
void draw_marker(Gdiplus::Graphics& g, const MarkerShape& shape, const MarkerPrimitive& look,
                 double edge_width) {
  const std::unique_ptr<Gdiplus::GraphicsPath> path = marker_path(shape);
  if (look.face && shape.closed()) {
    Gdiplus::SolidBrush brush(gdiplus_color(*look.face));
    g.FillPath(&brush, path.get());
  }
  if (look.edge) {
    Gdiplus::Pen pen(gdiplus_color(*look.edge), real(edge_width));
    pen.SetLineJoin(Gdiplus::LineJoinMiter);
    g.DrawPath(&pen, path.get());
  }
}

// The photos painted, decoded once each; the least recently painted go
// first beyond a few.
class ImageFiles {
 public:
  Gdiplus::Bitmap* get(const std::string& path) {
    for (auto it = images_.begin(); it != images_.end(); ++it) {
      if (it->first != path) continue;
      images_.splice(images_.begin(), images_, it);
      return images_.front().second.get();
    }
    images_.emplace_front(path, load(path));
    if (images_.size() > kKept) images_.pop_back();
    return images_.front().second.get();
  }

 private:
  static constexpr std::size_t kKept = 8;

  // A copy of the decoded picture, so the file is not kept open, turned as
  // its orientation tag says.
  static std::unique_ptr<Gdiplus::Bitmap> load(const std::string& path) {
    std::unique_ptr<Gdiplus::Bitmap> file(Gdiplus::Bitmap::FromFile(widen(path).c_str()));
    if (!file || file->GetLastStatus() != Gdiplus::Ok) return nullptr;
    const UINT w = file->GetWidth(), h = file->GetHeight();
    std::unique_ptr<Gdiplus::Bitmap> copy(
        file->Clone(0, 0, static_cast<INT>(w), static_cast<INT>(h), PixelFormat32bppARGB));
    if (!copy || copy->GetLastStatus() != Gdiplus::Ok) return nullptr;
    constexpr PROPID kOrientation = 0x0112;
    const UINT size = file->GetPropertyItemSize(kOrientation);
    if (size >= sizeof(Gdiplus::PropertyItem)) {
      std::vector<unsigned char> buffer(size);
      auto* item = reinterpret_cast<Gdiplus::PropertyItem*>(buffer.data());
      if (file->GetPropertyItem(kOrientation, size, item) == Gdiplus::Ok && item->value) {
        static const Gdiplus::RotateFlipType turns[] = {
            Gdiplus::RotateNoneFlipNone, Gdiplus::RotateNoneFlipNone, Gdiplus::RotateNoneFlipX,
            Gdiplus::Rotate180FlipNone,  Gdiplus::RotateNoneFlipY,    Gdiplus::Rotate90FlipX,
            Gdiplus::Rotate90FlipNone,   Gdiplus::Rotate270FlipX,     Gdiplus::Rotate270FlipNone};
        const unsigned orientation = *static_cast<const unsigned short*>(item->value);
        if (orientation < std::size(turns)) copy->RotateFlip(turns[orientation]);
      }
    }
    return copy;
  }

  std::list<std::pair<std::string, std::unique_ptr<Gdiplus::Bitmap>>> images_;
};

ImageFiles& image_files() {
  static ImageFiles files;
  return files;
}

class PrimitivePainter {
 public:
  PrimitivePainter(Gdiplus::Graphics& g, MarkerStamps& stamps, const PixelRect& box, double scale,
                   bool vector)
      : g_(g), stamps_(stamps), box_(box), scale_(scale), vector_(vector) {}

  void draw(const std::vector<Primitive>& list) {
    for (const Primitive& primitive : list) {
      std::visit([&](const auto& p) { draw_one(p); }, primitive);
    }
  }

 private:
  void antialias(bool on) {
    g_.SetSmoothingMode(on ? Gdiplus::SmoothingModeAntiAlias : Gdiplus::SmoothingModeNone);
  }

  void draw_one(const PolylinePrimitive& line) {
    if (line.points.size() < 2) return;
    antialias(line.antialias);
    Gdiplus::Pen pen(gdiplus_color(line.color), real(line.width));
    if (line.kind == PolylinePrimitive::Kind::Line) pen.SetLineJoin(Gdiplus::LineJoinRound);
    const Gdiplus::LineCap cap = line.round_cap ? Gdiplus::LineCapRound : Gdiplus::LineCapFlat;
    pen.SetLineCap(cap, cap, line.round_cap ? Gdiplus::DashCapRound : Gdiplus::DashCapFlat);
    if (!line.dashes.empty()) {
      // GDI+ measures dashes in pen widths.
      std::vector<REAL> dashes;
      for (double l : line.dashes) dashes.push_back(real(std::max(l / line.width, 1e-3)));
      pen.SetDashPattern(dashes.data(), static_cast<INT>(dashes.size()));
      if (line.dash_offset != 0) pen.SetDashOffset(real(line.dash_offset / line.width));
    }
    if (line.kind == PolylinePrimitive::Kind::Segment) {
      const PlotPoint &a = line.points.front(), &b = line.points.back();
      g_.DrawLine(&pen, real(a.x), real(a.y), real(b.x), real(b.y));
      return;
    }
    points_.clear();
    for (const PlotPoint& p : line.points) points_.emplace_back(real(p.x), real(p.y));
    g_.DrawLines(&pen, points_.data(), static_cast<INT>(points_.size()));
  }

  void draw_one(const RectPrimitive& rect) {
    antialias(false);
    Gdiplus::Pen pen(gdiplus_color(rect.color), real(rect.width));
    const RectF r = to_rect(rect.rect);
    g_.DrawRectangle(&pen, r.X, r.Y, r.Width, r.Height);
  }

  void draw_one(const ImagePrimitive& image) {
    Gdiplus::Bitmap* bitmap = image_files().get(image.file);
    if (!bitmap) return;
    g_.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
    g_.DrawImage(bitmap, to_rect(image.target), 0, 0, real(bitmap->GetWidth()),
                 real(bitmap->GetHeight()), Gdiplus::UnitPixel);
  }

  void draw_one(const TextPrimitive& text) {
    const std::unique_ptr<Gdiplus::Font> font = plot_font(text.points);
    const std::wstring string = widen(text.text);
    Gdiplus::SolidBrush brush(gdiplus_color(text.color));
    if (text.align == TextPrimitive::Align::Baseline) {
      const TextFormat format(Gdiplus::StringAlignmentNear, Gdiplus::StringAlignmentNear);
      const double ascent = em_pixels(text.points) *
                            family_share(font_family().GetCellAscent(Gdiplus::FontStyleRegular));
      g_.DrawString(string.c_str(), static_cast<INT>(string.size()), font.get(),
                    PointF(real(text.at.x), real(text.at.y - ascent)), &format, &brush);
      return;
    }
    const bool top = text.align == TextPrimitive::Align::TopCentre;
    const TextFormat format(top ? Gdiplus::StringAlignmentCenter : Gdiplus::StringAlignmentFar,
                            top ? Gdiplus::StringAlignmentNear : Gdiplus::StringAlignmentCenter);
    g_.DrawString(string.c_str(), static_cast<INT>(string.size()), font.get(), to_rect(text.frame),
                  &format, &brush);
  }

  void draw_one(const MarkerPrimitive& markers) {
    if (markers.at.empty() || (!markers.edge && !markers.face)) return;
    if (vector_) return trace(markers);
    Gdiplus::Bitmap& stamp = stamps_.get(markers, scale_);
    const INT half = static_cast<INT>(stamp.GetWidth() / 2);
    Gdiplus::Matrix transform;
    g_.GetTransform(&transform);
    REAL m[6];
    transform.GetElements(m);
    // Stamps go to device pixels, whole ones, at their own size.
    g_.ResetTransform();
    g_.SetInterpolationMode(Gdiplus::InterpolationModeNearestNeighbor);
    const INT side = static_cast<INT>(stamp.GetWidth());
    const bool dedupe = markers.at.size() > kDedupeFrom;
    if (dedupe) start_cells();
    for (const PlotPoint& p : markers.at) {
      const double x = m[0] * p.x + m[4], y = m[3] * p.y + m[5];
      if (!std::isfinite(x) || !std::isfinite(y)) continue;
      const long px = static_cast<long>(std::floor(x)), py = static_cast<long>(std::floor(y));
      if (dedupe && !first_in_cell(px, py)) continue;
      g_.DrawImage(
          &stamp,
          Gdiplus::Rect(static_cast<INT>(px) - half, static_cast<INT>(py) - half, side, side), 0, 0,
          side, side, Gdiplus::UnitPixel);
    }
    g_.SetTransform(&transform);
  }

  // On a metafile each marker is its outline, so the picture stays vector.
  void trace(const MarkerPrimitive& markers) {
    antialias(true);
    const MarkerShape shape = marker_shape(markers.marker, markers.size);
    for (const PlotPoint& p : markers.at) {
      const Gdiplus::GraphicsState state = g_.Save();
      g_.TranslateTransform(real(p.x), real(p.y));
      draw_marker(g_, shape, markers, markers.edge_width);
      g_.Restore(state);
    }
  }

  // One bit a device pixel over the box, for the batch being stamped.
  void start_cells() {
    cell_left_ = static_cast<long>(std::floor(box_.left * scale_)) - 64;
    cell_top_ = static_cast<long>(std::floor(box_.top * scale_)) - 64;
    cell_width_ = static_cast<long>(std::ceil(box_.width * scale_)) + 128;
    cell_height_ = static_cast<long>(std::ceil(box_.height * scale_)) + 128;
    cells_.assign(static_cast<std::size_t>(cell_width_ * cell_height_), false);
  }

  bool first_in_cell(long x, long y) {
    x -= cell_left_;
    y -= cell_top_;
    if (x < 0 || y < 0 || x >= cell_width_ || y >= cell_height_) return true;
    const auto bit = static_cast<std::size_t>(y * cell_width_ + x);
    if (cells_[bit]) return false;
    cells_[bit] = true;
    return true;
  }

  Gdiplus::Graphics& g_;
  MarkerStamps& stamps_;
  PixelRect box_;
  double scale_;
  bool vector_;
  std::vector<PointF> points_;
  std::vector<bool> cells_;
  long cell_left_ = 0, cell_top_ = 0, cell_width_ = 0, cell_height_ = 0;
};

}  // namespace

GdiplusSession::GdiplusSession() {
  Gdiplus::GdiplusStartupInput input;
  Gdiplus::GdiplusStartup(&token_, &input, nullptr);
}

GdiplusSession::~GdiplusSession() {
  Gdiplus::GdiplusShutdown(token_);
}

Gdiplus::Color gdiplus_color(const Rgb& rgb) {
  auto byte = [](double v) {
    return static_cast<BYTE>(std::lround(std::clamp(v, 0.0, 1.0) * 255));
  };
  return Gdiplus::Color(255, byte(rgb.r), byte(rgb.g), byte(rgb.b));
}

std::unique_ptr<Gdiplus::Font> plot_font(double points) {
  return std::make_unique<Gdiplus::Font>(&font_family(), real(em_pixels(points)),
                                         Gdiplus::FontStyleRegular, Gdiplus::UnitPixel);
}

GdiplusTextMetrics::GdiplusTextMetrics()
    : scratch_(1, 1, PixelFormat32bppARGB), measure_(&scratch_) {
  measure_.SetPageUnit(Gdiplus::UnitPixel);
  measure_.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAlias);
}

const Gdiplus::Font& GdiplusTextMetrics::font(double points) const {
  auto it = fonts_.find(points);
  if (it == fonts_.end()) it = fonts_.emplace(points, plot_font(points)).first;
  return *it->second;
}

double GdiplusTextMetrics::ascent(double points) const {
  return em_pixels(points) * family_share(font_family().GetCellAscent(Gdiplus::FontStyleRegular));
}

double GdiplusTextMetrics::descent(double points) const {
  return em_pixels(points) * family_share(font_family().GetCellDescent(Gdiplus::FontStyleRegular));
}

double GdiplusTextMetrics::height(double points) const {
  return em_pixels(points) * family_share(font_family().GetLineSpacing(Gdiplus::FontStyleRegular));
}

double GdiplusTextMetrics::advance(std::string_view text, double points) const {
  if (text.empty()) return 0;
  const std::wstring string = widen(text);
  const TextFormat format(Gdiplus::StringAlignmentNear, Gdiplus::StringAlignmentNear);
  RectF box;
  measure_.MeasureString(string.c_str(), static_cast<INT>(string.size()), &font(points),
                         PointF(0, 0), &format, &box);
  return box.Width;
}

PixelRect GdiplusTextMetrics::bounds(std::string_view text, double points) const {
  const double up = ascent(points);
  return {0, -up, advance(text, points), up + descent(points)};
}

Gdiplus::Bitmap& MarkerStamps::get(const MarkerPrimitive& look, double scale) {
  // An edge is at least one device pixel wide, so thin edges stay sharp.
  const double width = std::max(1.0, look.edge_width * scale);
  auto argb = [](const std::optional<Rgb>& c) {
    return c ? static_cast<std::uint32_t>(gdiplus_color(*c).GetValue()) : 0u;
  };
  const Key key{look.marker, static_cast<std::int32_t>(std::lround(look.size * scale * 16)),
                static_cast<std::int32_t>(std::lround(width * 16)), argb(look.edge),
                argb(look.face)};
  auto it = stamps_.find(key);
  if (it != stamps_.end()) return *it->second;
  const double size = look.size * scale;
  int side = static_cast<int>(std::ceil(size + width)) + 3;
  if (side % 2 == 0) ++side;  // an odd side puts the centre on a pixel centre
  // Drawn at kOversample times the size and averaged down, so the edge is
  // smooth whether or not the system's GDI+ antialiases small outlines.
  constexpr int kOversample = 8;
  const int big_side = side * kOversample;
  Gdiplus::Bitmap big(big_side, big_side, PixelFormat32bppARGB);
  {
    Gdiplus::Graphics g(&big);
    g.Clear(Gdiplus::Color(0, 0, 0, 0));
    g.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    g.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
    g.TranslateTransform(real(big_side / 2.0), real(big_side / 2.0));
    g.ScaleTransform(real(kOversample), real(kOversample));
    draw_marker(g, marker_shape(look.marker, size), look, width);
  }
  auto stamp = std::make_unique<Gdiplus::Bitmap>(side, side, PixelFormat32bppARGB);
  Gdiplus::Rect all_big(0, 0, big_side, big_side), all(0, 0, side, side);
  Gdiplus::BitmapData from{}, to{};
  if (big.LockBits(&all_big, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &from) ==
      Gdiplus::Ok) {
    if (stamp->LockBits(&all, Gdiplus::ImageLockModeWrite, PixelFormat32bppARGB, &to) ==
        Gdiplus::Ok) {
      for (int y = 0; y < side; ++y) {
        auto* out = reinterpret_cast<std::uint32_t*>(static_cast<BYTE*>(to.Scan0) + y * to.Stride);
        for (int x = 0; x < side; ++x) {
          // Colours weighted by their cover, so the edge does not darken.
          double a = 0, r = 0, gr = 0, b = 0;
          for (int dy = 0; dy < kOversample; ++dy) {
            const auto* row = reinterpret_cast<const std::uint32_t*>(
                static_cast<const BYTE*>(from.Scan0) + (y * kOversample + dy) * from.Stride);
            for (int dx = 0; dx < kOversample; ++dx) {
              const std::uint32_t p = row[x * kOversample + dx];
              const double alpha = p >> 24;
              a += alpha;
              r += alpha * ((p >> 16) & 0xFF);
              gr += alpha * ((p >> 8) & 0xFF);
              b += alpha * (p & 0xFF);
            }
          }
          auto byte = [](double v) { return static_cast<std::uint32_t>(std::lround(v)); };
          out[x] = a == 0 ? 0
                          : byte(a / (kOversample * kOversample)) << 24 | byte(r / a) << 16 |
                                byte(gr / a) << 8 | byte(b / a);
        }
      }
      stamp->UnlockBits(&to);
    }
    big.UnlockBits(&from);
  }
  return *stamps_.emplace(key, std::move(stamp)).first->second;
}

void paint_figure(Gdiplus::Graphics& g, const Graphics& graphics, Handle figure,
                  MarkerStamps& stamps, double scale, bool vector, std::optional<Rgb> background) {
  const auto f = graphics.pixel_position(figure);
  g.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
  g.SetTextRenderingHint(vector ? Gdiplus::TextRenderingHintAntiAlias
                                : Gdiplus::TextRenderingHintAntiAliasGridFit);
  Gdiplus::SolidBrush ground(gdiplus_color(background.value_or(graphics.figure(figure).color)));
  g.FillRectangle(&ground, 0.0f, 0.0f, real(f[2]), real(f[3]));
  const GdiplusTextMetrics metrics;
  for (Handle child : graphics.children(figure)) {
    if (graphics.type(child) != ObjectType::Axes) continue;
    const PixelRect box = axes_pixel_box(graphics, figure, child);
    const AxesPrimitives shown = axes_primitives(graphics, child, box, metrics,
                                                 PrimitiveOptions{vector ? 0.0 : 1.0 / scale});
    PrimitivePainter painter(g, stamps, box, scale, vector);
    if (shown.background) {
      Gdiplus::SolidBrush brush(gdiplus_color(*shown.background));
      g.FillRectangle(&brush, to_rect(box));
    }
    g.SetClip(to_rect(box));
    painter.draw(shown.plot);
    g.ResetClip();
    painter.draw(shown.frame);
    painter.draw(shown.ticks);
  }
}

}  // namespace dg

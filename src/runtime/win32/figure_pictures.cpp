#include "runtime/win32/figure_pictures.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "runtime/array/error.hpp"
#include "runtime/array/file_io.hpp"
#include "runtime/graphics/svg_plot.hpp"
#include "runtime/win32/gdiplus_painter.hpp"
#include "runtime/win32/wide_text.hpp"

namespace dg {
namespace {

// The bitmap of plot files and of the clipboard: two device pixels a
// logical pixel, as the Qt window's.
constexpr double kBitmapScale = 2;

constexpr Rgb kWhite{1, 1, 1};

std::array<int, 2> figure_size(const Graphics& graphics, Handle figure) {
  const auto f = graphics.pixel_position(figure);
  return {std::max(1, static_cast<int>(std::lround(f[2]))),
          std::max(1, static_cast<int>(std::lround(f[3])))};
}

// The class id of GDI+'s encoder for a MIME type.
CLSID encoder(const wchar_t* mime) {
  UINT count = 0, bytes = 0;
  Gdiplus::GetImageEncodersSize(&count, &bytes);
  std::vector<unsigned char> buffer(bytes);
  auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
  if (bytes && Gdiplus::GetImageEncoders(count, bytes, codecs) == Gdiplus::Ok) {
    for (UINT i = 0; i < count; ++i) {
      if (std::wcscmp(codecs[i].MimeType, mime) == 0) return codecs[i].Clsid;
    }
  }
  raise("This system has no PNG encoder, so the plot cannot be saved as PNG.");
}

std::string png_bytes(Gdiplus::Bitmap& bitmap) {
  IStream* stream = nullptr;
  if (CreateStreamOnHGlobal(nullptr, TRUE, &stream) != S_OK) {
    raise("There is not enough memory to encode the plot as PNG.");
  }
  const CLSID png = encoder(L"image/png");
  std::string bytes;
  if (bitmap.Save(stream, &png, nullptr) == Gdiplus::Ok) {
    HGLOBAL memory = nullptr;
    GetHGlobalFromStream(stream, &memory);
    STATSTG stat{};
    stream->Stat(&stat, STATFLAG_NONAME);
    if (const void* data = GlobalLock(memory)) {
      bytes.assign(static_cast<const char*>(data), static_cast<std::size_t>(stat.cbSize.QuadPart));
      GlobalUnlock(memory);
    }
  }
  stream->Release();
  if (bytes.empty()) raise("GDI+ could not encode the plot as PNG.");
  return bytes;
}

std::string metafile_bytes(HENHMETAFILE metafile) {
  const UINT size = GetEnhMetaFileBits(metafile, 0, nullptr);
  std::string bytes(size, '\0');
  if (size == 0 ||
      GetEnhMetaFileBits(metafile, size, reinterpret_cast<BYTE*>(bytes.data())) != size) {
    raise("The plot's metafile could not be read back.");
  }
  return bytes;
}

// A device-independent bitmap (header and bottom-up rows of 32 bits) in
// movable global memory, as CF_DIB holds it.
HGLOBAL dib_of(Gdiplus::Bitmap& bitmap) {
  const UINT w = bitmap.GetWidth(), h = bitmap.GetHeight();
  Gdiplus::Rect all(0, 0, static_cast<INT>(w), static_cast<INT>(h));
  Gdiplus::BitmapData data{};
  if (bitmap.LockBits(&all, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data) !=
      Gdiplus::Ok) {
    return nullptr;
  }
  const std::size_t row = std::size_t{w} * 4;
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, sizeof(BITMAPINFOHEADER) + row * h);
  if (memory) {
    auto* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(memory));
    *header = BITMAPINFOHEADER{};
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = static_cast<LONG>(w);
    header->biHeight = static_cast<LONG>(h);
    header->biPlanes = 1;
    header->biBitCount = 32;
    header->biCompression = BI_RGB;
    header->biSizeImage = static_cast<DWORD>(row * h);
    auto* bits = reinterpret_cast<unsigned char*>(header + 1);
    for (UINT y = 0; y < h; ++y) {
      std::memcpy(bits + (h - 1 - y) * row,
                  static_cast<unsigned char*>(data.Scan0) + y * data.Stride, row);
    }
    GlobalUnlock(memory);
  }
  bitmap.UnlockBits(&data);
  return memory;
}

}  // namespace

std::unique_ptr<Gdiplus::Bitmap> figure_bitmap(const Graphics& graphics, Handle figure,
                                               double scale) {
  const auto [w, h] = figure_size(graphics, figure);
  auto bitmap = std::make_unique<Gdiplus::Bitmap>(static_cast<INT>(std::ceil(w * scale)),
                                                  static_cast<INT>(std::ceil(h * scale)),
                                                  PixelFormat32bppARGB);
  if (bitmap->GetLastStatus() != Gdiplus::Ok) {
    raise("There is not enough memory for a picture of the plot of " + std::to_string(w) + " by " +
          std::to_string(h) + " pixels.");
  }
  bitmap->SetResolution(static_cast<Gdiplus::REAL>(96 * scale),
                        static_cast<Gdiplus::REAL>(96 * scale));
  Gdiplus::Graphics g(bitmap.get());
  g.ScaleTransform(static_cast<Gdiplus::REAL>(scale), static_cast<Gdiplus::REAL>(scale));
  MarkerStamps stamps;
  paint_figure(g, graphics, figure, stamps, scale, false, kWhite);
  return bitmap;
}

HENHMETAFILE figure_metafile(const Graphics& graphics, Handle figure) {
  const auto [w, h] = figure_size(graphics, figure);
  HDC reference = CreateCompatibleDC(nullptr);
  HENHMETAFILE handle = nullptr;
  {
    Gdiplus::Metafile metafile(
        reference,
        Gdiplus::RectF(0, 0, static_cast<Gdiplus::REAL>(w), static_cast<Gdiplus::REAL>(h)),
        Gdiplus::MetafileFrameUnitPixel, Gdiplus::EmfTypeEmfPlusDual, L"Distangler plot");
    if (metafile.GetLastStatus() == Gdiplus::Ok) {
      {
        Gdiplus::Graphics g(&metafile);
        g.SetPageUnit(Gdiplus::UnitPixel);
        MarkerStamps stamps;
        paint_figure(g, graphics, figure, stamps, 1, true, kWhite);
      }
      handle = metafile.GetHENHMETAFILE();
    }
  }
  DeleteDC(reference);
  if (!handle) raise("GDI+ could not record the plot as a metafile.");
  return handle;
}

const std::vector<std::string>& win32_plot_formats() {
  static const std::vector<std::string> formats{".png", ".svg", ".emf"};
  return formats;
}

std::string plot_file_bytes(const Graphics& graphics, Handle figure, const std::string& path) {
  const std::string ext = lower_extension(path);
  if (ext == ".svg") return svg_plot(graphics, figure);
  if (ext == ".png") return png_bytes(*figure_bitmap(graphics, figure, kBitmapScale));
  if (ext == ".emf") {
    HENHMETAFILE metafile = figure_metafile(graphics, figure);
    std::string bytes;
    try {
      bytes = metafile_bytes(metafile);
    } catch (...) {
      DeleteEnhMetaFile(metafile);
      throw;
    }
    DeleteEnhMetaFile(metafile);
    return bytes;
  }
  raise("The plot file \"" + path + "\" needs the extension .png, .svg or .emf.");
}

void write_plot_file(const Graphics& graphics, Handle figure, const std::string& path) {
  const std::string bytes = plot_file_bytes(graphics, figure, path);
  AtomicFile file(path);
  file.write(bytes);
  file.commit();
}

void copy_figure_to_clipboard(const Graphics& graphics, Handle figure, HWND owner) {
  HENHMETAFILE metafile = figure_metafile(graphics, figure);
  HGLOBAL dib = nullptr;
  try {
    dib = dib_of(*figure_bitmap(graphics, figure, kBitmapScale));
  } catch (...) {
    DeleteEnhMetaFile(metafile);
    throw;
  }
  if (!OpenClipboard(owner)) {
    DeleteEnhMetaFile(metafile);
    if (dib) GlobalFree(dib);
    raise("The clipboard is in use by another program, so the plot was not copied; try again.");
  }
  EmptyClipboard();
  // The clipboard owns what it was given; what it refused is freed here.
  const bool vector = SetClipboardData(CF_ENHMETAFILE, metafile) != nullptr;
  if (!vector) DeleteEnhMetaFile(metafile);
  const bool bitmap = dib && SetClipboardData(CF_DIB, dib) != nullptr;
  if (dib && !bitmap) GlobalFree(dib);
  CloseClipboard();
  if (!vector && !bitmap) raise("The clipboard took no picture of the plot.");
}

}  // namespace dg

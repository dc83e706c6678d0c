// Lists the formats on the clipboard, one a line, saves its enhanced
// metafile to the file given and, when a second file is given, the
// metafile played into a bitmap as PNG (what a program pasting it shows);
// fails (1) when the clipboard holds no metafile or no bitmap. The window
// drive runs it after a plot copy.
#include <windows.h>

#include <gdiplus.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// The metafile played at its own size on white, saved as PNG.
bool play(HENHMETAFILE metafile, const wchar_t* path) {
  ENHMETAHEADER header{};
  GetEnhMetaFileHeader(metafile, sizeof header, &header);
  // The frame is in hundredths of a millimetre; the picture at 96 dots an inch.
  const int w = MulDiv(header.rclFrame.right - header.rclFrame.left, 96, 2540);
  const int h = MulDiv(header.rclFrame.bottom - header.rclFrame.top, 96, 2540);
  std::printf("metafile: %d x %d pixels, %lu records\n", w, h, header.nRecords);
  if (w <= 0 || h <= 0) return false;
  Gdiplus::GdiplusStartupInput input;
  ULONG_PTR token = 0;
  Gdiplus::GdiplusStartup(&token, &input, nullptr);
  bool saved = false;
  {
    Gdiplus::Bitmap bitmap(w, h, PixelFormat32bppARGB);
    {
      Gdiplus::Graphics g(&bitmap);
      g.Clear(Gdiplus::Color(255, 255, 255, 255));
      // Played by GDI+, which reads the EMF+ records as Office does.
      Gdiplus::Metafile picture(CopyEnhMetaFileW(metafile, nullptr), TRUE);
      g.DrawImage(&picture, 0, 0, w, h);
    }
    UINT count = 0, bytes = 0;
    Gdiplus::GetImageEncodersSize(&count, &bytes);
    std::vector<unsigned char> buffer(bytes);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    Gdiplus::GetImageEncoders(count, bytes, codecs);
    for (UINT i = 0; i < count; ++i) {
      if (std::wstring(codecs[i].MimeType) == L"image/png") {
        saved = bitmap.Save(path, &codecs[i].Clsid, nullptr) == Gdiplus::Ok;
      }
    }
  }
  Gdiplus::GdiplusShutdown(token);
  return saved;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2 && argc != 3) {
    std::fputs("usage: clipboard_check OUT.emf [OUT.png]\n", stderr);
    return 2;
  }
  if (!OpenClipboard(nullptr)) {
    std::fputs("the clipboard cannot be opened\n", stderr);
    return 1;
  }
  bool metafile = false, bitmap = false, played = argc == 2;
  for (UINT format = EnumClipboardFormats(0); format; format = EnumClipboardFormats(format)) {
    wchar_t name[128] = {};
    if (format == CF_ENHMETAFILE) {
      metafile = true;
      std::puts("CF_ENHMETAFILE");
    } else if (format == CF_DIB) {
      bitmap = true;
      std::puts("CF_DIB");
    } else if (format == CF_BITMAP) {
      std::puts("CF_BITMAP");
    } else if (format == CF_METAFILEPICT) {
      std::puts("CF_METAFILEPICT");
    } else if (format == CF_DIBV5) {
      std::puts("CF_DIBV5");
    } else if (GetClipboardFormatNameW(format, name, 128) > 0) {
      std::printf("%ls\n", name);
    } else {
      std::printf("format %u\n", format);
    }
  }
  if (metafile) {
    HENHMETAFILE emf = static_cast<HENHMETAFILE>(GetClipboardData(CF_ENHMETAFILE));
    if (HENHMETAFILE copy = emf ? CopyEnhMetaFileW(emf, argv[1]) : nullptr) {
      if (argc == 3) played = play(copy, argv[2]);
      DeleteEnhMetaFile(copy);
    } else {
      metafile = false;
    }
  }
  CloseClipboard();
  if (!played) std::fputs("the metafile could not be played into a PNG\n", stderr);
  return metafile && bitmap && played ? 0 : 1;
}

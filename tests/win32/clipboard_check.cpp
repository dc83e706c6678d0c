// Lists the formats on the clipboard, one a line, and saves its enhanced
// metafile to the file given; fails (1) when the clipboard holds no
// metafile or no bitmap. The window drive runs it after a plot copy.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fputs("usage: clipboard_check OUT.emf\n", stderr);
    return 2;
  }
  if (!OpenClipboard(nullptr)) {
    std::fputs("the clipboard cannot be opened\n", stderr);
    return 1;
  }
  bool metafile = false, bitmap = false;
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
      DeleteEnhMetaFile(copy);
    } else {
      metafile = false;
    }
  }
  CloseClipboard();
  return metafile && bitmap ? 0 : 1;
}

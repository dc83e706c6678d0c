// The Win32 platform's drawing, pictures and texts, run under Wine without
// a display: what a figure's bitmap, metafile and plot files hold, the
// settings kept in the registry, and the texts of menus and dialogs.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "runtime/array/error.hpp"
#include "runtime/array/file_io.hpp"
#include "runtime/graphics/headless_platform.hpp"
#include "runtime/win32/figure_pictures.hpp"
#include "runtime/win32/gdiplus_painter.hpp"
#include "runtime/win32/native_text.hpp"
#include "runtime/win32/wide_text.hpp"
#include "runtime/win32/win32_platform.hpp"

namespace dg {
namespace {

struct Pixel {
  int r, g, b;
};

Pixel pixel(Gdiplus::Bitmap& bitmap, int x, int y) {
  Gdiplus::Color c;
  bitmap.GetPixel(x, y, &c);
  return {c.GetR(), c.GetG(), c.GetB()};
}

bool white(Pixel p) {
  return p.r == 255 && p.g == 255 && p.b == 255;
}

// A 200 x 200 figure whose plot box spans pixels 20.5 to 180.5 with limits
// [0 10 0 10]: data unit 1 is 16 pixels, data (5, 5) is pixel (100, 100).
class Win32PictureTest : public ::testing::Test {
 protected:
  Win32PictureTest() {
    g.set(figure, "Position", Value(Matrix{{0, 0, 200, 200}}));
    g.set(axes, "Position", Value(Matrix{{20, 20, 160, 160}}));
    g.hold(true);
    g.axis_limits({0, 10, 0, 10});
  }

  GdiplusSession gdiplus;
  HeadlessPlatform platform;
  Graphics g{platform};
  Handle figure = g.new_figure();
  Handle axes = g.new_axes(figure);
};

TEST_F(Win32PictureTest, TheBitmapShowsMarkersLinesAndTheBoxWhereThePrimitivesPutThem) {
  const Handle marker = g.plot(std::vector<double>{5}, std::vector<double>{5}, "ro");
  g.set(marker, "MarkerFaceColor", Value(Matrix{{1, 0, 0}}));
  g.set(g.plot(std::vector<double>{1, 9}, std::vector<double>{2, 2}, "b-"), "LineWidth",
        Value(3.0));
  // Beyond the box: clipped away, the ground outside the box stays white.
  g.plot(std::vector<double>{12}, std::vector<double>{5}, "ks");
  auto bitmap = figure_bitmap(g, figure, 1);
  ASSERT_EQ(bitmap->GetWidth(), 200u);
  const Pixel centre = pixel(*bitmap, 100, 100);
  EXPECT_GT(centre.r, 200);
  EXPECT_LT(centre.g, 60);
  const Pixel line = pixel(*bitmap, 60, 148);  // y = 2 -> pixel row 148
  EXPECT_GT(line.b, 150);
  EXPECT_LT(line.r, 150);
  EXPECT_TRUE(white(pixel(*bitmap, 100, 60)));
  EXPECT_TRUE(white(pixel(*bitmap, 195, 100)));
  EXPECT_FALSE(white(pixel(*bitmap, 180, 100)) && white(pixel(*bitmap, 181, 100)));  // the box

  // Twice the pixels: the same drawing, twice the size.
  auto sharp = figure_bitmap(g, figure, 2);
  ASSERT_EQ(sharp->GetWidth(), 400u);
  EXPECT_GT(pixel(*sharp, 200, 200).r, 200);
  EXPECT_LT(pixel(*sharp, 200, 200).g, 60);
}

// The darkest red, green or blue within `reach` pixels of (x, y).
int darkest(Gdiplus::Bitmap& bitmap, int x, int y, int reach) {
  int low = 255;
  for (int dy = -reach; dy <= reach; ++dy) {
    for (int dx = -reach; dx <= reach; ++dx) {
      const Pixel p = pixel(bitmap, x + dx, y + dy);
      low = std::min({low, p.r, p.g, p.b});
    }
  }
  return low;
}

TEST_F(Win32PictureTest, AnOpenMarkerShowsItsWholeOutline) {
  g.plot(std::vector<double>{5}, std::vector<double>{5}, "ko");  // 6 points: 8 pixels across
  auto bitmap = figure_bitmap(g, figure, 1);
  for (auto [x, y] : {std::pair{96, 100}, {104, 100}, {100, 96}, {100, 104}}) {
    EXPECT_LT(darkest(*bitmap, x, y, 1), 128) << "at " << x << ", " << y;
  }
  EXPECT_GT(darkest(*bitmap, 100, 100, 1), 200);  // open inside

  // As one of a batch of many, where markers on one pixel are stamped once.
  std::vector<double> x(400, 2.0), y(400, 2.0);
  g.plot_points(x, y, "ko", 6);
  auto many = figure_bitmap(g, figure, 1);
  for (auto [px, py] : {std::pair{48, 148}, {56, 148}, {52, 144}, {52, 152}}) {
    EXPECT_LT(darkest(*many, px, py, 1), 128) << "at " << px << ", " << py;
  }
}

TEST_F(Win32PictureTest, PlotFilesAreWrittenInTheFormatTheirExtensionNames) {
  g.plot(std::vector<double>{2, 8}, std::vector<double>{2, 8}, "k-o");
  g.text(axes, 5, 5, "R\xc3\xado");  // not ASCII
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / std::filesystem::path(u8"plots \u00edo");
  std::filesystem::create_directories(folder);
  auto bytes_of = [&](const std::string& name) {
    const std::string path = path_text(folder / name);
    write_plot_file(g, figure, path);
    std::ifstream in(file_path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  EXPECT_EQ(bytes_of("p.png").substr(1, 3), "PNG");
  const std::string emf = bytes_of("p.EMF");
  ASSERT_GT(emf.size(), 88u);
  EXPECT_EQ(emf.substr(40, 4), " EMF");            // the header's signature
  EXPECT_NE(emf.find("EMF+"), std::string::npos);  // the GDI+ records beside the plain ones
  EXPECT_NE(bytes_of("p.svg").find("<svg"), std::string::npos);

  // Any other extension is refused by name, and nothing is written.
  const std::string pdf = path_text(folder / "p.pdf");
  try {
    write_plot_file(g, figure, pdf);
    FAIL() << "a .pdf plot was written";
  } catch (const RuntimeError& error) {
    EXPECT_NE(std::string(error.what()).find(".png, .svg or .emf"), std::string::npos);
  }
  EXPECT_FALSE(std::filesystem::exists(file_path(pdf)));
  std::filesystem::remove_all(folder);
}

TEST_F(Win32PictureTest, TheMetafileIsVectorDrawingOfTheFigureSize) {
  for (int i = 0; i < 300; ++i) {
    g.plot(std::vector<double>{i % 10 + 0.5}, std::vector<double>{i / 30 + 0.5}, "o");
  }
  HENHMETAFILE metafile = figure_metafile(g, figure);
  ASSERT_NE(metafile, nullptr);
  ENHMETAHEADER header{};
  GetEnhMetaFileHeader(metafile, sizeof header, &header);
  // The frame, in hundredths of a millimetre: 200 pixels at 96 an inch.
  EXPECT_NEAR(header.rclFrame.right - header.rclFrame.left, 5292, 60);
  // Each marker is its own outline: many records, not one bitmap.
  EXPECT_GT(header.nRecords, 300u);
  DeleteEnhMetaFile(metafile);
}

TEST(Win32Text, TextsConvertBetweenUtf8AndUtf16) {
  EXPECT_EQ(widen("R\xc3\xado \xe2\x82\xac"), L"R\u00edo \u20ac");
  EXPECT_EQ(narrow(widen("R\xc3\xado \xe2\x82\xac")), "R\xc3\xado \xe2\x82\xac");
  EXPECT_EQ(widen("ab\xff"), L"ab\ufffd");  // a Latin-1 byte does not cut the text short
}

TEST(Win32Text, AcceleratorsMenusAndFiltersReadAsTheWindowShowsThem) {
  auto ctrl_o = accelerator_keys("O");
  ASSERT_TRUE(ctrl_o);
  EXPECT_EQ(ctrl_o->key, 'O');
  EXPECT_EQ(ctrl_o->fVirt, FVIRTKEY | FCONTROL);
  auto shifted = accelerator_keys("Ctrl+Shift+O");
  ASSERT_TRUE(shifted);
  EXPECT_EQ(shifted->fVirt, FVIRTKEY | FCONTROL | FSHIFT);
  EXPECT_EQ(accelerator_keys("F1")->key, VK_F1);
  EXPECT_EQ(accelerator_keys("Esc")->key, VK_ESCAPE);
  EXPECT_EQ(accelerator_label("c"), L"Ctrl+C");
  EXPECT_EQ(accelerator_label("Ctrl+Shift+Z"), L"Ctrl+Shift+Z");
  EXPECT_FALSE(accelerator_keys("Hyper+Q"));
  EXPECT_FALSE(accelerator_keys("Ctrl+"));

  EXPECT_EQ(without_mnemonics("Save &distances && more"), "Save distances & more");
  const std::wstring filter = dialog_filter("*.tps;*.TPS");
  EXPECT_EQ(filter, std::wstring(L"*.tps *.TPS files\0*.tps;*.TPS\0All files\0*.*\0\0", 45));
  EXPECT_EQ(dialog_filter("*.*"), std::wstring(L"All files\0*.*\0\0", 15));

  const wchar_t several[] = L"C:\\data\0a.tps\0b \u00ed.tps\0";
  EXPECT_EQ(picked_files(several),
            (std::vector<std::string>{"C:\\data\\a.tps", "C:\\data\\b \xc3\xad.tps"}));
  EXPECT_EQ(picked_files(L"C:\\one.tps\0"), std::vector<std::string>{"C:\\one.tps"});
}

TEST(Win32Settings, RecentFilesAndSettingsAreKeptInTheRegistry) {
  Win32Platform platform;
  const std::vector<std::string> before = platform.recent_files();
  const std::vector<std::string> files{"C:\\R\xc3\xado\\a.tps", "D:\\b.tps"};
  platform.store_recent_files(files);
  EXPECT_EQ(Win32Platform().recent_files(), files);
  platform.store_setting("photos of C:\\R\xc3\xado\\a.tps", "C:\\photos\\");
  EXPECT_EQ(Win32Platform().setting("photos of C:\\R\xc3\xado\\a.tps"), "C:\\photos\\");
  EXPECT_EQ(platform.setting("never stored"), "");
  platform.store_recent_files(before);
  EXPECT_EQ(platform.plot_formats(), (std::vector<std::string>{".png", ".svg", ".emf"}));
}

}  // namespace
}  // namespace dg

#include "input/specimen_images.hpp"

#include "input/tps_scan.hpp"
#include "test_support.hpp"

namespace dg {
namespace {

using SpecimenImagesTest = ScratchTest;

TEST_F(SpecimenImagesTest, APhotoIsFoundBesideTheFileByItsNameInAnyCaseThenInTheImagesFolder) {
  namespace fs = std::filesystem;
  fs::create_directories(dir / "tps" / "sub");
  fs::create_directories(dir / "tps" / "folder.jpg");
  fs::create_directories(dir / "images");
  fs::create_directories(dir / "elsewhere");
  const std::string tps = file("tps/sample.tps", "LM=1\n0 0\n");
  for (const char* photo : {"tps/photo.jpg", "tps/sub/near.png", "tps/Upper.JPG", "tps/UPPER.jpg",
                            "images/far.bmp", "images/photo.jpg", "elsewhere/away.tif"}) {
    file(photo, "not decoded here");
  }
  const std::string images = at("images");
  const std::string away = at("elsewhere/away.tif");
  const struct {
    std::string value;
    std::string images_dir;
    std::optional<std::string> found;  // relative to the scratch folder
  } cases[] = {
      {"", images, std::nullopt},
      {"photo.jpg", images, "tps/photo.jpg"},
      {"sub/near.png", "", "tps/sub/near.png"},
      {"sub\\near.png", "", "tps/sub/near.png"},
      {away, "", "elsewhere/away.tif"},
      {"C:\\Users\\KempLab\\Box\\photo.jpg", "", "tps/photo.jpg"},
      {"/home/someone/photos/photo.jpg", "", "tps/photo.jpg"},
      {"\\\\server\\share\\far.bmp", images, "images/far.bmp"},
      {"\\\\server\\share\\far.bmp", "", std::nullopt},
      {"IMAGE=C:\\Users\\x\\photo.jpg", "", "tps/photo.jpg"},
      {"upper.jpg", "", "tps/UPPER.jpg"},  // the first of the names in byte order
      {"D:/scans/FAR.BMP", images, "images/far.bmp"},
      {"elsewhere/missing.tif", images, std::nullopt},
      {"folder.jpg", "", std::nullopt},  // a folder is no photo
      {"C:\\", images, std::nullopt},
  };
  for (const auto& c : cases) {
    const auto found = find_specimen_image(c.value, tps, c.images_dir);
    ASSERT_EQ(found.has_value(), c.found.has_value()) << c.value;
    if (found) {
      EXPECT_TRUE(fs::equivalent(file_path(*found), dir / file_path(*c.found))) << c.value;
    }
  }
}

TEST(SpecimenImagesRealTest, TheDragonflyFilesWindowsPathsAreFoundNowhere) {
  SKIP_WITHOUT_REAL_DATA();
  const std::string path = real_data("dragonfly-forewing-120spec-k20-noscale.tps");
  const TpsData data = read_tps_file(path, false);
  ASSERT_EQ(data.records.size(), 120u);
  std::size_t doubled = 0;
  for (const SpecimenRecord& record : data.records) {
    doubled += record.image().starts_with("IMAGE=");
    EXPECT_FALSE(find_specimen_image(record.image(), path, DISTANGLER_TEST_DATA_DIR))
        << record.image();
  }
  EXPECT_EQ(doubled, 3u);
}

}  // namespace
}  // namespace dg

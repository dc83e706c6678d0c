// The digitising session's file: written as digitising programs write it,
// read back as it was (also a file of LM=0 blocks made elsewhere), and the
// ruler's scale.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "pipeline/digitising.hpp"
#include "test_support.hpp"

namespace dg {
namespace {

namespace fs = std::filesystem;

struct DigitisingFile : ::testing::Test {
  const fs::path folder =
      fs::temp_directory_path() /
      ("distangler_" +
       std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
  DigitisingFile() { fs::create_directories(folder / "wings"); }
  ~DigitisingFile() override { fs::remove_all(folder); }
  std::string path(const std::string& name) { return (folder / name).string(); }
};

TEST_F(DigitisingFile, WritesBlocksAsDigitisersDoAndResumesWhereTheWorkStops) {
  DigitisingSession s =
      new_digitising(path("w.tps"), {path("wings/a 1.JPG"), path("wings/b.tif")}, 2);
  ASSERT_EQ(s.photos.size(), 2u);
  s.photos[0].xy = {12.5, 300.25, NAN, NAN};
  s.photos[0].scale = ruler_scale(10, 0, 0, 300, 400);  // 10 units over 500 pixels
  s.photos[1].xy = {1, 2};
  write_digitising(s);
  std::ifstream in(path("w.tps"), std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text,
            "LM=2\n12.50000 300.25000\nNA NA\nIMAGE=wings/a 1.JPG\nID=a 1\nSCALE=0.02\n"
            "LM=1\n1.00000 2.00000\nIMAGE=wings/b.tif\nID=b\n");
  const DigitisingSession back = read_digitising(path("w.tps"));
  EXPECT_EQ(back.landmarks, 2u);
  EXPECT_EQ(back.first_unfinished(), 1u);
  EXPECT_EQ(back.photos[0].scale, 0.02);
  EXPECT_TRUE(std::isnan(back.photos[0].xy[2]));
  EXPECT_EQ(back.photos[1].xy, (std::vector<double>{1, 2}));
  EXPECT_EQ(back.image_path(1), (folder / "wings/b.tif").string());
}

TEST_F(DigitisingFile, ReadsPhotoListsMadeElsewhereAndRefusesWhatItCannotResume) {
  std::ofstream(path("made.tps"), std::ios::binary)
      << "lm=0\r\nIMAGE=C 1.jpg\r\nID=c1\r\nLM=0\r\nIMAGE=C 2.jpg\r\n";
  const DigitisingSession made = read_digitising(path("made.tps"), 7);
  EXPECT_EQ(made.landmarks, 7u);
  EXPECT_EQ(made.first_unfinished(), 0u);
  EXPECT_EQ(made.photos[1].id, "");
  const std::pair<const char*, const char*> bad[] = {
      {"LM=2\n1 2\nIMAGE=a.jpg\n", "line 1: LM=2 is followed by 2 numbers instead of 4"},
      {"LM=1\n1 2\nID=a\n", "line 1: the block names no photo (IMAGE=)"},
      {"LM=1\n1 x\nIMAGE=a.jpg\n", "line 2: \"x\" is no coordinate"},
      {"ID=a\n", "line 1: the keyword comes before the first LM="},
      {"", "holds no photo's block"}};
  for (const auto& [text, message] : bad) {
    std::ofstream(path("bad.tps"), std::ios::binary) << text;
    EXPECT_THROW_HAS(read_digitising(path("bad.tps")), message);
  }
  EXPECT_THROW_HAS(new_digitising(path("wings/w.tps"), {path("a.jpg")}, 3),
                   "lies outside the folder");
  EXPECT_THROW_HAS(ruler_scale(0, 0, 0, 1, 1), "positive number");
  EXPECT_THROW_HAS(ruler_scale(5, 3, 4, 3, 4), "same point");
}

}  // namespace
}  // namespace dg

// Angles, their degrees, and samples with scale factors, through the handler.
#include <cmath>

#include "actions/dahand_actions.hpp"
#include "test_support.hpp"
#include "window_fixture.hpp"

namespace dg {
namespace {

namespace fs = std::filesystem;

using AnglesTest = FilesFixture;
using ScaleTest = FilesFixture;

// Landmarks 1 (1,0), 2 (0,0), 3 (0,1), 4 (-1,0); size column 1.
const char* kCross = "1 0 0 0 0 1 -1 0 1\n";

TEST_F(AnglesTest, RightStraightZeroAndUndefinedAngles) {
  answer_run(file("cross.txt", kCross), "GetData");
  answer_run(file("triples.txt", "1 1 2 3\n2 1 2 4\n3 1 2 1\n4 1 2 2\n"), "GetAngles");
  EXPECT_EQ(box("LengthBox"), (std::vector<std::string>{"triples.txt", "  4 Angles requested"}));
  answer_run((out / "rad.txt").string(), "SaveAngles");
  answer_run((out / "deg.txt").string(), "SaveDegrees");
  EXPECT_EQ(read("rad.txt"), "1.5708 3.14159 0 NaN  \n");
  EXPECT_EQ(read("deg.txt"), "90 180 0 NaN  \n");
  auto& dialogs = platform.dialogs();
  EXPECT_EQ(dialogs[dialogs.size() - 1].title, "Save the angles (degrees) as");
  EXPECT_EQ(dialogs[dialogs.size() - 1].suggested, "cross-degrees.txt");
  EXPECT_EQ(dialogs[dialogs.size() - 2].title, "Save the angles (radians) as");
  EXPECT_EQ(dialogs[dialogs.size() - 2].suggested, "cross-angles.txt");
}

TEST_F(AnglesTest, AStraightAngleStaysPiDespiteRounding) {
  // Three points on one line whose cosine rounds to -1.0000000000000002.
  Matrix data{{-0.7312715117751976, 0.6948674738744653, -0.4898619485211566, -0.009129825816118098,
               0.06898824966007866, -1.638845836847224, 1}};
  Matrix triples{{1, 1, 2, 3}};
  Matrix angle = angles_of(flat_sample(data), triples);
  EXPECT_EQ(angle(0, 0), M_PI);
}

TEST_F(AnglesTest, AnglesKeepEveryDigitNearZeroAndPi) {
  // Vertex at the origin; the arms end at landmarks 1 and 3.
  auto angle = [](double ax, double ay, double bx, double by) {
    return angles_of(flat_sample(Matrix{{ax, ay, 0, 0, bx, by, 1}}), Matrix{{1, 1, 2, 3}})(0, 0);
  };
  EXPECT_EQ(angle(0.3, 0.7, 0.3, 0.7), 0);                        // identical arms
  EXPECT_DOUBLE_EQ(angle(1, 0, 1, 1e-9), 1e-9);                   // atan(1e-9) = 1e-9 - 3e-28
  EXPECT_DOUBLE_EQ(angle(1, 0, -1, 1e-9), M_PI - 1e-9);           // just short of straight
  EXPECT_DOUBLE_EQ(angle(2e-5, 1, -2e-5, 1), 4e-5 - 16e-15 / 3);  // 2 atan(2e-5)
  EXPECT_EQ(angle(3, 0, 0, 2), M_PI / 2);
  EXPECT_TRUE(std::isnan(angle(0, 0, 1, 1)));
  EXPECT_TRUE(std::isnan(angle(1, 1, 0, 0)));
}

TEST_F(AnglesTest, NoTriplesWriteNoFileAndBadNumbersNameTheirRow) {
  answer_run(file("cross.txt", kCross), "GetData");
  run("SaveAngles");  // no dialog, no file
  EXPECT_EQ(platform.dialogs().size(), 1u);
  EXPECT_EQ(platform.messages().back().text, "Load a triple list first.");
  // A kept list that does not fit the sample is refused before the save's dialog.
  platform.answer((out / "none.txt").string());
  session.handler.tangles = Matrix{{1, 1, 2, 3}, {2, 1, 9, 3}};
  EXPECT_THROW_HAS(run("SaveDegrees"), "Triple 2 names landmark 9");
  EXPECT_EQ(platform.pending_answers(), 1u);  // neither save's dialog opened
  EXPECT_FALSE(fs::exists(out / "none.txt"));
}

TEST_F(ScaleTest, ASpecimenWithoutItsFactorFailsTheWholeLoad) {
  answer_run(file("ok.txt", kCross), "GetData");
  Matrix before = flat_data(session.handler);
  std::string square = "0 0\n2 0\n2 2\n0 2\n";
  std::string middle = file("middle.tps", "LM=4\n" + square + "SCALE=2\nLM=4\n" + square +
                                              "ID=2\nLM=4\n" + square + "SCALE=3\n");
  platform.answer(middle);
  EXPECT_THROW_HAS(
      run("GetTPSScale"),
      "specimen 2 (ID=2, line 7): no SCALE= follows its coordinates before the next LM= "
      "(line 13)");
  // The reader's other refusals of a factor are checked with the reader.
  EXPECT_EQ(flat_data(session.handler), before);
  EXPECT_EQ(box("DataBox")[0], "ok.txt");
}

}  // namespace
}  // namespace dg

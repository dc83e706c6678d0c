// The road of a sample through the handler: load, pairs, calculate, save.
#include <cmath>
#include <filesystem>

#include "input/tps_scan.hpp"
#include "test_support.hpp"
#include "window_fixture.hpp"

namespace dg {
namespace {

namespace fs = std::filesystem;

const std::string kRoad = DISTANGLER_TEST_DATA_DIR "/road/";

class RoadTest : public FilesFixture {
 protected:
  void load_tps(const std::string& path) {
    platform.answer(path);
    run("GetTPSData");
  }
  void load_pairs(const std::string& path) {
    platform.answer(path);
    run("GetLengths");
  }
  std::string save(const std::string& action, const std::string& name) {
    answer_run((out / name).string(), action);
    return read(name);
  }
};

TEST_F(RoadTest, SmallSampleGivesTheIndependentlyComputedDatasets) {
  load_tps(kRoad + "small.tps");
  EXPECT_EQ(box("DataBox"),
            (std::vector<std::string>{"small.tps", "  4 Landmarks", "  4 Samples"}));
  EXPECT_EQ(enable("GetPairs"), "on");
  EXPECT_EQ(enable("Load"), "off");
  EXPECT_EQ(drawn(), 16u);  // one point per landmark of every specimen
  load_pairs(kRoad + "pairs.txt");
  EXPECT_EQ(box("LengthBox"), (std::vector<std::string>{"pairs.txt", "  5 Lengths requested"}));
  EXPECT_EQ(enable("Calc"), "on");
  EXPECT_EQ(drawn(), 16u + 5 * 2);  // a segment and a label per pair
  run("CalcLengths");
  EXPECT_EQ(enable("Save"), "on");
  EXPECT_EQ(save("SaveLengths", "l.txt"), slurp(kRoad + "expected-lengths.txt"));
  EXPECT_EQ(enable("Save"), "off");
  EXPECT_EQ(save("SaveLogLengths", "ll.txt"), slurp(kRoad + "expected-log-lengths.txt"));
  EXPECT_EQ(save("SaveConstrained", "c.txt"), slurp(kRoad + "expected-constrained.txt"));
  std::vector<std::string> titles;
  for (const auto& d : platform.dialogs()) titles.push_back(d.title);
  EXPECT_EQ(titles, (std::vector<std::string>{"Specify TPS file to load", "Enter file to Load?",
                                              "File Name for Traditional Dataset",
                                              "File Name for Log Transformed Traditional Dataset",
                                              "File Name for Constrained Traditional Dataset"}));
  EXPECT_EQ(console.str(), "");
}

TEST_F(RoadTest, SuperimposedRowsHaveUnitSizeAndKeepTheirSizeColumn) {
  load_tps(kRoad + "small.tps");
  TpsData raw = read_tps_file(kRoad + "small.tps", false, true);
  const Matrix& data = session.handler.data;
  ASSERT_EQ(data.cols(), 9u);
  for (std::size_t i = 0; i < data.rows(); ++i) {
    double cx = 0, cy = 0, ss = 0;
    for (int j = 0; j < 4; ++j) cx += data(i, 2 * j) / 4, cy += data(i, 2 * j + 1) / 4;
    for (int j = 0; j < 8; ++j) ss += data(i, j) * data(i, j);
    EXPECT_NEAR(cx, 0, 1e-12);
    EXPECT_NEAR(cy, 0, 1e-12);
    EXPECT_NEAR(ss, 1, 1e-12);
    EXPECT_EQ(data(i, 8), raw.coordinates(i, 8));
  }
}

TEST_F(RoadTest, PlainMatrixIsStoredAsReadAndReportedByLandmarkCount) {
  // 7 specimens of 12 landmarks plus a size column.
  std::string text;
  for (int s = 0; s < 7; ++s) {
    for (int c = 0; c < 25; ++c) text += std::to_string(s * 100 + c) + (c < 24 ? " " : "\n");
  }
  file("m.txt", text);
  platform.answer((out / "m.txt").string());
  run("GetData");
  EXPECT_EQ(box("DataBox"), (std::vector<std::string>{"m.txt", " 12 Landmarks", "  7 Samples"}));
  EXPECT_EQ(session.handler.data(6, 24), 624);
  EXPECT_EQ(session.handler.data(0, 1), 1);
  EXPECT_EQ(drawn(), 7u * 12);
  // An even width counts its landmarks by the same rule everywhere, and says so.
  file("even.txt", "1 2 3 4 5 6\n");
  platform.answer((out / "even.txt").string());
  console.str("");
  run("GetData");
  EXPECT_EQ(console.str(),
            "Warning: \"even.txt\" has 6 columns where a sample of k landmarks has 2k + 1 (x and "
            "y of each landmark, then the size); it is read as 2 landmarks with the size in its "
            "last column, and column 5 is not used.\n");
  EXPECT_EQ(box("DataBox")[1], "  2 Landmarks");
  platform.answer(file("pairs.txt", "1 1 3\n"));
  EXPECT_THROW_MSG(run("GetLengths"), "Pair 1 names landmark 3, but the data have 2 landmarks.");
  platform.answer(file("triples.txt", "1 1 2 3\n"));
  EXPECT_THROW_MSG(run("GetAngles"), "Triple 1 names landmark 3, but the data have 2 landmarks.");
}

TEST_F(RoadTest, CancelledOrFailedLoadsChangeNothing) {
  load_tps(kRoad + "small.tps");
  load_pairs(kRoad + "pairs.txt");
  Matrix data = session.handler.data, pairs = session.handler.tlengths;
  auto objects = session.graphics.findall(0);
  auto data_box = box("DataBox");

  platform.answer_cancel();
  run("GetTPSData");
  platform.answer_cancel();
  run("GetLengths");
  file("empty.txt", "");
  platform.answer((out / "empty.txt").string());
  EXPECT_THROW_MSG(
      run("GetData"),
      "The file \"empty.txt\" holds no numbers; a landmark matrix needs at least one row.");
  platform.answer((out / "missing.txt").string());
  EXPECT_THROW_HAS(run("GetData"), "missing.txt\": No such file or directory");
  platform.answer((out / "missing.tps").string());
  EXPECT_THROW_HAS(run("GetTPSData"), "Error on file open: \"" + (out / "missing.tps").string());
  file("lm0.tps", "LM=2\n1 2\n3 4\nLM=0\nIMAGE=x.jpg\nLM=2\n5 6\n7 8\n");
  platform.answer((out / "lm0.tps").string());
  EXPECT_THROW_HAS(run("GetTPSData"), "specimen 2 (line 4): no coordinates follow LM=0");

  EXPECT_EQ(session.handler.data, data);
  EXPECT_EQ(session.handler.tlengths, pairs);
  EXPECT_EQ(session.graphics.findall(0), objects);
  EXPECT_EQ(box("DataBox"), data_box);
  EXPECT_EQ(enable("Load"), "off");
}

TEST_F(RoadTest, DifferingLandmarkCountsWarnAndKeepTheFirstK) {
  file("mixed.tps", "LM=2\n0 0\n1 0\nLM=3\n0 0\n2 0\n9 9\nID=2\n");
  load_tps((out / "mixed.tps").string());
  EXPECT_EQ(session.handler.data.rows(), 2u);
  EXPECT_EQ(console.str(),
            "Warning: \"" + (out / "mixed.tps").string() +
                "\", specimen 2 (line 4): LM=3 differs from the first specimen's LM=2; its first 2 "
                "landmarks are kept.\n");
}

TEST_F(RoadTest, SavesReplaceFilesOnlyWhenWholeAndReportFailures) {
  load_tps(kRoad + "small.tps");
  load_pairs(kRoad + "pairs.txt");
  run("CalcLengths");
  file("old.txt", "old contents\n");
  EXPECT_EQ(save("SaveLengths", "old.txt"), slurp(kRoad + "expected-lengths.txt"));

  // A folder that does not exist: an error naming the file; "Save" stays on.
  run("CalcLengths");
  platform.answer((out / "nowhere" / "l.txt").string());
  EXPECT_THROW_HAS(run("SaveLengths"), "Cannot open \"" + (out / "nowhere" / "l.txt").string() +
                                           "\" for writing: No such file or directory");
  EXPECT_EQ(enable("Save"), "on");

  // A cancelled "SaveLengths" still turns "Save" off; "SaveLogLengths" does not.
  platform.answer_cancel();
  run("SaveLogLengths");
  EXPECT_EQ(enable("Save"), "on");
  platform.answer_cancel();
  run("SaveLengths");
  EXPECT_EQ(enable("Save"), "off");

  // A folder in the way: the new file is complete before the replacement
  // fails, and it is removed.
  fs::create_directory(out / "folder");
  run("CalcLengths");
  platform.answer((out / "folder").string());
  EXPECT_THROW_MSG(run("SaveLengths"), "Cannot write \"" + (out / "folder").string() +
                                           "\": Is a directory; the file was left as it was.");
  EXPECT_TRUE(fs::is_empty(out / "folder"));
  for (const auto& entry : fs::directory_iterator(out)) {
    EXPECT_EQ(entry.path().filename().string().find(".folder."), std::string::npos)
        << "temporary file left: " << entry.path();
  }
}

TEST_F(RoadTest, DatasetEdgeValues) {
  // Distances of zero: log gives -Inf, the constraint 0/0 gives NaN.
  file("flat.txt", "0 0 0 0 0 5\n");
  platform.answer((out / "flat.txt").string());
  run("GetData");
  file("same.txt", "1 1 2\n");
  load_pairs((out / "same.txt").string());
  run("CalcLengths");
  EXPECT_EQ(save("SaveLengths", "l.txt"), "0 5  \n");
  EXPECT_EQ(save("SaveLogLengths", "ll.txt"), "-Inf 5  \n");
  EXPECT_EQ(save("SaveConstrained", "c.txt"), "NaN 5  \n");
  // No pairs: the dataset holds the sizes only; nothing calculated yet: an empty file.
  file("none.txt", "");
  load_pairs((out / "none.txt").string());
  EXPECT_EQ(box("LengthBox")[1], "  0 Lengths requested");
  run("CalcLengths");
  EXPECT_EQ(save("SaveLengths", "sizes.txt"), "5  \n");
  session.handler.traddata = Matrix();
  EXPECT_EQ(save("SaveLengths", "empty.txt"), "");
}

TEST_F(RoadTest, BadLandmarkNumbersStopTheCalculationWithTheirRow) {
  load_tps(kRoad + "small.tps");
  file("bad.txt", "1 1 2\n2 3 5\n");
  EXPECT_THROW_MSG(load_pairs((out / "bad.txt").string()),
                   "Pair 2 names landmark 5, but the data have 4 landmarks.");
  EXPECT_EQ(session.handler.tlengths.rows(), 2u);  // stored before the drawing failed
  EXPECT_THROW_HAS(run("CalcLengths"), "Pair 2 names landmark 5, but the data have 4 landmarks.");
  EXPECT_TRUE(session.handler.traddata.empty());
}

TEST_F(RoadTest, StateSurvivesANewLoadUntilTheNextCalculation) {
  load_tps(kRoad + "small.tps");
  load_pairs(kRoad + "pairs.txt");
  run("CalcLengths");
  Matrix first = session.handler.traddata;
  run("CalcLengths");
  EXPECT_EQ(session.handler.traddata, first);
  file("one.tps", "LM=4\n0 0\n1 0\n1 1\n0 1\n");
  load_tps((out / "one.tps").string());
  EXPECT_EQ(session.handler.traddata, first);
  EXPECT_EQ(session.handler.tlengths.rows(), 5u);
  run("CalcLengths");
  ASSERT_EQ(session.handler.traddata.rows(), 1u);
  EXPECT_NEAR(session.handler.traddata(0, 0), 1, 1e-12);             // landmarks 1-2
  EXPECT_NEAR(session.handler.traddata(0, 1), std::sqrt(2), 1e-12);  // landmarks 1-3
}

}  // namespace
}  // namespace dg

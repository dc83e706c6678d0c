// The road of a sample through the handler: load, pairs, calculate, save.
#include <cmath>
#include <filesystem>

#include "test_support.hpp"
#include "window_fixture.hpp"

namespace dg {
namespace {

namespace fs = std::filesystem;

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
  EXPECT_EQ(enable("Save"), "on");  // every distance save stays open
  EXPECT_EQ(save("SaveLogLengths", "ll.txt"), slurp(kRoad + "expected-log-lengths.txt"));
  EXPECT_EQ(save("SaveConstrained", "c.txt"), slurp(kRoad + "expected-constrained.txt"));
  std::vector<std::string> titles;
  for (const auto& d : platform.dialogs()) titles.push_back(d.title);
  EXPECT_EQ(titles, (std::vector<std::string>{"Open a TPS landmark file", "Open a pair list",
                                              "Save the distances as", "Save the log distances as",
                                              "Save the constrained distances as"}));
  std::vector<std::string> suggested, filters;
  for (const auto& d : platform.dialogs()) suggested.push_back(d.suggested);
  for (const auto& d : platform.dialogs()) filters.push_back(d.filter);
  EXPECT_EQ(suggested,
            (std::vector<std::string>{"", "", "small-distances.txt", "small-log-distances.txt",
                                      "small-constrained.txt"}));
  EXPECT_EQ(filters, (std::vector<std::string>{"*.tps;*.TPS", "*.txt", "*.txt", "*.txt", "*.txt"}));
  // Saves start in the sample's folder, wherever the pair list came from.
  EXPECT_EQ(platform.dialogs().back().folder, split_path(kRoad + "small.tps").folder);
  EXPECT_EQ(console.str(), "");
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
  EXPECT_EQ(flat_data(session.handler)(6, 24), 624);
  EXPECT_EQ(flat_data(session.handler)(0, 1), 1);
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
}

TEST_F(RoadTest, CancelledOrFailedLoadsChangeNothing) {
  load_tps(kRoad + "small.tps");
  load_pairs(kRoad + "pairs.txt");
  Matrix data = flat_data(session.handler), pairs = session.handler.tlengths;
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

  EXPECT_EQ(flat_data(session.handler), data);
  EXPECT_EQ(session.handler.tlengths, pairs);
  EXPECT_EQ(session.graphics.findall(0), objects);
  EXPECT_EQ(box("DataBox"), data_box);
  EXPECT_EQ(enable("Load"), "off");
}

// small.tps split after its second and third specimens.
TEST_F(RoadTest, SeveralFilesLoadAsTheirConcatenation) {
  const std::string text = slurp(kRoad + "small.tps");
  const std::size_t second = text.find("lm=4"), third = text.find("LM=4", second);
  const std::vector<std::string> parts{file("a.tps", text.substr(0, second)),
                                       file("b.tps", text.substr(second, third - second)),
                                       file("c.tps", text.substr(third))};
  load_tps(kRoad + "small.tps");
  const Matrix whole = flat_data(session.handler);
  platform.answer_files(parts);
  run("GetTPSData");
  EXPECT_EQ(flat_data(session.handler), whole);
  EXPECT_EQ(box("DataBox").at(0), "a.tps and 2 more files");

  platform.answer_files({parts[0], file("three.tps", "LM=3\n0 0\n1 0\n0 1\n")});
  EXPECT_THROW_MSG(run("GetTPSData"), "\"" + (out / "three.tps").string() +
                                          "\" has 3 landmarks per specimen where \"" + parts[0] +
                                          "\" has 4; files loaded as one sample must have the "
                                          "same landmark count.");
  EXPECT_EQ(flat_data(session.handler), whole);
}

// small.tps and a fifth specimen: the first one again with its third
// landmark written as a sentinel, under an ID already used.
TEST_F(RoadTest, MissingLandmarksWarnByDefaultAndLeaveTheRestExactWhenTreatedAsMissing) {
  const std::string fifth = "LM=4\n10.0 20.0\n14.5 21.25\n-1000001 -1000001\n9.25 24.5\nID=2\n";
  const std::string path = file("five.tps", slurp(kRoad + "small.tps") + fifth);
  load_tps(path);
  EXPECT_EQ(flat_data(session.handler).rows(), 5u);
  EXPECT_EQ(console.str(),
            "Warning: specimen 5 (ID=2): centroid size 1.22e+06 is 173534 times the sample's "
            "median; missing landmarks written as numbers?\n"
            "Warning: ID=2 is shared by specimens 2 and 5.\n");

  console.str("");
  session.tps_options.missing = true;
  session.tps_options.missing_code = -1000001;
  load_tps(path);
  EXPECT_EQ(console.str(), "Warning: \"" + path +
                               "\": 1 of 5 specimens has missing landmarks (landmark 3); they are "
                               "kept, and every distance or angle that uses a missing landmark is "
                               "NaN.\nWarning: ID=2 is shared by specimens 2 and 5.\n");
  session.handler.tlengths = Matrix({{1, 1, 2}, {2, 1, 3}, {3, 2, 4}});
  run("CalcLengths");
  // The fifth specimen's distances as read: log(hypot(4.5, 1.25)) and log(hypot(5.25, 3.25)).
  const std::string log = save("SaveLogLengths", "log.txt");
  EXPECT_EQ(log.substr(log.rfind('\n', log.size() - 2) + 1), "1.54124 NaN 1.82044 NaN  \n");
  const std::string constrained = save("SaveConstrained", "constrained.txt");
  EXPECT_EQ(constrained.substr(constrained.rfind('\n', constrained.size() - 2) + 1),
            "NaN NaN NaN NaN  \n");
}

TEST_F(RoadTest, SavesReplaceFilesOnlyWhenWholeAndReportFailures) {
  load_tps(kRoad + "small.tps");
  load_pairs(kRoad + "pairs.txt");
  run("CalcLengths");
  file("old.txt", "old contents\n");
  EXPECT_EQ(save("SaveLengths", "old.txt"), slurp(kRoad + "expected-lengths.txt"));

  // A folder in the way: the new file is complete before the replacement
  // fails, and it is removed; "Save" stays on.
  fs::create_directory(out / "folder");
  run("CalcLengths");
  platform.answer((out / "folder").string());
  EXPECT_THROW_MSG(run("SaveLengths"), "Cannot write \"" + (out / "folder").string() +
                                           "\": Is a directory; the file was left as it was.");
  EXPECT_TRUE(fs::is_empty(out / "folder"));
  EXPECT_EQ(enable("Save"), "on");
  for (const auto& entry : fs::directory_iterator(out)) {
    EXPECT_EQ(entry.path().filename().string().find(".folder."), std::string::npos)
        << "temporary file left: " << entry.path();
  }
}

TEST_F(RoadTest, ANewSampleDropsTheDistancesAndChecksTheKeptLists) {
  load_tps(kRoad + "small.tps");
  load_pairs(kRoad + "pairs.txt");
  answer_run(file("t.txt", "1 1 2 4\n"), "GetAngles");
  run("CalcLengths");
  platform.answer_unsaved(Platform::Unsaved::discard);  // never saved: Clear asks first
  run("Clear");
  file("one.tps", "LM=4\n0 0\n1 0\n1 1\n0 1\n");
  load_tps((out / "one.tps").string());
  EXPECT_TRUE(session.handler.traddata.empty());
  EXPECT_EQ(box("LengthBox"), (std::vector<std::string>{"5 pairs from pairs.txt (fit this sample)",
                                                        "1 triple from t.txt (fit this sample)"}));
  EXPECT_EQ(drawn(), 4u + 5 * 2 + 3);  // the kept lists are drawn on the new sample
  load_pairs(kRoad + "pairs.txt");     // and a list loaded again replaces its drawing
  EXPECT_EQ(drawn(), 4u + 5 * 2 + 3);
  EXPECT_EQ(enable("Calc"), "on");
  run("CalcLengths");
  ASSERT_EQ(session.handler.traddata.rows(), 1u);
  EXPECT_NEAR(session.handler.traddata(0, 0), 1, 1e-12);             // landmarks 1-2
  EXPECT_NEAR(session.handler.traddata(0, 1), std::sqrt(2), 1e-12);  // landmarks 1-3

  // A sample the kept pairs do not fit: said in the box, and nothing to calculate.
  platform.answer_unsaved(Platform::Unsaved::discard);
  run("Clear");
  load_tps(file("three.tps", "LM=3\n0 0\n1 0\n1 1\n"));
  EXPECT_EQ(box("LengthBox"),
            (std::vector<std::string>{"5 pairs from pairs.txt do not fit: landmark 4 of 3",
                                      "1 triple from t.txt do not fit: landmark 4 of 3"}));
  EXPECT_EQ(drawn(), 3u);
  EXPECT_EQ(enable("Calc"), "off");
  EXPECT_EQ(enable("GetPairs"), "on");
  EXPECT_THROW_HAS(run("CalcLengths"), "Pair 3 names landmark 4");
}

}  // namespace
}  // namespace dg

#include "input/tps_scan.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "input/input_test_support.hpp"
#include "morpho/centsize.hpp"
#include "test_support.hpp"

namespace dg {
namespace {

// Every text read here is also read in windows and on two threads, which
// must give the same rows, records, warnings and messages.
TpsData tps(std::string_view text, const TpsOptions& options, RowSize size_of = nullptr) {
  expect_windowed_reads_agree(text, "t.tps", options, size_of);
  return read_tps(text, "t.tps", options, size_of);
}

TpsData tps(std::string_view text, bool with_scale = false) {
  TpsOptions options;
  options.with_scale = with_scale;
  return tps(text, options);
}

TpsData named(std::string_view text) {
  TpsOptions options;
  options.names = true;
  return tps(text, options);
}

const Matrix kTwoSpecimens{{1, 2, 3, 4}, {5, 6, 7, 8}};
constexpr double kNaN = NAN;

TEST(TpsScanKeyword, AnyLetterCaseStartsASpecimen) {
  for (const std::string kw : {"LM=", "lm=", "Lm=", "lM="}) {
    EXPECT_EQ(tps(kw + "2\n1 2\n3 4\n" + kw + "2\n5 6\n7 8\n").coordinates, kTwoSpecimens) << kw;
  }
}

TEST(TpsScanKeyword, AKeywordIsAWholeWordAtTheStartOfALine) {
  EXPECT_EQ(tps(" \tLM=2\n1 2\n3 4\nIMAGE=realm=1.jpg\nID=x LM=9\n\tlm=2\n5 6\n7 8\n").coordinates,
            kTwoSpecimens);
  // A digit or blank inside the keyword hides it too.
  EXPECT_EQ(tps("LM=2\n1 2\n3 4\nLM3D=9\nLM =9\nLM=2\n5 6\n7 8\n").coordinates, kTwoSpecimens);
  for (const char* text :
       {"LLM=2\n1 2\nALM=2\nID=LM=2\n", "LM3D=2\n1 2\n3 4\n", "LM =2\n1 2\n3 4\nXLM3=2\n", ""}) {
    EXPECT_ERROR_MSG(tps(text), "No LM= keyword found in \"t.tps\".");
  }
  // Only SCALE= itself gives the factor, not a key that ends like it.
  const std::string two = "LM=2\n1 2\n3 4\nSAMPLE=3\nID=female=3\n SCALE=2\n";
  EXPECT_EQ(tps(two + "LM=2\n5 6\n7 8\nSCALE=1\n", true).coordinates,
            (Matrix{{2, 4, 6, 8}, {5, 6, 7, 8}}));
}

TEST(TpsScanKeyword, ByteOrderMarkAndLoneCarriageReturns) {
  EXPECT_EQ(tps("\xEF\xBB\xBFLM=2\r1 2\r3 4\rLM=2\r5 6\r7 8\r").coordinates, kTwoSpecimens);
  EXPECT_ERROR_MSG(tps("LM=2\r1 2\r3 4\rLM=2\r5 6\r7 \x01x\r"),
                   "\"t.tps\", specimen 2 (line 4): found 3 numbers where 4 were expected "
                   "(2 landmarks); reading stopped at \"\\x01x\" (line 6).");
  EXPECT_ERROR_MSG(
      tps("LM=2\n1 2\n3 1e999\n"),
      "\"t.tps\", specimen 1 (line 1): \"1e999\" on line 3 is too large for a number.");
}

const Matrix kTwoSolids{{1, 2, 3, 4, 5, 6}, {7, 8, 9, 10, 11, 12}};

TEST(TpsScan3D, Lm3StartsA3DSpecimenAndLmDoesWhenAsked) {
  const std::string lm3 = " LM3=2\n1 2 3\n4 5 6\nID=a\nlm3=2\r\n7 8 9\r\n10 11 12\r\n";
  const TpsData d = tps(lm3, TpsOptions{}, centsize);
  EXPECT_EQ(d.dimensions, 3u);
  EXPECT_EQ(d.sizes.at(1), centsize(kTwoSolids.row(1), 3));
  EXPECT_EQ(d.coordinates, kTwoSolids);
  EXPECT_EQ(d.records[1].line, 5u);
  TpsOptions solid;
  solid.dimensions = 3;
  const std::string lm = "LM=2\n1 2 3\n4 5 6\nLM=2\n7 8 9\n10 11 12\n";
  EXPECT_EQ(tps(lm, solid).coordinates, kTwoSolids);
  EXPECT_EQ(tps(lm3, solid).coordinates, kTwoSolids);
  EXPECT_EQ(tps("LM=2\n1 2\n3 4\n").dimensions, 2u);
  // The checks of a 2-D read, counted in threes.
  EXPECT_ERROR_MSG(tps("LM3=2\n1 2 3\n4 5\nID=x\n"),
                   "\"t.tps\", specimen 1 (ID=x, line 1): found 5 numbers where 6 were expected (2 "
                   "landmarks); reading stopped at \"ID=x\" (line 4).");
  EXPECT_ERROR_MSG(tps("LM=1\n1 2 3 4\n", solid),
                   "\"t.tps\", specimen 1 (line 1): holds 4 numbers where LM=1 announces 3 (x, y "
                   "and z of each landmark).");
  EXPECT_ERROR_MSG(tps("LM3=x\n1 2 3\n"),
                   "\"t.tps\", specimen 1 (line 1): LM3= is followed by no "
                   "landmark count; reading stopped at \"x\" (line 1).");
  EXPECT_ERROR_MSG(tps("LM=1\n1 2\nLM3=1\n1 2 3\n"),
                   "\"t.tps\", specimen 2 (line 3): LM3=1 starts a 3-D specimen where the file's "
                   "first specimen starts with LM=; a file cannot mix LM= and LM3= specimens.");
  EXPECT_ERROR_MSG(tps("LM3=1\n1 2 3\nLM=1\n1 2 3\n", solid),
                   "\"t.tps\", specimen 2 (line 3): LM=1 starts a 2-D specimen where the file's "
                   "first specimen starts with LM3=; a file cannot mix LM= and LM3= specimens.");
  TpsOptions missing;
  missing.missing = true;
  const TpsData gaps = tps("LM3=2\n1 NA 3\n4 5 6\nLM3=2\n1 2 3\n4 5 -6\n", missing);
  EXPECT_TRUE(
      same_values(gaps.coordinates, Matrix{{kNaN, kNaN, kNaN, 4, 5, 6}, {1, 2, 3, 4, 5, -6}}));
  EXPECT_EQ(gaps.incomplete, 1u);
}

TEST(TpsScanLayout, CoordinatesMayBeBrokenAnywhere) {
  const char* layouts[] = {
      "LM=2\n1 2 3 4\nLM=2\n5 6 7 8\n",
      "LM=  2\n1\n2 3\n\n\n4\nLM=\t2\n 5\t6 \n7\n8",
      "\n\nLM=2\n\n1 2\n\n3 4\n\n\nLM=2\n5 6\n7 8\n\n",
      "LM=2\r\n1 2\r\n3 4\r\nLM=2\r\n5 6\r\n7 8",
  };
  for (const char* text : layouts) EXPECT_EQ(tps(text).coordinates, kTwoSpecimens) << text;
}

TEST(TpsScanLayout, TheNamelistHoldsTheRestOfEachKeywordLineWithItsLineEnd) {
  const TpsData lf = named("LM=2 name-a\n1 2\n3 4\nLM=2\n5 6\n7 8\n");
  const TpsData crlf = named("LM=2 name-a\r\n1 2\r\n3 4\r\nLM=2\r\n5 6\r\n7 8\r\n");
  EXPECT_EQ(lf.namelist, (std::vector<std::string>{" name-a\n", "\n"}));
  EXPECT_EQ(crlf.namelist, (std::vector<std::string>{" name-a\r\n", "\r\n"}));
  EXPECT_TRUE(crlf.warnings.empty());
  // Numbers on the keyword line belong to it.
  const TpsData d = named("LM=2 9 9 9 9\n1 2\n3 4\n");
  EXPECT_EQ(d.coordinates, (Matrix{{1, 2, 3, 4}}));
  EXPECT_EQ(d.namelist, std::vector<std::string>{" 9 9 9 9\n"});
  // Only the by-name readers ask for the names.
  EXPECT_TRUE(tps("LM=2 9 9 9 9\n1 2\n3 4\n").namelist.empty());
}

TEST(TpsScanLayout, OtherKeywordLinesAndCurvesAreSkipped) {
  const char* text =
      "IMAGE=a.jpg\nCOMMENT=first LM 1\nLM=2\n1 2\n3 4\nIMAGE=LM.jpg\nID=ALL Chill\xE1n\n"
      "SCALE=2\nCOMMENT=lm\nLM=2\n5 6\n7 8\nCURVES=1\nPOINTS=2\n9 9\n9 9\nID=LIBDEP012\n"
      "SCALE=3\nID=last";
  EXPECT_EQ(tps(text).coordinates, kTwoSpecimens);
  EXPECT_EQ(tps(text, true).coordinates, (Matrix{{2, 4, 6, 8}, {15, 18, 21, 24}}));
}

TEST(TpsScanErrors, MissingOrInvalidCount) {
  EXPECT_ERROR_MSG(tps("LM=\nID=a\n1 2\n"),
                   "\"t.tps\", specimen 1 (ID=a, line 1): LM= is followed by no landmark "
                   "count; reading stopped at \"ID=a\" (line 2).");
  EXPECT_ERROR_MSG(tps("LM=2\n1 2\n3 4\nLM="),
                   "\"t.tps\", specimen 2 (line 4): LM= is followed by no landmark count; "
                   "reading stopped at the end of the file.");
  EXPECT_ERROR_MSG(tps("LM=2.5\n1 2\n3 4\n"),
                   "\"t.tps\", specimen 1 (line 1): \"2.5\" is not a valid landmark count.");
}

TEST(TpsScanErrors, SpecimenWithoutCoordinates) {
  EXPECT_ERROR_MSG(tps("LM=0\r\nIMAGE=a b.jpg\r\nID=0\r\nSCALE=0.06\r\nLM=0\r\n"),
                   "\"t.tps\", specimen 1 (ID=0, line 1): no coordinates follow LM=0; "
                   "reading stopped at \"IMAGE=a b.jpg\" (line 2).");
  EXPECT_ERROR_MSG(tps("LM=2\n1 2\n3 4\nLM=0\nIMAGE=P-334.tif\nLM=2\n5 6\n7 8\n"),
                   "\"t.tps\", specimen 2 (line 4): no coordinates follow LM=0; "
                   "reading stopped at \"IMAGE=P-334.tif\" (line 5).");
  EXPECT_ERROR_MSG(tps("LM=2\n1 2\n3 4\nLM=2\n"),
                   "\"t.tps\", specimen 2 (line 4): no coordinates follow LM=2; "
                   "reading stopped at the end of the file.");
}

TEST(TpsScanErrors, ShortSpecimenNamesTheTextThatStoppedIt) {
  EXPECT_ERROR_MSG(tps("LM=2\n1 2\n3 4\nLM=1\n5 6\nID=b\n"),
                   "\"t.tps\", specimen 2 (ID=b, line 4): found 2 numbers where 4 were "
                   "expected (2 landmarks); reading stopped at \"ID=b\" (line 6).");
  EXPECT_ERROR_MSG(tps("LM=2\n1 2\n3"),
                   "\"t.tps\", specimen 1 (line 1): found 3 numbers where 4 were expected "
                   "(2 landmarks); reading stopped at the end of the file.");
  // A number glued to text is text; long text is shortened.
  EXPECT_ERROR_MSG(tps("LM=2\n1 2\n3 4x 0123456789012345678901234567890123456789\n"),
                   "\"t.tps\", specimen 1 (line 1): found 3 numbers where 4 were expected "
                   "(2 landmarks); reading stopped at "
                   "\"4x 0123456789012345678901234567890123456...\" (line 3).");
}

TEST(TpsScanCounts, LargerLaterCountKeepsTheFirstLandmarksWithAWarning) {
  const TpsData d =
      tps("LM=2\n1 2\n3 4\nLM=3\n5 6\n7 8\n9 9\nLM=3\n1 1\n2 2\nID=x\nLM=2\n0 1\n2 3\n");
  EXPECT_EQ(d.coordinates, (Matrix{{1, 2, 3, 4}, {5, 6, 7, 8}, {1, 1, 2, 2}, {0, 1, 2, 3}}));
  EXPECT_EQ(d.warnings,
            (std::vector<std::string>{
                "\"t.tps\", specimen 2 (line 4): LM=3 differs from the first specimen's LM=2; "
                "its first 2 landmarks are kept.",
                "\"t.tps\", specimen 3 (line 8): LM=3 differs from the first specimen's LM=2, "
                "and only 4 of its 6 numbers follow it; its first 2 landmarks are kept."}));
  // Many differing counts give one line that counts them.
  std::string many = "LM=1\n0 0\n";
  for (int i = 0; i < 1000; ++i) many += "LM=2\n1 1 2 2\n";
  EXPECT_EQ(tps(many).warnings,
            std::vector<std::string>{
                "\"t.tps\": 1000 specimens have an LM= count that differs from the first "
                "specimen's LM=1, the first of them specimens 2 (line 3), 3 (line 5) and 4 "
                "(line 7); the first landmark of each is kept."});
}

TEST(TpsScanCounts, MoreNumbersThanTheCountAnnouncesFail) {
  EXPECT_ERROR_MSG(tps("lm=2\tPf-001\r\n10.0\t1\t2\r\n3\t4\t5\r\nlm=2\tPf-002\r\n"),
                   "\"t.tps\", specimen 1 (line 1): holds 6 numbers where LM=2 announces 4 "
                   "(x and y of each landmark); it may be 3-D data.");
  EXPECT_ERROR_MSG(tps("LM=2\n1 2\n3 4\nLM=1\n5 6\n7 8\n"),
                   "\"t.tps\", specimen 2 (line 4): holds 4 numbers where LM=1 announces 2 "
                   "(x and y of each landmark).");
}

TEST(TpsScanScale, EachSpecimenIsMultipliedByItsOwnFactor) {
  const char* text =
      "LM=2\n1 2\n3 4\nSCALE=2\nLM=2\n1 2\n3 4\nID=Lemur L\nscale=0.0125\r\n"
      "LM=2\n1 2\n3 4\nIMAGE=a.jpg\nScale= -1.5e0 \r\nCOMMENT=LLL\nLM=2\n1 2\n3 4\nSCALE=+4";
  const Matrix m = tps(text, true).coordinates;
  const double f = 0.0125;
  EXPECT_EQ(
      m,
      (Matrix{{2, 4, 6, 8}, {1 * f, 2 * f, 3 * f, 4 * f}, {-1.5, -3, -4.5, -6}, {4, 8, 12, 16}}));
  EXPECT_EQ(tps(text, false).coordinates.row(1)[0], 1.0);
}

TEST(TpsScanScale, SpecimenWithoutFactorFailsTheLoad) {
  EXPECT_ERROR_MSG(
      tps("LM=2\n1 2\n3 4\nSCALE=1\nLM=2\n5 6\n7 8\nID=b\nLM=2\n1 1\n2 2\nSCALE=2\n", true),
      "\"t.tps\", specimen 2 (ID=b, line 5): no SCALE= follows its coordinates before "
      "the next LM= (line 9).");
  EXPECT_ERROR_MSG(tps("LM=2\n1 2\n3 4\nSCALE=1\nLM=2\n5 6\n7 8\nID=b\n", true),
                   "\"t.tps\", specimen 2 (ID=b, line 5): no SCALE= follows its coordinates "
                   "before the end of the file.");
  // A factor written before its own keyword belongs to the previous specimen.
  EXPECT_ERROR_MSG(tps("SCALE=1\nLM=2\n1 2\n3 4\nSCALE=2\nLM=2\n5 6\n7 8\n", true),
                   "\"t.tps\", specimen 2 (line 6): no SCALE= follows its coordinates before "
                   "the end of the file.");
}

TEST(TpsScanScale, FactorTextMustBeOneNumber) {
  const std::string head = "LM=2\n1 2\n3 4\n";
  EXPECT_ERROR_MSG(tps(head + "SCALE=0.5 mm\r\n", true),
                   "\"t.tps\", specimen 1 (line 1): SCALE= on line 4 holds \"0.5 mm\", "
                   "which is not a single number.");
  for (const char* bad : {"SCALE=\n", "SCALE=1 2\n", "SCALE=nan\n", "SCALE=abc\n", "SCALE=1,5"}) {
    EXPECT_NE(error_message([&] { tps(head + bad, true); }).find("which is not a single number"),
              std::string::npos)
        << bad;
  }
}

TEST(TpsScanRecords, KeywordValuesOfEachSpecimen) {
  const TpsData d =
      tps("ID=before\nlm=2 a\r\n1 2\r\n3 4\r\n\tImage=  IMAGE=C:\\a b.jpg \t\r\nid=Chill\xE1n \r\n"
          "ID=second\r\nScale= 0.5\r\nCOMMENT=male, left side\r\nVARIABLES=a b\r\nxID=no\r\n"
          "LM=2\n5 6\n7 8\nIMAGE=b.jpg\nLM=2\n1 1\n2 2\n");
  ASSERT_EQ(d.records.size(), 3u);
  const SpecimenRecord& r = d.records[0];
  EXPECT_EQ(r.id(), "Chill\xE1n");
  EXPECT_EQ(r.image(), "IMAGE=C:\\a b.jpg");
  EXPECT_EQ(r.scale(), "0.5");
  EXPECT_EQ(r.comment(), "male, left side");
  EXPECT_EQ(r.variables(), "a b");
  EXPECT_EQ(r.file(), "t.tps");
  EXPECT_EQ(r.line, 2u);
  EXPECT_EQ(r.number, 1u);
  EXPECT_EQ(r.name(), "Chill\xE1n");
  EXPECT_EQ(d.records[1].id(), "");
  EXPECT_EQ(d.records[1].line, 12u);
  EXPECT_EQ(d.records[1].name(), "b.jpg");
  EXPECT_EQ(d.records[2].name(), "3");
  EXPECT_EQ(d.records[2].number, 3u);
  EXPECT_EQ(d.coordinates, (Matrix{{1, 2, 3, 4}, {5, 6, 7, 8}, {1, 1, 2, 2}}));
}

const std::string kCurved =
    "LM=2\n1 2\n3 4\nCURVES=2\nPOINTS=1\n10 11\nPOINTS=2\n12 13 14 15\nID=a\n"
    "LM=2\n5 6\n7 8\ncurves=1\npoints=3\n20 21\n22 23\n24 25\nID=b\n";
const std::string kCurvesNotUsed =
    "; they are not used; load them as extra landmarks with --curves (in the window: File > "
    "Curves as landmarks).";

TEST(TpsScanCurves, SkippedWithOneWarning) {
  const TpsData d = tps(kCurved, TpsOptions{});
  EXPECT_EQ(d.coordinates, kTwoSpecimens);
  EXPECT_EQ(d.curve_points, 0u);
  EXPECT_EQ(d.warnings, std::vector<std::string>{"\"t.tps\": 2 specimens carry curves (3 points "
                                                 "each)" +
                                                 kCurvesNotUsed});
  EXPECT_EQ(
      tps("LM=2\n1 2\n3 4\nCURVES=1\nPOINTS=1\n9 9\n" + kCurved.substr(kCurved.find("LM=2\n5")),
          TpsOptions{})
          .warnings,
      std::vector<std::string>{"\"t.tps\": 2 specimens carry curves (1 to 3 points each)" +
                               kCurvesNotUsed});
  // The points of skipped curves are counted, not read.
  EXPECT_EQ(tps("LM=2\n1 2\n3 4\nLM=2\n5 6\n7 8\nCURVES=1\nPOINTS=72\n", TpsOptions{}).warnings,
            std::vector<std::string>{"\"t.tps\": 1 specimen carries curves (72 points)" +
                                     kCurvesNotUsed});
}

TEST(TpsScanCurves, AppendedAsLandmarksInFileOrder) {
  TpsOptions options;
  options.curves = true;
  const TpsData d = tps(kCurved, options);
  EXPECT_EQ(d.coordinates,
            (Matrix{{1, 2, 3, 4, 10, 11, 12, 13, 14, 15}, {5, 6, 7, 8, 20, 21, 22, 23, 24, 25}}));
  EXPECT_EQ(d.curve_points, 3u);
  EXPECT_TRUE(d.warnings.empty());
  EXPECT_EQ(d.records[1].id(), "b");
  options.with_scale = true;
  const TpsData scaled = tps("LM=1\n1 1\nCURVES=1\nPOINTS=1\n3 1\nSCALE=2\n", options, centsize);
  EXPECT_EQ(scaled.coordinates, (Matrix{{2, 2, 6, 2}}));
  EXPECT_EQ(scaled.sizes, std::vector<double>{std::sqrt(8.0)});
}

TEST(TpsScanCurves, EverySpecimenNeedsTheSameCurvePoints) {
  TpsOptions options;
  options.curves = true;
  const std::string first = kCurved.substr(0, kCurved.find("LM=2\n5"));
  EXPECT_ERROR_MSG(tps(first + "LM=2\n5 6\n7 8\nCURVES=1\nPOINTS=2\n1 1 1 1\nID=b\n", options),
                   "\"t.tps\", specimen 2 (ID=b, line 10): 2 curve points where the first "
                   "specimen has 3; to use curves as landmarks every specimen needs the same "
                   "number.");
  EXPECT_ERROR_MSG(tps(first + "LM=2\n5 6\n7 8\n", options),
                   "\"t.tps\", specimen 2 (line 10): 0 curve points where the first specimen has "
                   "3; to use curves as landmarks every specimen needs the same number.");
  EXPECT_ERROR_MSG(tps("LM=1\n1 2\nCURVES=1\nPOINTS=2\n5 6\n7\nID=x\n", options),
                   "\"t.tps\", specimen 1 (ID=x, line 1): found 3 numbers where 4 were expected "
                   "(POINTS=2 on line 4); reading stopped at \"ID=x\" (line 7).");
  EXPECT_ERROR_MSG(tps("LM=1\n1 2\nCURVES=1\nPOINTS=1\n5 6 7\n", options),
                   "\"t.tps\", specimen 1 (line 1): holds 3 numbers where POINTS=1 on line 4 "
                   "announces 2.");
  EXPECT_ERROR_MSG(tps("LM=1\n1 2\nCURVES=2\nPOINTS=1\n5 6\n", options),
                   "\"t.tps\", specimen 1 (line 1): CURVES=2 on line 3 announces 2 curves where 1 "
                   "POINTS= list follows.");
  EXPECT_ERROR_MSG(tps("LM=1\n1 2\nCURVES=1\nPOINTS=x\n", options),
                   "\"t.tps\", specimen 1 (line 1): POINTS= on line 4 holds \"x\", which is not a "
                   "point count.");
}

const std::string kMissingKept =
    "; they are kept, and every distance or angle that uses a missing landmark is NaN.";

TEST(TpsScanMissing, NaFailsWithoutTheOption) {
  const std::string how =
      " marks a missing landmark; load with --missing (in the window: File > Missing "
      "landmarks) to keep the specimen with that landmark missing.";
  EXPECT_ERROR_MSG(tps("LM=3\n1 2\n3 4\n5 6\nLM=3\r\n1 2\r\nNA NA\r\n5 6\r\n"),
                   "\"t.tps\", specimen 2 (line 5): \"NA\" on line 7" + how);
  EXPECT_ERROR_MSG(tps("LM=1\nNA 2\nID=x\n"),
                   "\"t.tps\", specimen 1 (ID=x, line 1): \"NA\" on line 2" + how);
  TpsOptions curves;
  curves.curves = true;
  EXPECT_ERROR_MSG(tps("LM=1\n1 2\nCURVES=1\nPOINTS=1\n5 NA\n", curves),
                   "\"t.tps\", specimen 1 (line 1): \"NA\" on line 5" + how);
  // Only the whole token NA marks a missing value; nan is a number.
  EXPECT_ERROR_MSG(tps("LM=1\nNAx 2\n"),
                   "\"t.tps\", specimen 1 (line 1): no coordinates follow "
                   "LM=1; reading stopped at \"NAx 2\" (line 2).");
  EXPECT_EQ(tps("LM=1\nnan 2\n").incomplete, 0u);
}

TEST(TpsScanMissing, MissingCoordinatesMakeTheirLandmarkNaN) {
  const std::string text =
      "LM=3\n1 NA\n3 4\n5 6\nLM=3\n1 2\nnan 4\n-1000001 6\nLM=3\n1 2\n-3 4\n5 6\n"
      "LM=3\n1 2\n3 4\n5 6\n";
  TpsOptions options;
  options.missing = true;
  const TpsData d = tps(text, options, centsize);
  EXPECT_TRUE(same_values(d.coordinates, Matrix{{kNaN, kNaN, 3, 4, 5, 6},
                                                {1, 2, kNaN, kNaN, -1000001, 6},
                                                {1, 2, -3, 4, 5, 6},
                                                {1, 2, 3, 4, 5, 6}}));
  EXPECT_TRUE(std::isnan(d.sizes[0]) && std::isnan(d.sizes[1]) && !std::isnan(d.sizes[3]));
  EXPECT_EQ(d.incomplete, 2u);
  EXPECT_EQ(d.warnings, std::vector<std::string>{
                            "\"t.tps\": 2 of 4 specimens have missing landmarks (landmarks 1, 2)" +
                            kMissingKept});

  options.missing_code = -1000001;
  EXPECT_EQ(
      tps(text, options).warnings,
      std::vector<std::string>{
          "\"t.tps\": 2 of 4 specimens have missing landmarks (landmarks 1, 2, 3)" + kMissingKept});
  options.missing_code.reset();
  options.negative_missing = true;
  const TpsData negative = tps(text, options);
  EXPECT_EQ(negative.incomplete, 3u);
  EXPECT_TRUE(std::isnan(negative.coordinates(2, 2)) && std::isnan(negative.coordinates(2, 3)));
  EXPECT_EQ(tps("LM=2\n1 2\nNA 4\nLM=2\n1 2\n3 4\n", options).warnings,
            std::vector<std::string>{
                "\"t.tps\": 1 of 2 specimens has missing landmarks (landmark 2)" + kMissingKept});
}

// The same coordinates at several landmarks, outside the range of the other
// specimens' coordinates of each, look like a missing-value code: found as
// written, in 2-D, in 3-D and with scale factors, but not in centred
// coordinates, inside the others' range, nor in a specimen entered twice.
TEST(TpsScanCodedMissing, RepeatedCoordinatesOutsideTheOthersWarn) {
  const std::string text =
      "LM=3\n10 20\n30 40\n-1 -1\nID=a\nSCALE=0.5\nLM=3\n11 21\n-1 -1\n50 60\nID=b\nSCALE=0.013\n"
      "LM=3\n12 22\n31 41\n-1 -1\nID=c\nSCALE=3\nLM=3\n13 23\n32 42\n51 61\nID=d\nSCALE=7\n";
  const TpsData d = tps(text);
  EXPECT_EQ(d.warnings,
            std::vector<std::string>{
                "\"t.tps\": 3 landmarks in 3 specimens are written as -1 -1, outside the range "
                "of the other specimens' coordinates of those landmarks: a missing-value code? "
                "(specimen 1 (ID=a), specimen 2 (ID=b) and specimen 3 (ID=c)). Load with "
                "--missing --missing-code -1 (in the window: File > Missing landmarks and "
                "Missing-value code...) to read them as missing."});
  ASSERT_EQ(d.coded.size(), 1u);
  EXPECT_EQ(d.coded[0].code, -1);
  EXPECT_EQ(tps(text, true).warnings, d.warnings);
  TpsOptions as_missing;
  as_missing.missing = true;
  as_missing.missing_code = -1;
  EXPECT_TRUE(tps(text, as_missing).coded.empty());

  const TpsData solid =
      tps("LM3=2\n1 2 3\n-9 -9 -9\nLM3=2\n-9 -9 -9\n4 5 6\nLM3=2\n1.5 2.5 3.5\n-9 -9 -9\n"
          "LM3=2\n1.2 2.2 3.2\n4.5 5.5 6.5\n");
  ASSERT_EQ(solid.warnings.size(), 1u);
  EXPECT_EQ(
      solid.warnings[0].find("\"t.tps\": 3 landmarks in 3 specimens are written as -9 -9 -9, "),
      0u);

  // Superimposed coordinates: negative everywhere, no pair repeated.
  EXPECT_TRUE(
      tps("LM=3\n-0.5 -0.3\n0.1 0.6\n0.4 -0.3\nLM=3\n-0.48 -0.31\n0.12 0.58\n0.36 -0.27\n"
          "LM=3\n-0.52 -0.29\n0.09 0.61\n0.43 -0.32\nLM=3\n-0.47 -0.32\n0.1 0.62\n0.37 -0.3\n")
          .warnings.empty());
  // 5 5 lies inside the others' range at its second landmark.
  EXPECT_TRUE(
      tps("LM=2\n5 5\n5 5\nLM=2\n6 7\n5 5\nLM=2\n7 8\n1 2\nLM=2\n8 9\n9 9\n").coded.empty());
  // The third specimen is the second entered again: its extreme landmark repeats.
  EXPECT_TRUE(tps("LM=2\n1 2\n3 4\nLM=2\n0.5 1.5\n3.1 4.1\nLM=2\n0.5 1.5\n3.1 4.1\n"
                  "LM=2\n0.5 1.5\n2.9 3.9\nLM=2\n1.1 2.1\n3 4\nLM=2\n1.2 2.2\n3.2 4.2\n")
                  .coded.empty());
}

// A sample of many specimens in every layout the reader meets: each line end,
// blanks before keywords, records, scale factors, curves, NA, differing counts.
std::string generated_sample(unsigned seed, bool na) {
  std::mt19937 random(seed);
  const auto pick = [&](std::size_t n) { return random() % n; };
  const char* ends[] = {"\n", "\r\n", "\r"};
  std::string text;
  for (int s = 1; s <= 300; ++s) {
    const std::string nl = ends[pick(3)];
    const std::size_t count = pick(20) == 0 ? 4 : 3;
    text += std::string(pick(3), ' ') + (pick(2) ? "LM=" : "lm=") + std::to_string(count) + nl;
    const std::size_t numbers = count == 4 && pick(2) ? 6 : 2 * count;
    for (std::size_t i = 0; i < numbers; ++i) {
      text += na && pick(60) == 0 ? std::string("NA") : std::to_string(pick(2000) / 7.0 - 100);
      text += i % 2 ? nl : std::string(1 + pick(3), pick(2) ? ' ' : '\t');
    }
    if (pick(8) == 0) text += "CURVES=1" + nl + "POINTS=2" + nl + "1 2" + nl + "3 4" + nl;
    if (pick(2)) text += "ID=specimen " + std::to_string(s) + nl;
    text += "SCALE=0." + std::to_string(1 + pick(99)) + nl;
    if (pick(4) == 0) text += "IMAGE=img" + std::to_string(s) + ".jpg" + nl;
  }
  return text;
}

TEST(TpsScanWindows, AGeneratedSampleReadsAlikeInWindowsAndOnThreads) {
  std::vector<TpsOptions> ways(4);
  ways[1].with_scale = true;
  ways[2].missing = true;
  ways[3].curves = ways[3].missing = ways[3].names = true;
  for (unsigned seed = 1; seed <= 3; ++seed) {
    for (const TpsOptions& options : ways) {
      const std::string sample = generated_sample(seed, options.missing);
      expect_windowed_reads_agree(sample, "g.tps", options, centsize);
      // All but curves as landmarks (which most specimens lack) load.
      if (!options.curves) {
        EXPECT_EQ(read_tps(sample, "g.tps", options).coordinates.rows(), 300u);
      }
    }
    std::string text = generated_sample(seed, false);
    // With errors in several shares, the first specimen's error is raised.
    const std::size_t bad = text.find("LM=3", text.size() / 3);
    text.replace(text.find("LM=3", 2 * text.size() / 3), 4, "LM=x");
    text.replace(bad, 4, "LM=-1");
    expect_windowed_reads_agree(text, "g.tps", ways[0]);
    EXPECT_NE(
        error_message([&] { read_tps(text, "g.tps", ways[0]); }).find("\"-1\" is not a valid"),
        std::string::npos);
  }
}

// A file written to between the first pass and the reading: its second
// specimen's keyword is gone by then.
TEST(TpsScanWindows, AFileThatChangesWhileReadIsRefused) {
  struct Changing final : TpsSource {
    std::uint64_t size() const override { return 18; }
    std::size_t read(std::uint64_t offset, char* p, std::size_t n) const override {
      if (offset == 0) ++starts;  // the byte-order mark, the first pass, the reading
      const std::string_view text =
          starts < 3 ? "LM=1\n1 2\nLM=1\n3 4\n" : "LM=1\n1 2\nXX=1\n3 4\n";
      return text.copy(p, n, offset);
    }
    mutable int starts = 0;
  };
  set_thread_count(1);
  EXPECT_ERROR_MSG(read_tps_windowed(Changing(), "c.tps", TpsOptions{}),
                   "\"c.tps\" changed while it was read; read it again.");
  set_thread_count(0);
}

using TpsScanFiles = ScratchTest;

TEST_F(TpsScanFiles, SeveralFilesReadAsOneSample) {
  const std::string a_text = "LM=2\n1 2\n3 4\nID=a1\nLM=2\n5 6\n7 8\nID=a2\n";
  const std::string b_text = "LM=2 x\n9 9\n8 8\nID=b1\n";
  const std::string a = file("a.tps", a_text), b = file("b.tps", b_text);
  TpsOptions options;
  options.names = true;
  const TpsData both = read_tps_files({a, b}, options, centsize);
  const TpsData one = tps(a_text + b_text, options, centsize);
  EXPECT_EQ(both.coordinates, one.coordinates);
  EXPECT_EQ(both.namelist, one.namelist);
  ASSERT_EQ(both.records.size(), 3u);
  EXPECT_EQ(both.records[1].file(), a);
  EXPECT_EQ(both.records[2].file(), b);
  EXPECT_EQ(both.records[2].id(), "b1");
  EXPECT_EQ(both.records[2].number, 1u);
  // A differing landmark count is refused in the window's load of several files.
  const std::string d = file("d.tps", "LM3=2\n1 1 1\n2 2 2\n");
  EXPECT_ERROR_MSG(
      read_tps_files({a, d}, options),
      "\"" + d + "\" holds 3-D specimens where \"" + a +
          "\" holds 2-D ones; files loaded as one sample must have the same dimension.");
  options.dimensions = 3;
  EXPECT_EQ(read_tps_files({d, d}, options).coordinates,
            (Matrix{{1, 1, 1, 2, 2, 2}, {1, 1, 1, 2, 2, 2}}));
}

// Files of a few bytes have no keyword on any thread count, and a line longer
// than the window is read past rather than held.
TEST(TpsScanFile, ShortFilesAndLongLinesWithoutKeywordAreRefused) {
  const std::string path = testing::TempDir() + "/reader_short.tps";
  for (const std::string bytes : {"", "a", "\n\n", "LM", "\xEF\xBB\xBF", "\xEF\xBB\xBFL"}) {
    std::ofstream(path, std::ios::binary) << bytes;
    for (std::size_t threads : {1, 2, 3, 64}) {
      set_thread_count(threads);
      EXPECT_ERROR_MSG(read_tps_file(path, false), "No LM= keyword found in \"" + path + "\".")
          << threads << " threads, " << bytes.size() << " bytes";
    }
  }
  // More threads than bytes after a byte-order mark: the first line is read.
  std::ofstream(path, std::ios::binary) << "\xEF\xBB\xBFLM=1\n1 2\nLM=1\n3 4\n";
  set_thread_count(64);
  EXPECT_EQ(read_tps_file(path, false).coordinates, (Matrix{{1, 2}, {3, 4}}));

  // The largest read a source is asked for is the window's.
  struct Counting final : TpsSource {
    explicit Counting(std::string text) : text(std::move(text)) {}
    std::uint64_t size() const override { return text.size(); }
    std::size_t read(std::uint64_t offset, char* p, std::size_t n) const override {
      for (std::size_t seen = largest; n > seen && !largest.compare_exchange_weak(seen, n);) {
      }
      return offset < text.size() ? text.copy(p, n, offset) : 0;
    }
    std::string text;
    mutable std::atomic<std::size_t> largest = 0;
  };
  const std::string tail = "\nLM=1\n1 2\nID=a\nLM=1\n3 4\n";
  for (const std::string& text :
       {std::string(100000, 'a'), std::string(100000, ' '), std::string(100000, 'x') + tail,
        std::string(100000, ' ') + tail.substr(1), "ID=" + std::string(100000, 'x') + tail}) {
    for (std::size_t threads : {1, 2}) {
      set_thread_count(threads);
      const Counting source(text);
      EXPECT_EQ(read_outcome([&] { return read_tps_windowed(source, "big.tps", {}, nullptr, 64); }),
                read_outcome([&] { return read_tps(text, "big.tps", false); }))
          << threads << " threads";
      EXPECT_LE(source.largest.load(), 64u);
    }
  }
  EXPECT_ERROR_MSG(read_tps(std::string(100000, 'a'), "big.tps", false),
                   "No LM= keyword found in \"big.tps\".");
  set_thread_count(0);
}

TEST(TpsScanFile, UnreadableFileNamesPathAndReason) {
  EXPECT_ERROR_MSG(read_tps_file("/nonexistent/a.tps", false),
                   "Error on file open: \"/nonexistent/a.tps\" (No such file or directory)");
  EXPECT_ERROR_MSG(read_tps_file("/", false), "Error on file open: \"/\" (Is a directory)");
}

}  // namespace
}  // namespace dg

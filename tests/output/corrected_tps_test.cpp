// Corrected TPS files: only the edited tokens change, on every layout; the
// refusals; the edits log beside the file and its reading for the manifest;
// and copies of published files, compared line by line and loaded again.
#include "output/corrected_tps.hpp"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <vector>

#include "input/missing_code.hpp"
#include "morpho/centsize.hpp"
#include "output/edits_log.hpp"
#include "output/manifest.hpp"
#include "pipeline/load_sample.hpp"
#include "test_support.hpp"

namespace dg {
namespace {

namespace fs = std::filesystem;

constexpr double kNA = std::numeric_limits<double>::quiet_NaN();

LandmarkEdit edit(std::size_t specimen, std::size_t landmark, std::array<double, 3> before,
                  std::array<double, 3> after) {
  return {specimen, landmark, before, after};
}

TpsOptions with_code(std::string_view code) {
  TpsOptions options;
  set_missing_code(options, code);
  return options;
}

TEST(CorrectedTps, ChangesOnlyTheEditedTokens) {
  TpsOptions missing;
  missing.missing = true;
  TpsOptions curves = missing;
  curves.curves = true;
  const struct {
    std::string_view text;
    TpsOptions options;
    std::vector<LandmarkEdit> edits;
    std::string_view expected;
  } cases[] = {
      // The decimals of the token replaced, rounded as printf rounds (0.125 -> 0.12).
      {"LM=2 label 5\n1.50 2.50\n3.50 4.50\nID=a\n",
       {},
       {edit(1, 2, {3.5, 4.5}, {3.456, 0.125})},
       "LM=2 label 5\n1.50 2.50\n3.46 0.12\nID=a\n"},
      // An unchanged coordinate keeps its token; CR LF, lower-case keywords and SCALE= stay.
      {"lm=2\r\n10 +20\r\n30 40\r\nscale=0.5\r\n",
       {},
       {edit(1, 1, {10, 20}, {11.6, 20})},
       "lm=2\r\n12 +20\r\n30 40\r\nscale=0.5\r\n"},
      // Tabs, several landmarks a line, no "-0", a trailing point kept.
      {"LM=3\t\n1\t2\t3. 4   5\t6",
       {},
       {edit(1, 2, {3, 4}, {7.4, -0.2})},
       "LM=3\t\n1\t2\t7. 0   5\t6"},
      // Exponent form: its mantissa decimals, letter case and exponent digits.
      {"LM=1\n3.13045250691872E-001 -1.5E+000 \n",
       {},
       {edit(1, 1, {0.313045250691872, -1.5}, {0.5, -22.5})},
       "LM=1\n5.00000000000000E-001 -2.2E+001 \n"},
      // Restored from NA: the form most used by the specimen's other numbers.
      {"LM=3\nNA NA\n1.25 2.50\n7.5 1.00\n",
       missing,
       {edit(1, 1, {kNA, kNA}, {0.5, 1})},
       "LM=3\n0.50 1.00\n1.25 2.50\n7.5 1.00\n"},
      // Marked missing: the file's own code as written; the fallback is unused.
      {"LM=2\n-1.00000 -1.00000\n5.00000 6.00000\nLM=2\n1.00000 2.00000\n3.00000 4.00000\n",
       with_code("-1"),
       {edit(2, 1, {1, 2}, {kNA, kNA})},
       "LM=2\n-1.00000 -1.00000\n5.00000 6.00000\nLM=2\n-1.00000 -1.00000\n3.00000 4.00000\n"},
      // No mark of its own: the fallback.
      {"LM=2\n1 2\n3 4\n", missing, {edit(1, 2, {3, 4}, {kNA, 4})}, "LM=2\n1 2\nNA NA\n"},
      // 3-D, with a BOM and a Latin-1 ID: one z changes.
      {"\xEF\xBB\xBFLM3=2\n1 2 3\n4 5 6\nID=R\xEDo\n",
       {},
       {edit(1, 2, {4, 5, 6}, {4, 5, 7})},
       "\xEF\xBB\xBFLM3=2\n1 2 3\n4 5 7\nID=R\xEDo\n"},
      // Curves after the landmarks stay, read as points or not.
      {"LM=1\n1 2\nCURVES=1\nPOINTS=1\n1 2\n",
       curves,
       {edit(1, 1, {1, 2}, {3, 2})},
       "LM=1\n3 2\nCURVES=1\nPOINTS=1\n1 2\n"},
      // A later count above the first: its first landmark is the one edited.
      {"LM=1\n1 2\nLM=2\n3 4\n5 6\n",
       {},
       {edit(2, 1, {3, 4}, {3, 9})},
       "LM=1\n1 2\nLM=2\n3 9\n5 6\n"},
      // A chain of edits: the last wins; one that ends where the file stands changes nothing.
      {"LM=1\n1 2\n", {}, {edit(1, 1, {1, 2}, {5, 5}), edit(1, 1, {5, 5}, {6, 7})}, "LM=1\n6 7\n"},
      {"LM=1\n1.0 2\n",
       {},
       {edit(1, 1, {1, 2}, {5, 5}), edit(1, 1, {5, 5}, {1, 2})},
       "LM=1\n1.0 2\n"},
      {"LM=2\n-1 5\n1 2\n",
       with_code("-1"),
       {edit(1, 1, {kNA, kNA}, {kNA, kNA})},
       "LM=2\n-1 5\n1 2\n"},
      {"LM=1\n1 2\n", {}, {}, "LM=1\n1 2\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(corrected_tps(c.text, "f.tps", c.edits, c.options, "NA"), c.expected) << c.text;
  }
}

TEST(CorrectedTps, RefusesEditsThatDoNotFitTheFile) {
  const std::string text = "LM=2\n1 2\n3 4\nID=a\nLM=2\n5 6\n7 8\n";
  const TpsOptions negative = with_code("negative");
  const struct {
    std::vector<LandmarkEdit> edits;
    TpsOptions options;
    std::string_view fallback;
    std::string message;
  } cases[] = {
      {{edit(3, 1, {1, 2}, {1, 3})},
       {},
       "NA",
       "\"f.tps\": there is no specimen 3 (the file holds 2), so nothing was written."},
      {{edit(1, 0, {1, 2}, {1, 3})},
       {},
       "NA",
       "\"f.tps\", specimen 1 (ID=a, line 1): there is no landmark 0 (its specimens have 2), so "
       "nothing was written."},
      {{edit(2, 2, {7, 9}, {1, 3})},
       {},
       "NA",
       "\"f.tps\", specimen 2 (line 5), landmark 2: the file holds 7 8 where the edit starts from "
       "7 9; the file changed since it was loaded, so nothing was written."},
      {{edit(1, 1, {1, 2}, {1, 3}), edit(1, 1, {1, 2}, {1, 4})},
       {},
       "NA",
       "\"f.tps\", specimen 1 (ID=a, line 1), landmark 1: an earlier edit leaves it at 1 3 where "
       "the edit starts from 1 2, so nothing was written."},
      {{edit(1, 1, {1, 2}, {kNA, kNA})}, {}, "-1", ""},
      {{edit(1, 1, {1, 2}, {kNA, kNA})},
       {},
       "5",
       "\"f.tps\" has no mark of a missing landmark of its own, and \"5\" is neither NA nor a "
       "negative number, so nothing was written."},
      {{edit(1, 1, {1, 2}, {1, INFINITY})},
       {},
       "NA",
       "\"f.tps\", specimen 1 (ID=a, line 1), landmark 1: the new value Inf is not a finite "
       "number, so nothing was written."},
      {{edit(1, 1, {1, 2}, {-0.4, -3})},
       negative,
       "NA",
       "\"f.tps\", specimen 1 (ID=a, line 1), landmark 1: the new value -3, written -3, would be "
       "read as missing, so nothing was written."},
  };
  for (const auto& c : cases) {
    if (c.message.empty()) {
      EXPECT_EQ(corrected_tps(text, "f.tps", c.edits, c.options, c.fallback),
                "LM=2\n-1 -1\n3 4\nID=a\nLM=2\n5 6\n7 8\n");
    } else {
      EXPECT_THROW_MSG(corrected_tps(text, "f.tps", c.edits, c.options, c.fallback), c.message);
    }
  }
  // The reader's own refusal comes first.
  EXPECT_THROW_HAS(corrected_tps("LM=1\nNA NA\n", "f.tps", {}, {}, "NA"), "\"f.tps\", specimen 1");
}

class SaveCorrectedTpsTest : public ScratchTest {};

TEST_F(SaveCorrectedTpsTest, WritesTheFileAndAppendsToItsLog) {
  const std::string original = file("a.tps", "LM=2\n1.0 2.0\n3.0 4.0\nID=x,\"y\"\xE9\n");
  const std::string out = at("b.tps");
  const LandmarkEdit first[] = {edit(1, 2, {3, 4}, {3.25, kNA}), edit(1, 1, {1, 2}, {1, 2})};
  TpsOptions missing;
  missing.missing = true;
  save_corrected_tps(original, out, first, missing, "-1", "2024-05-01T10:00:00");
  EXPECT_EQ(contents(out), "LM=2\n1.0 2.0\n-1 -1\nID=x,\"y\"\xE9\n");
  EXPECT_EQ(edits_log_path(out), at("b.edits.csv"));
  const std::string header = "specimen,id,landmark,old_x,old_y,new_x,new_y,time\n";
  // The edit that changes nothing is not logged; the ID is quoted and in UTF-8.
  const std::string row1 = "1,\"x,\"\"y\"\"\xC3\xA9\",2,3.0,4.0,NA,NA,2024-05-01T10:00:00\n";
  EXPECT_EQ(contents(at("b.edits.csv")), header + row1);

  // Saved again in place: the log grows by a row, its header once.
  const LandmarkEdit second[] = {edit(1, 1, {1, 2}, {0.04, 2})};
  save_corrected_tps(out, out, second, missing, "-1", "later, \"quoted\"\nline");
  EXPECT_EQ(contents(out), "LM=2\n0.0 2.0\n-1 -1\nID=x,\"y\"\xE9\n");
  const std::string row2 =
      "1,\"x,\"\"y\"\"\xC3\xA9\",1,1.0,2.0,0.0,2.0,\"later, \"\"quoted\"\" line\"\n";
  EXPECT_EQ(contents(at("b.edits.csv")), header + row1 + row2);

  // The manifest's reading of the log.
  std::vector<std::string> warnings;
  const std::optional<EditsLog> log = read_edits_log(out, warnings);
  ASSERT_TRUE(log.has_value());
  EXPECT_TRUE(warnings.empty());
  RunManifest run;
  run.inputs = {{"sample", out, log}};
  EXPECT_EQ(manifest_json(run)["inputs"][0]["edits"].dump(),
            R"({"log":"b.edits.csv","rows":[{"specimen":1,"id":"x,\"y\"é","landmark":2,)"
            R"("old":[3,4],"new":[null,null],"time":"2024-05-01T10:00:00"},)"
            R"({"specimen":1,"id":"x,\"y\"é","landmark":1,"old":[1,2],"new":[0,2],)"
            R"("time":"later, \"quoted\" line"}]})");
  EXPECT_FALSE(read_edits_log(original, warnings).has_value());
  EXPECT_TRUE(warnings.empty());

  // A 3-D file cannot add to a 2-D log: refused before anything is written.
  const std::string solid = file("b3.tps", "LM3=1\n1 2 3\n");
  const LandmarkEdit lift[] = {edit(1, 1, {1, 2, 3}, {1, 2, 4})};
  EXPECT_THROW_MSG(save_corrected_tps(solid, out, lift, {}, "NA", "t"),
                   "The edits log \"" + at("b.edits.csv") +
                       "\" starts with \"specimen,id,landmark,old_x,old_y,new_x,new_y,time\" where "
                       "\"specimen,id,landmark,old_x,old_y,old_z,new_x,new_y,new_z,time\" was "
                       "expected; nothing was written.");
  EXPECT_EQ(contents(out), "LM=2\n0.0 2.0\n-1 -1\nID=x,\"y\"\xE9\n");
  save_corrected_tps(solid, solid, lift, {}, "NA", "t");
  EXPECT_EQ(contents(at("b3.edits.csv")),
            "specimen,id,landmark,old_x,old_y,old_z,new_x,new_y,new_z,time\n1,1,1,1,2,3,1,2,4,t\n");
}

TEST_F(SaveCorrectedTpsTest, LogsThatCannotBeReadAreLeftOutWithAWarning) {
  const std::string header = edits_log_header(2) + "\n";
  const struct {
    std::string log;
    std::string warning;
  } cases[] = {
      {"", "\" is empty; it is left out of the manifest."},
      {"specimen,id\n", "\", line 1: the header is \"specimen,id\", not \"" + edits_log_header(2) +
                            "\"; it is left out of the manifest."},
      {header + "1,a,2,3,4,5,6,t\n1,\"a,2,3,4,5,6,t\n",
       "\", line 3: a quoted field does not end where its field does; it is left out of the "
       "manifest."},
      {header + "1,a,2,3,x,5,6,t\n",
       "\", line 2: \"x\" is not a coordinate; it is left out of "
       "the manifest."},
  };
  for (const auto& c : cases) {
    file("s.edits.csv", c.log);
    std::vector<std::string> warnings;
    EXPECT_FALSE(read_edits_log(at("s.tps"), warnings).has_value()) << c.log;
    EXPECT_EQ(warnings,
              std::vector<std::string>{"The edits log \"" + at("s.edits.csv") + c.warning});
  }
}

// The lines of `b`, with their line ends, that differ from those of `a`, a
// text of as many lines.
std::vector<std::string> changed_lines(const std::string& a, const std::string& b) {
  std::vector<std::string> changed;
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    const std::size_t x = std::min(a.find('\n', i), a.size() - 1) + 1;
    const std::size_t y = std::min(b.find('\n', j), b.size() - 1) + 1;
    if (a.compare(i, x - i, b, j, y - j) != 0) changed.push_back(b.substr(j, y - j));
    i = x;
    j = y;
  }
  EXPECT_TRUE(i == a.size() && j == b.size());
  return changed;
}

TEST_F(SaveCorrectedTpsTest, CopyOfAPublishedFileChangesOneLineAndLoadsCorrected) {
  SKIP_WITHOUT_REAL_DATA();
  const std::string name = "lizard-maxilla-62spec-k11-neg1missing-winpath.tps";
  const std::string copy = at(name);
  fs::copy_file(file_path(real_data(name)), file_path(copy));
  const std::string published = contents(copy);
  const TpsOptions reading = with_code("-1");

  // A drag: one line differs, in the file's five decimals.
  const LandmarkEdit drag[] = {edit(1, 3, {221, 927}, {223.25, 925.5})};
  save_corrected_tps(copy, copy, drag, reading, "NA", "t1");
  EXPECT_EQ(changed_lines(published, contents(copy)),
            std::vector<std::string>{"223.25000 925.50000\n"});

  // Marked missing: the file's own -1; a missing one restored in the specimen's form.
  const std::string dragged = contents(copy);
  const LandmarkEdit mark[] = {edit(1, 4, {312, 942}, {kNA, kNA})};
  save_corrected_tps(copy, copy, mark, reading, "NA", "t2");
  EXPECT_EQ(changed_lines(dragged, contents(copy)),
            std::vector<std::string>{"-1.00000 -1.00000\n"});
  TpsData expected = read_tps(published, name, reading, centsize);
  Matrix& x = expected.coordinates;
  // The first landmark the file marks missing: its specimen (1-based) and landmark.
  std::size_t specimen = 0, landmark = 0;
  for (std::size_t i = 0; i < x.size() && specimen == 0; ++i) {
    if (std::isnan(x.values()[i])) {
      specimen = i / x.cols() + 1;
      landmark = i % x.cols() / 2 + 1;
    }
  }
  const std::string marked = contents(copy);
  const LandmarkEdit restore[] = {edit(specimen, landmark, {kNA, kNA}, {100, 200})};
  save_corrected_tps(copy, copy, restore, reading, "NA", "t3");
  EXPECT_EQ(changed_lines(marked, contents(copy)),
            std::vector<std::string>{"100.00000 200.00000\n"});
  const std::string log = contents(at("lizard-maxilla-62spec-k11-neg1missing-winpath.edits.csv"));
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 4);

  // Loaded, the corrected file is the published sample with the three edits.
  x(0, 4) = 223.25;
  x(0, 5) = 925.5;
  x(0, 6) = x(0, 7) = kNA;
  x(specimen - 1, 2 * landmark - 2) = 100;
  x(specimen - 1, 2 * landmark - 1) = 200;
  for (std::size_t r : {std::size_t{0}, specimen - 1}) expected.sizes[r] = centsize(x.row(r), 2);
  ++expected.incomplete;
  std::vector<std::string> warnings;
  const Sample want = finish_tps_load(std::move(expected), name, "of " + name, warnings);
  LoadOptions load;
  load.reading = reading;
  const Sample got = load_sample({copy}, load, warnings);
  ASSERT_EQ(got.coordinates.rows(), 62u);
  for (std::size_t i = 0; i < got.coordinates.size(); ++i) {
    const double a = got.coordinates.values()[i], b = want.coordinates.values()[i];
    ASSERT_TRUE(a == b || (std::isnan(a) && std::isnan(b))) << "value " << i;
  }
}

TEST_F(SaveCorrectedTpsTest, CopyOfAPublishedCrLfFileWithScaleFactors) {
  SKIP_WITHOUT_REAL_DATA();
  const std::string name = "bluegill-body-417spec-k19-scale-crlf.TPS";
  const std::string copy = at(name);
  fs::copy_file(file_path(real_data(name)), file_path(copy));
  const std::string published = contents(copy);
  TpsOptions scaled;
  scaled.with_scale = true;
  const TpsData before = read_tps(published, name, false);
  const std::array<double, 3> was{before.coordinates(416, 18), before.coordinates(416, 19)};
  const LandmarkEdit drag[] = {edit(417, 10, was, {was[0] + 1.5, was[1] - 2.25})};
  save_corrected_tps(copy, copy, drag, scaled, "NA", "t");
  const std::vector<std::string> changed = changed_lines(published, contents(copy));
  ASSERT_EQ(changed.size(), 1u);
  EXPECT_EQ(changed[0].substr(changed[0].size() - 2), "\r\n");
  const TpsData after = read_tps(contents(copy), name, scaled);
  const TpsData scaled_before = read_tps(published, name, scaled);
  for (std::size_t i = 0; i < after.coordinates.size(); ++i) {
    if (i == 416 * 38 + 18 || i == 416 * 38 + 19) continue;
    ASSERT_EQ(after.coordinates.values()[i], scaled_before.coordinates.values()[i]) << i;
  }
}

}  // namespace
}  // namespace dg

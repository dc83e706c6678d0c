// The file check: its verdict follows the reader, and its survey of the bytes
// finds what the published files are known to hold.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "input/input_test_support.hpp"
#include "input/tps_check.hpp"

#include "actions/dahand_actions.hpp"
#include "morpho/centsize.hpp"
#include "morpho/partial_fit.hpp"
#include "test_support.hpp"

namespace dg {
namespace {

// What the load actions pass.
const LoadSteps kSteps = actions::load_steps();

CheckReport check(std::string_view text, const TpsOptions& options = {}) {
  return check_tps(text, "t.tps", options, kSteps);
}

// Expects the text report to hold `line` as one whole line.
#define EXPECT_LINE(report, line)                                                                \
  do {                                                                                           \
    const std::string text_ = check_text(report);                                                \
    EXPECT_NE(("\n" + text_).find("\n" + std::string(line) + "\n"), std::string::npos) << text_; \
  } while (false)

TEST(TpsCheck, ACleanFileGivesStatusZeroAndTheWholeReport) {
  const CheckReport r = check("LM=2\n0 0\n3 4\nID=a\nSCALE=2\nLM=2\n0 0\n6 8\nID=b\nSCALE=1\n");
  EXPECT_EQ(check_status(r), 0);
  EXPECT_EQ(check_json(r)["verdict"], "loads");
  EXPECT_EQ(check_text(r),
            "\"t.tps\": 2 specimens, 2 landmarks: loads cleanly.\n"
            "  SCALE=: all 2 specimens have one; a load with scale factors (--tps-scale) would "
            "work.\n"
            "  IDs: every specimen has an ID=.\n"
            "  centroid sizes: median 5.3033; none is over 10 times or under a tenth of it.\n"
            "  line ends: 10 LF; the file ends with a line end.\n"
            "  encoding: ASCII; no byte order mark.\n");
}

TEST(TpsCheck, AFileTheReaderRefusesFailsWithItsMessage) {
  const std::string text = "LM=2\n1 2\nNA NA\nIMAGE=a.jpg\n";
  const std::string message = error_message([&] { read_tps(text, "t.tps", false, centsize); });
  const CheckReport r = check(text);
  EXPECT_EQ(check_status(r), 1);
  const std::string report = check_text(r);
  EXPECT_EQ(report.substr(0, report.find('\n', report.find('\n') + 1) + 1),
            "\"t.tps\": 1 specimen, 2 landmarks: does not load.\n  Error: " + message + "\n");
  EXPECT_LINE(r,
              "  1 landmark in 1 specimen has a coordinate written NA or nan: specimen 1 (line 3, "
              "landmark 2); load with --missing to keep these specimens with those landmarks "
              "missing.");
  EXPECT_LINE(r,
              "  SCALE=: no specimen has one; a load with scale factors (--tps-scale) would fail.");
  EXPECT_LINE(r, "  IDs: no specimen has an ID=; IMAGE= names it.");
  EXPECT_EQ(report.find("centroid sizes"), std::string::npos);

  const std::string missing_file = "/nonexistent/x.tps";
  const CheckReport unread = check_tps_file(missing_file, {}, kSteps);
  EXPECT_EQ(check_status(unread), 1);
  const std::string head = "\"/nonexistent/x.tps\": 0 specimens, 0 landmarks: does not load.\n" +
                           std::string("  Error: ") +
                           error_message([&] { read_tps_file(missing_file, false, centsize); }) +
                           "\n";
  EXPECT_EQ(check_text(unread).substr(0, head.size()), head);

  // Read, but refused by the superimposition that follows.
  TpsOptions missing;
  missing.missing = true;
  const CheckReport incomplete = check("LM=2\nNA 1\n2 3\n", missing);
  EXPECT_EQ(check_status(incomplete), 1);
  EXPECT_EQ(incomplete.error,
            "The only specimen of \"t.tps\" misses landmarks; the superimposition needs at least "
            "one complete specimen.");
}

TEST(TpsCheck, DifferingCountsLoadWithTheReadersWarningsAndAreListed) {
  std::string text = "LM=2\n1 2\n3 4\n\n";
  for (int i = 0; i < 7; ++i) text += "LM=3\n1 2\n3 4\n5 6\n";
  const CheckReport r = check(text);
  EXPECT_EQ(check_status(r), 3);
  EXPECT_EQ(check_json(r)["verdict"], "loads with warnings");
  EXPECT_LINE(r,
              "  7 specimens have an LM= count other than the first specimen's LM=2: specimen 2 "
              "(line 5, LM=3), specimen 3 (line 9, LM=3), specimen 4 (line 13, LM=3), specimen 5 "
              "(line 17, LM=3), specimen 6 (line 21, LM=3), and 2 more.");

  const CheckReport zero = check("LM=2\n1 2\n3 4\nLM=0\nID=x\nLM=2\n1 2\n3 4\n");
  EXPECT_LINE(zero, "  1 specimen has LM=0 (no landmarks): specimen 2 (line 4).");
  EXPECT_LINE(zero,
              "  IDs: 2 of 3 specimens have no ID=; 2 of them have no IMAGE= either and "
              "will be known by number.");
}

TEST(TpsCheck, LineEndsAndEncodingAreTold) {
  const CheckReport latin1 = check("LM=1\r\n1 2\r\nID=Chill\xE1n\r\n");
  EXPECT_LINE(latin1, "  line ends: 3 CRLF; the file ends with a line end.");
  EXPECT_LINE(latin1,
              "  encoding: Latin-1 (not UTF-8), the first byte that is not UTF-8 on line 3; no "
              "byte order mark.");

  const CheckReport mixed = check("\xEF\xBB\xBFLM=2\n1 2\n3 5\rID=H\xC3\xB8y");
  EXPECT_LINE(mixed, "  line ends: mixed, 2 LF and 1 lone CR; the last line has no line end.");
  EXPECT_LINE(mixed, "  encoding: UTF-8; with a byte order mark.");

  // Surrogates, overlong forms and cut sequences are not UTF-8.
  for (const char* bytes : {"\xED\xA0\x80", "\xC0\xAF", "\xE2\x82", "\xF4\x90\x80\x80"}) {
    EXPECT_EQ(check(std::string("LM=1\n1 2\nID=") + bytes + "\n").encoding, "Latin-1 (not UTF-8)")
        << bytes;
  }
  EXPECT_EQ(check("LM=1\n1 2\nID=\xF0\x9F\x90\x9F\n").encoding, "UTF-8");
}

TEST(TpsCheck, HintsAtThreeDimensionalDataAndAMissingValueCode) {
  const CheckReport flat =
      check("lm=2\tPf-001\r\n1\t2\t3\r\n4\t5\t6\r\nlm=2\r\n1 2 3\r\n4 5 6\r\n");
  EXPECT_LINE(flat,
              "  specimen 1 (line 1): lm=2 with 6 numbers: looks like 3-D (x y z) data; load it "
              "as 3-D with --dimensions 3. 2 specimens look like this.");
  TpsOptions solid;
  solid.dimensions = 3;
  const CheckReport read3d = check("lm=2\r\n1 2 3\r\n4 5 6\r\n", solid);
  EXPECT_EQ(read3d.three_d, 0u);
  EXPECT_EQ(read3d.landmarks, 2u);
  const CheckReport lm3 = check("LM3=2\n1 2 3\n4 5 6\nID=a\n");
  EXPECT_EQ(lm3.three_d, 0u);
  // Blocks read as x y z that hold another count: the count is the problem.
  const CheckReport short3 = check("LM3=2\n1 2 3\n4 5 6\nLM3=3\n1 2 3\n4 5 6\n7 8\n9 1 2\n");
  EXPECT_EQ(short3.three_d, 0u);
  EXPECT_LINE(short3,
              "  specimen 2 (line 4): LM3=3 with 11 numbers where LM3=3 announces 9 (x, y and z "
              "of each landmark).");
  EXPECT_EQ(check_json(short3)["three_d_counts"]["first"]["numbers"], 11);
  EXPECT_LINE(check("lm=2\n1 2\n4 5\nlm=1\n1 2\n", solid),
              "  specimen 1 (line 1): lm=2 with 4 numbers where lm=2 announces 6 (x, y and z of "
              "each landmark): looks like 2-D (x y) data; load it without --dimensions 3. 2 "
              "specimens hold another count of numbers than their keyword announces.");

  // The load's warning of a code is the report's only word on it; the load's
  // other warnings (the coinciding landmarks of specimen 2) follow it.
  const std::string coded =
      "LM=2\n1 2\n-999 -999\nLM=2\n-999 -999\n-999 -999\nLM=2\n1 2\n3 4\nLM=2\n5 5\n5 5\n";
  const CheckReport code = check(coded);
  EXPECT_EQ(check_status(code), 3);
  ASSERT_EQ(code.warnings.size(), 2u);
  EXPECT_EQ(code.warnings.back(),
            "\"t.tps\" has specimens with missing (NaN) or coinciding coordinates; the "
            "superimposition stopped after its first pass.");
  const std::string text = check_text(code);
  EXPECT_EQ(text.find("missing-value code"), text.rfind("missing-value code")) << text;
  EXPECT_EQ(check_json(code)["missing"]["code_hint"],
            nlohmann::json({{"value", -999}, {"landmarks", 3}, {"specimens", 2}}));
  TpsOptions with_code;
  with_code.missing = true;
  with_code.missing_code = -999;
  EXPECT_FALSE(check(coded, with_code).code_hint);
}

TEST(TpsCheck, JsonHoldsEveryKeyAsUtf8AndReadsBackEqual) {
  const CheckReport r = check("LM=1\n1 2\nID=Chill\xE1n\nLM=1\nnan 3\nID=Chill\xE1n\n");
  const nlohmann::json j = check_json(r);
  for (const char* key :
       {"file", "verdict", "status", "error", "warnings", "specimens", "landmarks", "lm_counts",
        "missing", "curves", "scale", "ids", "sizes", "three_d", "line_ends", "encoding"}) {
    EXPECT_TRUE(j.contains(key)) << key;
  }
  EXPECT_EQ(j["ids"]["shared"][0]["id"], "Chill\\xE1n");
  EXPECT_EQ(j["ids"]["shared"][0]["specimens"], nlohmann::json({1, 2}));
  EXPECT_EQ(j["missing"]["first"][0],
            nlohmann::json({{"specimen", 2}, {"line", 5}, {"landmark", 1}}));
  EXPECT_TRUE(j["error"].is_null());
  EXPECT_TRUE(j["sizes"]["median"].is_number());
  EXPECT_EQ(nlohmann::json::parse(j.dump()), j);

  const nlohmann::json failed = check_json(check("LM=2\n1 2\n"));
  EXPECT_EQ(failed["verdict"], "fails");
  EXPECT_TRUE(failed["error"].is_string());
  EXPECT_TRUE(failed["sizes"].is_null());
}

TEST(TpsCheckRealFiles, ThePublishedFilesAreSurveyedAsTheyAreKnown) {
  SKIP_WITHOUT_REAL_DATA();
  const auto file = [](const char* name) { return check_tps_file(real_data(name), {}, kSteps); };

  // What each file's check gives: 0 clean, 1 failing, 3 with warnings.
  const std::map<std::string, int> statuses{
      {"bluegill-body-417spec-k19-scale-crlf.TPS", 3},
      {"bluegill-gillraker-36spec-lm0-partialscale-crlf.TPS", 1},
      {"dragonfly-forewing-120spec-k20-noscale.tps", 0},
      {"fixture-lowercase-6spec-k4.tps", 0},
      {"horsefly-wing-1spec-k30-latin1-crlf.tps", 1},
      {"horsefly-wing-60spec-k30-padded-sentinel.tps", 3},
      {"insect-wing-200blocks-k14-mixedk.tps", 1},
      {"lithic-flake-1158spec-k9-blanklines.tps", 0},
      {"lizard-maxilla-34spec-k11-completesubset-crlf.tps", 0},
      {"lizard-maxilla-62spec-k11-neg1missing-winpath.tps", 3},
      {"shape-coords-4spec-k14-exponent.tps", 0},
      {"trilobite-cephala-300spec-k16-curves.tps", 3},
      {"trilobite-phacops-144spec-lm21-3D-tabs-crlf.tps", 1}};
  for (const auto& [name, status] : statuses)
    EXPECT_EQ(check_status(file(name.c_str())), status) << name;

  // The lizard file writes its missing landmarks as -1 -1.
  const std::string lizard = real_data("lizard-maxilla-62spec-k11-neg1missing-winpath.tps");
  EXPECT_EQ(check_tps_file(lizard, {}, kSteps).warnings,
            std::vector<std::string>{
                "\"" + lizard +
                "\": 64 landmarks in 28 specimens are written as -1 -1, outside the range of the "
                "other specimens' coordinates of those landmarks: a missing-value code? (specimen "
                "3 (ID=2), specimen 4 (ID=3), specimen 13 (ID=13), specimen 14 (ID=14), specimen "
                "19 (ID=19) and 23 more). Load with --missing --missing-code -1 (in the window: "
                "File > Missing landmarks and Missing-value code...) to read them as missing."});

  const CheckReport body = file("bluegill-body-417spec-k19-scale-crlf.TPS");
  EXPECT_TRUE(body.loads_with_scale);
  EXPECT_EQ(body.crlf, 9591u);
  EXPECT_EQ(body.lf + body.cr, 0u);

  const CheckReport phacops = file("trilobite-phacops-144spec-lm21-3D-tabs-crlf.tps");
  EXPECT_EQ(phacops.three_d, 144u);

  const CheckReport gill = file("bluegill-gillraker-36spec-lm0-partialscale-crlf.TPS");
  EXPECT_EQ(gill.zero, 36u);
  EXPECT_EQ(gill.without_scale, 6u);
  EXPECT_EQ(gill.without_scale_first[0].specimen, 31u);

  const CheckReport wings = file("insect-wing-200blocks-k14-mixedk.tps");
  ASSERT_EQ(wings.differing, 2u);
  EXPECT_EQ(wings.differing_first[0].line, 1393u);
  EXPECT_EQ(wings.without_id, 200u);
  EXPECT_EQ(wings.without_name, 0u);

  const CheckReport latin1 = file("horsefly-wing-1spec-k30-latin1-crlf.tps");
  EXPECT_EQ(latin1.encoding, "Latin-1 (not UTF-8)");
  EXPECT_EQ(latin1.missing_landmarks, 1u);

  const CheckReport cephala = file("trilobite-cephala-300spec-k16-curves.tps");
  EXPECT_EQ(cephala.missing_landmarks, 34u);
  EXPECT_EQ(cephala.missing_specimens, 15u);
  EXPECT_EQ(cephala.curve_specimens, 300u);
  EXPECT_EQ(cephala.min_curve_points, 72u);
  EXPECT_EQ(cephala.max_curve_points, 72u);
  EXPECT_EQ(cephala.without_scale, 13u);
  EXPECT_EQ(cephala.encoding, "UTF-8");
}

}  // namespace
}  // namespace dg

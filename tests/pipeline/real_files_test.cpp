// Published TPS files loaded and measured by the pipeline give distances
// equal to the raw inter-landmark distances of the file (the files that fail
// to load are checked where they are read).
#include <algorithm>
#include <cmath>
#include <map>

#include "input/tps_scan.hpp"
#include "pipeline_support.hpp"
#include "protocol/all_pairs.hpp"
#include "test_support.hpp"

namespace dg {
namespace {

const std::string kReal = real_data("");

struct Loadable {
  const char* file;
  std::size_t specimens;
  std::size_t landmarks;
  std::size_t missing;  // specimens with NaN coordinates
};

class RealFilesTest : public ::testing::Test {
 protected:
  Sample load_real(const std::string& file, std::vector<std::string>* warnings = nullptr) {
    return load(kReal + file, options, SampleFormat::tps, warnings);
  }
  // Distances of a sample over all_pairs against those of the raw
  // coordinates. A coordinate that is NaN or equals `code` is missing: with
  // missing values on, a distance to it is NaN and the rest are the raw ones;
  // otherwise any NaN makes the whole specimen NaN.
  void expect_raw_distances(const Sample& sample, const Loadable& f, double code) {
    ASSERT_EQ(sample.specimens(), f.specimens);
    ASSERT_EQ(sample.coordinates.cols(), 2 * f.landmarks);
    const Matrix pairs = first_pairs(f.landmarks);
    const Matrix dist = distances(sample, pairs);
    const bool kept = options.missing;  // missing values on
    const Matrix raw = read_tps_file(kReal + f.file, false).coordinates;
    const auto gone = [&](double v) { return std::isnan(v) || v == code; };
    std::size_t missing = 0;
    for (std::size_t s = 0; s < f.specimens; ++s) {
      const bool incomplete = std::any_of(raw.row(s).begin(), raw.row(s).end(), gone);
      missing += incomplete;
      EXPECT_EQ(std::isnan(dist(s, pairs.rows())), incomplete) << "size of " << s + 1;
      for (std::size_t p = 0; p < pairs.rows(); ++p) {
        auto a = static_cast<std::size_t>(pairs(p, 1)) - 1,
             b = static_cast<std::size_t>(pairs(p, 2)) - 1;
        const double expected =
            std::hypot(raw(s, 2 * a) - raw(s, 2 * b), raw(s, 2 * a + 1) - raw(s, 2 * b + 1));
        const bool lost =
            kept ? gone(raw(s, 2 * a)) || gone(raw(s, 2 * b)) : incomplete && std::isnan(code);
        if (lost) {
          ASSERT_TRUE(std::isnan(dist(s, p))) << "specimen " << s + 1 << ", pair " << p + 1;
        } else {
          ASSERT_NEAR(dist(s, p), expected, 1e-9 * std::max(1.0, expected))
              << "specimen " << s + 1 << ", pair " << p + 1;
        }
      }
    }
    EXPECT_EQ(missing, f.missing);
  }

  // Every pair of the first (up to) 12 landmarks: 66 distances per specimen.
  static Matrix first_pairs(std::size_t landmarks) {
    return all_pairs(std::min<std::size_t>(landmarks, 12));
  }

  TpsOptions options;
};

TEST_F(RealFilesTest, LoadableFilesGiveTheRawDistances) {
  SKIP_WITHOUT_REAL_DATA();
  // Each file's first console line; none for a file that loads cleanly.
  const std::map<std::string, std::string> first_lines{
      {"bluegill-body-417spec-k19-scale-crlf.TPS",
       "ID=0 is shared by specimens 1, 31, 60, 90, 120, 150, 180, 210, 240, 270 and 3 "
       "more."},
      // The sentinel -1000001 of missing landmarks, which also makes 32 of 60
      // specimens huge.
      {"horsefly-wing-60spec-k30-padded-sentinel.tps",
       "\"" + kReal +
           "horsefly-wing-60spec-k30-padded-sentinel.tps\": 35 landmarks in 32 specimens are "
           "written as -1000001 -1000001, outside the range of the other specimens' coordinates "
           "of those landmarks: a missing-value code? (specimen 1 (ID=Tabanus), specimen 2 "
           "(ID=albohirta), specimen 5 (ID=andicola), specimen 7 (ID=antillanca), specimen 12 "
           "(ID=bruchii) and 27 more). Load with --missing --missing-code -1000001 (in the "
           "window: File > Missing landmarks and Missing-value code...) to read them as "
           "missing."},
      {"trilobite-cephala-300spec-k16-curves.tps",
       "\"" + kReal +
           "trilobite-cephala-300spec-k16-curves.tps\": 300 specimens carry curves (72 points "
           "each); they are not used; load them as extra landmarks with --curves (in the window: "
           "File > Curves as landmarks)."}};
  for (const Loadable& f : {Loadable{"bluegill-body-417spec-k19-scale-crlf.TPS", 417, 19, 0},
                            Loadable{"dragonfly-forewing-120spec-k20-noscale.tps", 120, 20, 0},
                            Loadable{"lithic-flake-1158spec-k9-blanklines.tps", 1158, 9, 0},
                            Loadable{"shape-coords-4spec-k14-exponent.tps", 4, 14, 0},
                            Loadable{"horsefly-wing-60spec-k30-padded-sentinel.tps", 60, 30, 0},
                            Loadable{"fixture-lowercase-6spec-k4.tps", 6, 4, 0},
                            Loadable{"trilobite-cephala-300spec-k16-curves.tps", 300, 16, 15}}) {
    SCOPED_TRACE(f.file);
    std::vector<std::string> warnings;
    const Sample sample = load_real(f.file, &warnings);
    expect_raw_distances(sample, f, std::nan(""));
    const auto expected = first_lines.find(f.file);
    EXPECT_EQ(warnings.empty() ? "" : warnings[0],
              expected == first_lines.end() ? "" : expected->second);
    if (f.missing) {
      EXPECT_TRUE(std::any_of(warnings.begin(), warnings.end(), [](const std::string& w) {
        return w.find("has specimens with missing (NaN) or coinciding coordinates") !=
               std::string::npos;
      }));
    }
    if (f.specimens == 300) {
      EXPECT_EQ(sample.records.at(69).id(), "Fig4F_H\xC3\xB8yberget_Bruton_2012");
    }
  }
}

// With missing values on, every distance between two present landmarks is
// the raw one, and a distance to a missing landmark is NaN, as are the sizes.
TEST_F(RealFilesTest, MissingLandmarksLeaveEveryOtherDistanceAsRead) {
  SKIP_WITHOUT_REAL_DATA();
  options.missing = true;
  for (const Loadable& f : {Loadable{"horsefly-wing-60spec-k30-padded-sentinel.tps", 60, 30, 32},
                            Loadable{"trilobite-cephala-300spec-k16-curves.tps", 300, 16, 15}}) {
    SCOPED_TRACE(f.file);
    const double code = f.specimens == 60 ? -1000001 : std::nan("");
    options.missing_code.reset();
    if (!std::isnan(code)) options.missing_code = code;
    expect_raw_distances(load_real(f.file), f, code);
  }
  // Specimen 1 of the horsefly file (ID=Tabanus) misses landmark 30; by hand
  // from its first, second, 28th and 29th lines.
  options.missing_code = -1000001;
  const Sample horsefly = load_real("horsefly-wing-60spec-k30-padded-sentinel.tps");
  const Matrix d = distances(horsefly, Matrix({{1, 1, 2}, {2, 28, 29}, {3, 29, 30}}));
  EXPECT_EQ(horsefly.records.at(0).id(), "Tabanus");
  EXPECT_NEAR(d(0, 0), std::hypot(4.088370 - 3.232770, 8.414550 - 9.425710), 1e-12);
  EXPECT_NEAR(d(0, 1), std::hypot(15.794520 - 15.522280, 8.531220 - 8.025640), 1e-12);
  EXPECT_TRUE(std::isnan(d(0, 2)));
  EXPECT_TRUE(std::isnan(d(0, 3)));
  // The angle at landmark 2 between the arms to 1 and 3, and one at 29 with
  // an arm to the missing landmark 30.
  const Matrix a = angles(horsefly, Matrix({{1, 1, 2, 3}, {2, 28, 29, 30}}));
  const double ax = 4.088370 - 3.232770, ay = 8.414550 - 9.425710;
  const double bx = 3.932800 - 3.232770, by = 10.009070 - 9.425710;
  EXPECT_NEAR(a(0, 0), std::atan2(std::abs(ax * by - ay * bx), ax * bx + ay * by), 1e-12);
  EXPECT_TRUE(std::isnan(a(0, 1)));
}

// The lizard file writes its missing landmarks -1 -1. Read with that code,
// each of its 34 complete specimens gives exactly the distances and size of
// the file that holds only those, and a distance to a missing landmark is NaN.
TEST_F(RealFilesTest, CodedMissingLandmarksLeaveTheCompleteSpecimensAsTheirOwnFile) {
  SKIP_WITHOUT_REAL_DATA();
  const Matrix pairs = all_pairs(11);
  const Sample subset = load_real("lizard-maxilla-34spec-k11-completesubset-crlf.tps");
  const Matrix complete = distances(subset, pairs);
  std::map<std::string, std::size_t> complete_rows;  // by ID
  for (std::size_t r = 0; r < complete.rows(); ++r) {
    complete_rows[std::string(subset.records.at(r).id())] = r;
  }
  ASSERT_EQ(complete_rows.size(), 34u);
  options.missing = true;
  options.missing_code = -1;
  const std::string coded = "lizard-maxilla-62spec-k11-neg1missing-winpath.tps";
  const Sample sample = load_real(coded);
  const Matrix all = distances(sample, pairs);
  const Matrix raw = read_tps_file(kReal + coded, false).coordinates;
  ASSERT_EQ(all.rows(), 62u);
  ASSERT_EQ(all.cols(), pairs.rows() + 1);
  std::size_t matched = 0;
  for (std::size_t r = 0; r < all.rows(); ++r) {
    const auto same = complete_rows.find(std::string(sample.records.at(r).id()));
    matched += same != complete_rows.end();
    for (std::size_t p = 0; p < all.cols(); ++p) {
      if (same != complete_rows.end()) {
        ASSERT_EQ(all(r, p), complete(same->second, p))
            << "specimen " << r + 1 << ", column " << p + 1;
        continue;
      }
      if (p == pairs.rows()) break;  // the size of an incomplete specimen
      const auto a = static_cast<std::size_t>(pairs(p, 1)) - 1;
      const auto b = static_cast<std::size_t>(pairs(p, 2)) - 1;
      const bool lost = raw(r, 2 * a) == -1 || raw(r, 2 * b) == -1;
      ASSERT_EQ(std::isnan(all(r, p)), lost) << "specimen " << r + 1 << ", pair " << p + 1;
    }
  }
  EXPECT_EQ(matched, 34u);
}

}  // namespace
}  // namespace dg

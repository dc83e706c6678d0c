// Published TPS files loaded through the handler give distances equal to the
// raw inter-landmark distances of the file (the files that fail to load are
// checked where they are read).
#include <cmath>

#include "input/tps_scan.hpp"
#include "test_support.hpp"
#include "window_fixture.hpp"

namespace dg {
namespace {

const std::string kReal = real_data("");

struct Loadable {
  const char* file;
  std::size_t specimens;
  std::size_t landmarks;
  std::size_t missing;  // specimens with NaN coordinates
};

class RealFilesTest : public WindowFixture {
 protected:
  // Every pair of the first (up to) 12 landmarks: 66 distances per specimen.
  Matrix all_pairs(std::size_t landmarks) {
    Matrix pairs;
    std::size_t n = std::min<std::size_t>(landmarks, 12);
    for (std::size_t a = 1; a <= n; ++a) {
      for (std::size_t b = a + 1; b <= n; ++b) {
        std::vector<double> row{static_cast<double>(pairs.rows() + 1), double(a), double(b)};
        pairs.append_row(row);
      }
    }
    return pairs;
  }
};

TEST_F(RealFilesTest, LoadableFilesGiveTheRawDistances) {
  SKIP_WITHOUT_REAL_DATA();
  for (const Loadable& f : {Loadable{"bluegill-body-417spec-k19-scale-crlf.TPS", 417, 19, 0},
                            Loadable{"dragonfly-forewing-120spec-k20-noscale.tps", 120, 20, 0},
                            Loadable{"lithic-flake-1158spec-k9-blanklines.tps", 1158, 9, 0},
                            Loadable{"shape-coords-4spec-k14-exponent.tps", 4, 14, 0},
                            Loadable{"horsefly-wing-60spec-k30-padded-sentinel.tps", 60, 30, 0},
                            Loadable{"fixture-lowercase-6spec-k4.tps", 6, 4, 0},
                            Loadable{"trilobite-cephala-300spec-k16-curves.tps", 300, 16, 15}}) {
    SCOPED_TRACE(f.file);
    console.str("");
    platform.answer(kReal + f.file);
    run("GetTPSData");
    ASSERT_EQ(session.handler.data.rows(), f.specimens);
    ASSERT_EQ(session.handler.data.cols(), 2 * f.landmarks + 1);
    session.handler.tlengths = all_pairs(f.landmarks);
    run("CalcLengths");

    const Matrix raw = read_tps_file(kReal + f.file, false).coordinates;
    const Matrix& pairs = session.handler.tlengths;
    const Matrix& dist = session.handler.traddata;
    std::size_t missing = 0;
    for (std::size_t s = 0; s < f.specimens; ++s) {
      bool has_nan =
          std::any_of(raw.row(s).begin(), raw.row(s).end(), [](double v) { return std::isnan(v); });
      missing += has_nan;
      for (std::size_t p = 0; p < pairs.rows(); ++p) {
        auto a = static_cast<std::size_t>(pairs(p, 1)) - 1,
             b = static_cast<std::size_t>(pairs(p, 2)) - 1;
        double expected =
            std::hypot(raw(s, 2 * a) - raw(s, 2 * b), raw(s, 2 * a + 1) - raw(s, 2 * b + 1));
        if (has_nan) {
          // A specimen with a missing landmark has no size, so none of its distances.
          ASSERT_TRUE(std::isnan(dist(s, p))) << "specimen " << s + 1;
        } else {
          ASSERT_NEAR(dist(s, p), expected, 1e-9 * std::max(1.0, expected))
              << "specimen " << s + 1 << ", pair " << p + 1;
        }
      }
    }
    EXPECT_EQ(missing, f.missing);
    if (f.missing) {
      EXPECT_NE(console.str().find("has specimens with missing (NaN) or coinciding coordinates"),
                std::string::npos);
    } else {
      EXPECT_EQ(console.str(), "");
    }
  }
}

}  // namespace
}  // namespace dg

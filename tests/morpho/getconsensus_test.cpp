#include "morpho/getconsensus.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <span>
#include <vector>

#include "morpho/centsize.hpp"
#include "test_support.hpp"

namespace dg {
namespace {

// An asymmetric five-landmark shape (x1 y1 ... x5 y5): no rotation maps it onto itself.
const std::vector<double> kBase = {0.0, 0.0, 3.0, 0.2, 3.5, 2.0, 1.0, 2.5, -0.5, 1.2};

// The shape turned anticlockwise by `angle`, scaled and moved by (d, -d).
std::vector<double> moved(std::vector<double> s, double angle, double scale, double d) {
  for (std::size_t j = 0; j < s.size(); j += 2) {
    const double u = s[j], v = s[j + 1];
    s[j] = scale * (u * std::cos(angle) - v * std::sin(angle)) + d;
    s[j + 1] = scale * (u * std::sin(angle) + v * std::cos(angle)) - d;
  }
  return s;
}

// Largest coordinate difference between two rows.
double gap(std::span<const double> a, std::span<const double> b) {
  double g = 0;
  for (std::size_t c = 0; c < a.size(); ++c) g = std::max(g, std::fabs(a[c] - b[c]));
  return g;
}

TEST(GetconsensusTest, SimilarCopiesCoincideAfterOnePass) {
  Matrix x;
  for (int i = 0; i < 4; ++i) x.append_row(moved(kBase, 1.9 * i, 1.0 + 9 * i, 3.0 * i));
  const ConsensusResult res = getconsensus(x, 2);
  EXPECT_EQ(res.passes, 1u);
  EXPECT_FALSE(res.reached_pass_limit || res.non_finite);
  ASSERT_EQ(res.consensus.cols(), 10u);
  EXPECT_NEAR(centsize(res.consensus.row(0)), 1.0, 1e-12);
  EXPECT_NEAR(res.scale, 1.0, 1e-12);  // the mean of four equal unit shapes
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_LT(gap(res.superimposed.row(i), res.consensus.row(0)), 1e-12) << i;
  }
}

TEST(GetconsensusTest, QuarterTurnIsTurnedBackOntoFirstSpecimen) {
  // A rotation of the wrong sign would leave the second square half a turn off.
  const Matrix x = {{-1, -1, 1, -1, 1, 1, -1, 1}, {1, -1, 1, 1, -1, 1, -1, -1}};
  const ConsensusResult res = getconsensus(x, 2);
  const double a = 1 / std::sqrt(8.0);
  const std::vector<double> expected = {-a, -a, a, -a, a, a, -a, a};
  EXPECT_LT(gap(res.superimposed.row(0), expected), 1e-15);
  EXPECT_LT(gap(res.superimposed.row(1), expected), 1e-12);
}

TEST(GetconsensusTest, MirrorImageIsRotatedNeverReflected) {
  std::vector<double> mirror = kBase;
  for (std::size_t j = 0; j < mirror.size(); j += 2) mirror[j] = -mirror[j];
  Matrix x;
  x.append_row(moved(kBase, 0.0, 1.0, 0.0));
  x.append_row(moved(mirror, 0.4, 1.0, 0.0));
  const ConsensusResult res = getconsensus(x, 2);
  const auto p = res.superimposed.row(0), q = res.superimposed.row(1);
  // A rotation keeps the sign of the polygon's signed area; a reflection flips it.
  auto area = [](std::span<const double> r) {
    double a = 0;
    for (std::size_t j = 0; j < 10; j += 2)
      a += r[j] * r[(j + 3) % 10] - r[(j + 2) % 10] * r[j + 1];
    return a;
  };
  EXPECT_LT(area(p) * area(q), -1e-3);
}

// Six noisy copies of kBase, each turned, scaled and moved.
Matrix noisy_sample() {
  Matrix x;
  for (int i = 0; i < 6; ++i) {
    std::vector<double> s = kBase;
    for (std::size_t c = 0; c < s.size(); ++c) s[c] += 0.15 * std::sin(1.7 * i + 2.3 * c);
    x.append_row(moved(s, 0.9 * i - 2.0, 1.0 + i, 3.0 * i));
  }
  return x;
}

TEST(GetconsensusTest, NoisySampleSettlesOnItsMean) {
  const Matrix x = noisy_sample();
  const ConsensusResult res = getconsensus(x, 2);
  EXPECT_GT(res.passes, 1u);
  EXPECT_FALSE(res.reached_pass_limit || res.non_finite);
  const auto y = res.consensus.row(0);
  EXPECT_NEAR(centsize(y), 1.0, 1e-12);  // the mean of unit shapes is smaller: renormalised
  for (std::size_t i = 0; i < x.rows(); ++i) {
    const auto row = res.superimposed.row(i);
    EXPECT_NEAR(centsize(row), 1.0, 1e-12);
    double ct = 0, st = 0;
    for (std::size_t j = 0; j < 10; j += 2) {
      ct += y[j] * row[j] + y[j + 1] * row[j + 1];
      st += row[j] * y[j + 1] - row[j + 1] * y[j];
    }
    EXPECT_LT(std::fabs(std::atan2(st, ct)), 1e-4);  // almost no turn left to the consensus
  }
  // A limit below the passes needed stops there and says so, keeping the last pass.
  const ConsensusResult cut = getconsensus(x, 2, res.passes - 1);
  EXPECT_TRUE(cut.reached_pass_limit);
  EXPECT_EQ(cut.passes, res.passes - 1);
  EXPECT_NEAR(centsize(cut.consensus.row(0)), 1.0, 1e-12);
}

TEST(GetconsensusTest, SingleAndZeroSizeSpecimens) {
  const ConsensusResult one = getconsensus(Matrix::row_vector(moved(kBase, 1.0, 3.0, 5.0)), 2);
  EXPECT_EQ(one.passes, 1u);
  EXPECT_LT(gap(one.consensus.row(0), one.superimposed.row(0)), 1e-15);

  const ConsensusResult bad = getconsensus(Matrix{{0, 0, 1, 0, 0, 1}, {2, 2, 2, 2, 2, 2}}, 2);
  EXPECT_TRUE(bad.non_finite);
  EXPECT_EQ(bad.passes, 1u);
}

// x y z rows from x y rows: z = 0 after every landmark.
Matrix embedded(const Matrix& x) {
  Matrix out;
  for (std::size_t i = 0; i < x.rows(); ++i) {
    const auto row = x.row(i);
    std::vector<double> r;
    for (std::size_t c = 0; c + 1 < row.size(); c += 2) r.insert(r.end(), {row[c], row[c + 1], 0});
    out.append_row(r);
  }
  return out;
}

// A turn about the x, then y, then z axis, as a row-major 3 x 3 matrix.
std::vector<double> turn(double ax, double ay, double az) {
  const double cx = std::cos(ax), sx = std::sin(ax), cy = std::cos(ay), sy = std::sin(ay);
  const double cz = std::cos(az), sz = std::sin(az);
  return {cz * cy,
          cz * sy * sx - sz * cx,
          cz * sy * cx + sz * sx,
          sz * cy,
          sz * sy * sx + cz * cx,
          sz * sy * cx - cz * sx,
          -sy,
          cy * sx,
          cy * cx};
}

// An x y z row turned by r, scaled and moved.
std::vector<double> moved3(std::vector<double> s, const std::vector<double>& r, double scale,
                           double d) {
  for (std::size_t j = 0; j + 2 < s.size(); j += 3) {
    const double p[3] = {s[j], s[j + 1], s[j + 2]};
    for (std::size_t a = 0; a < 3; ++a) {
      s[j + a] = scale * (r[3 * a] * p[0] + r[3 * a + 1] * p[1] + r[3 * a + 2] * p[2]) + d;
    }
  }
  return s;
}

// Six noisy copies of a six-landmark solid.
Matrix solid_sample() {
  const std::vector<double> base = {0, 0,   0,   3,    0.2, 0.1, 3.5, 2,   -0.3,
                                    1, 2.5, 0.4, -0.5, 1.2, 1.8, 1.1, 0.9, -1.4};
  Matrix x;
  for (int i = 0; i < 6; ++i) {
    std::vector<double> s = base;
    for (std::size_t c = 0; c < s.size(); ++c) s[c] += 0.15 * std::sin(1.7 * i + 2.3 * c);
    x.append_row(s);
  }
  return x;
}

TEST(GetconsensusTest, PlanarSampleInSpaceGivesThePlanarResult) {
  const Matrix x = noisy_sample();
  const ConsensusResult flat = getconsensus(x, 2);
  const ConsensusResult solid = getconsensus(embedded(x), 3);
  EXPECT_EQ(solid.passes, flat.passes);
  const Matrix want = embedded(flat.superimposed);
  ASSERT_EQ(solid.superimposed.cols(), want.cols());
  for (std::size_t i = 0; i < x.rows(); ++i) {
    EXPECT_LT(gap(solid.superimposed.row(i), want.row(i)), 1e-12) << i;
  }
  EXPECT_LT(gap(solid.consensus.row(0), embedded(flat.consensus).row(0)), 1e-12);
}

TEST(GetconsensusTest, TurnedSpecimensComeBackOntoTheFirst) {
  const Matrix x = solid_sample();
  const ConsensusResult res = getconsensus(x, 3);
  EXPECT_GT(res.passes, 1u);
  EXPECT_NEAR(centsize(res.consensus.row(0), 3), 1.0, 1e-12);
  // The first specimen fixes the orientation; any turn, size and place of the others is undone.
  Matrix turned;
  turned.append_row(x.row(0));
  for (std::size_t i = 1; i < x.rows(); ++i) {
    const auto row = x.row(i);
    const double a = 0.7 * static_cast<double>(i);
    turned.append_row(moved3({row.begin(), row.end()}, turn(a, 2.1 - a, 1.3 * a), 0.5 + a, -4 * a));
  }
  const ConsensusResult back = getconsensus(turned, 3);
  for (std::size_t i = 0; i < x.rows(); ++i) {
    EXPECT_LT(gap(back.superimposed.row(i), res.superimposed.row(i)), 1e-9) << i;
  }
  // That a mirror image (z negated) stays mirrored is seen by the outlier
  // screen, which finds it only then.
}

TEST(GetconsensusTest, TurnedAndScaledCopyOfASolidByHand) {
  // Landmarks (0,0,0), (2,0,0), (0,1,0), (0,0,3): centroid (0.5, 0.25, 0.75), centred
  // squares 0.875 + 2.875 + 1.375 + 5.375 = 10.5, so both rows become centred / sqrt(10.5).
  const std::vector<double> shape = {0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 3};
  Matrix x;
  x.append_row(shape);
  x.append_row(moved3(shape, turn(1.0, -0.4, 2.5), 3.0, 5.0));
  const ConsensusResult res = getconsensus(x, 3);
  const double s = std::sqrt(10.5);
  const std::vector<double> want = {-0.5 / s, -0.25 / s, -0.75 / s, 1.5 / s,  -0.25 / s, -0.75 / s,
                                    -0.5 / s, 0.75 / s,  -0.75 / s, -0.5 / s, -0.25 / s, 2.25 / s};
  EXPECT_LT(gap(res.superimposed.row(0), want), 1e-15);
  EXPECT_LT(gap(res.superimposed.row(1), want), 1e-12);
  EXPECT_LT(gap(res.consensus.row(0), want), 1e-12);
  EXPECT_THROW_MSG(getconsensus(Matrix{{0, 0, 0, 1, 0, 0, 1, 1}}, 3),
                   "The coordinates have 8 columns, which is not 3 per landmark.");
  const ConsensusResult bad = getconsensus(Matrix{{0, 0, 0, 1, 1, 1}, {2, 2, 2, 2, 2, 2}}, 3);
  EXPECT_TRUE(bad.non_finite);
}

TEST(GetconsensusTest, RejectsEmptyMatrixAndAWidthOfNoWholeLandmarks) {
  EXPECT_THROW_MSG(getconsensus(Matrix(), 2),
                   "The landmark matrix has no specimens; a consensus needs at least one.");
  EXPECT_THROW_MSG(getconsensus(Matrix{{0, 0, 1, 0, 1, 1, 0}}, 2),
                   "The coordinates have 7 columns, which is not 2 per landmark.");
}

}  // namespace
}  // namespace dg

#include "morpho/getconsensus.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <span>
#include <vector>

#include "morpho/centsize.hpp"
#include "morpho/formtrad2.hpp"
#include "morpho/partial_fit.hpp"
#include "runtime/array/parallel.hpp"
#include "test_support.hpp"

namespace dg {
namespace {

// An asymmetric five-landmark shape (x1 y1 ... x5 y5): no rotation maps it onto itself.
const std::vector<double> kBase = {0.0, 0.0, 3.0, 0.2, 3.5, 2.0, 1.0, 2.5, -0.5, 1.2};

// The shape turned anticlockwise by `angle`, scaled, moved by (d, -d), with a trailing value.
std::vector<double> moved(std::vector<double> s, double angle, double scale, double d, double t) {
  for (std::size_t j = 0; j < s.size(); j += 2) {
    const double u = s[j], v = s[j + 1];
    s[j] = scale * (u * std::cos(angle) - v * std::sin(angle)) + d;
    s[j + 1] = scale * (u * std::sin(angle) + v * std::cos(angle)) - d;
  }
  s.push_back(t);
  return s;
}

// Largest coordinate difference between two rows (trailing value left out).
double gap(std::span<const double> a, std::span<const double> b) {
  double g = 0;
  for (std::size_t c = 0; c + 1 < a.size(); ++c) g = std::max(g, std::fabs(a[c] - b[c]));
  return g;
}

TEST(GetconsensusTest, SimilarCopiesCoincideAfterOnePass) {
  Matrix x;
  for (int i = 0; i < 4; ++i) x.append_row(moved(kBase, 1.9 * i, 1.0 + 9 * i, 3.0 * i, 11 + i));
  const ConsensusResult res = getconsensus(x);
  EXPECT_EQ(res.passes, 1u);
  EXPECT_FALSE(res.reached_pass_limit || res.non_finite);
  ASSERT_EQ(res.consensus.cols(), 11u);
  EXPECT_NEAR(centsize(res.consensus.row(0)), 1.0, 1e-12);
  EXPECT_NEAR(res.consensus(0, 10), 12.5, 1e-9);  // mean trailing value over f, which is 1
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_LT(gap(res.superimposed.row(i), res.consensus.row(0)), 1e-12) << i;
    EXPECT_EQ(res.superimposed(i, 10), x(i, 10)) << i;
  }
}

TEST(GetconsensusTest, QuarterTurnIsTurnedBackOntoFirstSpecimen) {
  // A rotation of the wrong sign would leave the second square half a turn off.
  const Matrix x = {{-1, -1, 1, -1, 1, 1, -1, 1, 8}, {1, -1, 1, 1, -1, 1, -1, -1, 8}};
  const ConsensusResult res = getconsensus(x);
  const double a = 1 / std::sqrt(8.0);
  const std::vector<double> expected = {-a, -a, a, -a, a, a, -a, a, 8};
  EXPECT_LT(gap(res.superimposed.row(0), expected), 1e-15);
  EXPECT_LT(gap(res.superimposed.row(1), expected), 1e-12);
}

TEST(GetconsensusTest, MirrorImageIsRotatedNeverReflected) {
  std::vector<double> mirror = kBase;
  for (std::size_t j = 0; j < mirror.size(); j += 2) mirror[j] = -mirror[j];
  Matrix x;
  x.append_row(moved(kBase, 0.0, 1.0, 0.0, 1));
  x.append_row(moved(mirror, 0.4, 1.0, 0.0, 1));
  const ConsensusResult res = getconsensus(x);
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

TEST(GetconsensusTest, NoisySampleSettlesOnItsMean) {
  Matrix x;
  for (int i = 0; i < 6; ++i) {
    std::vector<double> s = kBase;
    for (std::size_t c = 0; c < s.size(); ++c) s[c] += 0.15 * std::sin(1.7 * i + 2.3 * c);
    x.append_row(moved(s, 0.9 * i - 2.0, 1.0 + i, 3.0 * i, 20.0 + i));
  }
  const ConsensusResult res = getconsensus(x);
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
  const ConsensusResult cut = getconsensus(x, res.passes - 1);
  EXPECT_TRUE(cut.reached_pass_limit);
  EXPECT_EQ(cut.passes, res.passes - 1);
  EXPECT_NEAR(centsize(cut.consensus.row(0)), 1.0, 1e-12);
}

TEST(GetconsensusTest, SingleAndZeroSizeSpecimens) {
  const ConsensusResult one = getconsensus(Matrix::row_vector(moved(kBase, 1.0, 3.0, 5.0, 7.5)));
  EXPECT_EQ(one.passes, 1u);
  EXPECT_LT(gap(one.consensus.row(0), one.superimposed.row(0)), 1e-15);
  EXPECT_NEAR(one.consensus(0, 10), 7.5, 1e-12);

  const ConsensusResult bad = getconsensus(Matrix{{0, 0, 1, 0, 0, 1, 1}, {2, 2, 2, 2, 2, 2, 0}});
  EXPECT_TRUE(bad.non_finite);
  EXPECT_EQ(bad.passes, 1u);
}

// Rows are rotated and measured in blocks over the threads, the mean summed in
// row order: every thread count gives the same bits, also with rows that miss
// landmarks (fitted by part, measured with their factor back to read size).
TEST(GetconsensusTest, EveryThreadCountGivesTheSameBits) {
  Matrix x;
  for (int i = 0; i < 9001; ++i) {
    std::vector<double> row = moved(kBase, 0.37 * i, 1.0 + (i % 7), 0.5 * (i % 11), 10 + i % 5);
    for (std::size_t c = 0; c + 1 < row.size(); ++c) row[c] += 1e-3 * ((i * 31 + c * 17) % 13);
    if (i % 2999 == 5) row[2] = row[3] = std::nan("");
    x.append_row(row);
  }
  const Matrix pairs{{1, 2}, {2, 3}, {5, 1}, {4, 2}};
  const auto bits = [](const Matrix& m) {
    const auto v = m.values();
    return std::vector<unsigned char>(reinterpret_cast<const unsigned char*>(v.data()),
                                      reinterpret_cast<const unsigned char*>(v.data() + v.size()));
  };
  std::vector<std::vector<unsigned char>> first;
  for (std::size_t threads : {1, 2, 3}) {
    set_thread_count(threads);
    const PartialFitResult fit = superimpose_with_missing(x);
    const std::vector<std::vector<unsigned char>> now = {
        bits(fit.fit.superimposed), bits(fit.fit.consensus),
        bits(formtrad2(fit.fit.superimposed, pairs, fit.partial_size)),
        bits(Matrix::row_vector(centsize(x)))};
    if (threads == 1) {
      first = now;
      EXPECT_EQ(fit.incomplete, 3u);
    } else {
      EXPECT_EQ(now, first) << threads << " threads";
    }
  }
  set_thread_count(0);
}

TEST(GetconsensusTest, RejectsEmptyMatrixAndMissingSizeColumn) {
  EXPECT_THROW_MSG(getconsensus(Matrix()),
                   "The landmark matrix has no specimens; a consensus needs at least one.");
  EXPECT_THROW_MSG(getconsensus(Matrix{{0, 0, 1, 0, 1, 1, 0, 1}}),
                   "The landmark matrix has 8 columns, an even number; the landmark coordinates "
                   "must be followed by a trailing size column.");
}

}  // namespace
}  // namespace dg

// The converged superimposition: no specimen is left short of its best
// rotation onto the consensus, in 2-D and 3-D, with and without missing
// landmarks.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <span>
#include <vector>

#include "morpho/getconsensus.hpp"
#include "morpho/partial_fit.hpp"

namespace dg {
namespace {

constexpr double kGap = std::numeric_limits<double>::quiet_NaN();

// A spread sample of n specimens of k landmarks: a base shape, turned,
// scaled, moved and bent differently for each, so that the standard rule
// stops well short of convergence.
Matrix spread_sample(std::size_t n, std::size_t k, std::size_t dims) {
  Matrix x(n, k * dims);
  for (std::size_t i = 0; i < n; ++i) {
    const double turn = 0.7 * static_cast<double>(i);
    for (std::size_t j = 0; j < k; ++j) {
      const double a = 2.0 * static_cast<double>(j) + 0.3 * std::sin(1.7 * (i + 1) * (j + 2));
      const double p = std::cos(a) * (1 + 0.4 * std::sin(0.9 * i * j));
      const double q = std::sin(a) * (1 + 0.3 * std::cos(1.3 * i + j));
      x(i, dims * j) = (2 + i) * (p * std::cos(turn) - q * std::sin(turn)) + i;
      x(i, dims * j + 1) = (2 + i) * (p * std::sin(turn) + q * std::cos(turn)) - 3.0 * i;
      if (dims == 3) x(i, dims * j + 2) = std::cos(0.5 * a * i) + 0.2 * j;
    }
  }
  return x;
}

// How far each row is from its best rotation onto the consensus: the
// cross-covariance of a best-rotated row and the reference is symmetric, so
// the largest asymmetry over the rows' present landmarks (centred on both
// sides over the same landmarks) measures what is left to turn.
double largest_shortfall(const Matrix& rows, std::span<const double> consensus, std::size_t dims) {
  const std::size_t k = consensus.size() / dims;
  double worst = 0.0;
  for (std::size_t i = 0; i < rows.rows(); ++i) {
    const auto row = rows.row(i);
    std::vector<std::size_t> present;
    for (std::size_t j = 0; j < k; ++j) {
      if (!std::isnan(row[dims * j])) present.push_back(j);
    }
    double mr[3] = {0, 0, 0}, mc[3] = {0, 0, 0};
    for (std::size_t j : present) {
      for (std::size_t a = 0; a < dims; ++a) {
        mr[a] += row[dims * j + a] / present.size();
        mc[a] += consensus[dims * j + a] / present.size();
      }
    }
    double m[3][3] = {};
    for (std::size_t j : present) {
      for (std::size_t a = 0; a < dims; ++a) {
        for (std::size_t b = 0; b < dims; ++b) {
          m[a][b] += (row[dims * j + a] - mr[a]) * (consensus[dims * j + b] - mc[b]);
        }
      }
    }
    for (std::size_t a = 0; a < dims; ++a) {
      for (std::size_t b = 0; b < a; ++b) worst = std::max(worst, std::abs(m[a][b] - m[b][a]));
    }
  }
  return worst;
}

TEST(ConvergeTest, NoSpecimenIsLeftShortOfItsBestRotationIn2DAnd3D) {
  for (const std::size_t dims : {2u, 3u}) {
    SCOPED_TRACE(dims);
    ConsensusResult fit = getconsensus(spread_sample(30, 8, dims), dims);
    const std::size_t standard = fit.passes;
    // The standard rule leaves a shortfall that converging removes.
    EXPECT_GT(largest_shortfall(fit.superimposed, fit.consensus.row(0), dims), 1e-9);
    const std::size_t added = converge_consensus(fit, dims);
    EXPECT_GT(added, 1u);
    EXPECT_EQ(fit.passes, standard + added);
    EXPECT_FALSE(fit.reached_pass_limit || fit.non_finite);
    EXPECT_LT(largest_shortfall(fit.superimposed, fit.consensus.row(0), dims), 1e-14);
    // A converged fit has nothing left to do.
    EXPECT_LE(converge_consensus(fit, dims), 2u);
  }
}

TEST(ConvergeTest, IncompleteSpecimensAreFittedAgainAndKeepTheirSizeAsRead) {
  for (const std::size_t dims : {2u, 3u}) {
    SCOPED_TRACE(dims);
    Matrix x = spread_sample(12, 6, dims);
    // Specimens 3 and 8 miss landmarks 2 and 5.
    for (const std::size_t i : {3u, 8u}) {
      for (std::size_t a = 0; a < dims; ++a) x(i, dims * (i == 3 ? 2 : 5) + a) = kGap;
    }
    // The centroid size of each incomplete specimen's present landmarks as read.
    const auto present_size = [&](std::span<const double> row) {
      double mean[3] = {0, 0, 0}, squares = 0;
      std::size_t m = 0;
      for (std::size_t j = 0; j < 6; ++j) {
        if (std::isnan(row[dims * j])) continue;
        ++m;
        for (std::size_t a = 0; a < dims; ++a) mean[a] += row[dims * j + a];
      }
      for (std::size_t j = 0; j < 6; ++j) {
        if (std::isnan(row[dims * j])) continue;
        for (std::size_t a = 0; a < dims; ++a) {
          squares += std::pow(row[dims * j + a] - mean[a] / m, 2);
        }
      }
      return std::sqrt(squares);
    };
    PartialFitResult fit = superimpose_with_missing(x, dims);
    converge_with_missing(fit, dims);
    EXPECT_LT(largest_shortfall(fit.fit.superimposed, fit.fit.consensus.row(0), dims), 1e-14);
    for (const std::size_t i : {3u, 8u}) {
      EXPECT_NEAR(present_size(fit.fit.superimposed.row(i)) * fit.partial_size[i],
                  present_size(x.row(i)), 1e-12 * present_size(x.row(i)));
    }
    // The complete specimens are those of the complete sample converged alone.
    Matrix complete(10, x.cols());
    for (std::size_t i = 0, to = 0; i < 12; ++i) {
      if (i == 3 || i == 8) continue;
      for (std::size_t c = 0; c < x.cols(); ++c) complete(to, c) = x(i, c);
      ++to;
    }
    ConsensusResult alone = getconsensus(complete, dims);
    converge_consensus(alone, dims);
    const auto same = [](std::span<const double> a, std::span<const double> b) {
      return std::vector<double>(a.begin(), a.end()) == std::vector<double>(b.begin(), b.end());
    };
    EXPECT_TRUE(same(alone.superimposed.row(9), fit.fit.superimposed.row(11)));
    EXPECT_TRUE(same(alone.consensus.row(0), fit.fit.consensus.row(0)));
  }
}

}  // namespace
}  // namespace dg

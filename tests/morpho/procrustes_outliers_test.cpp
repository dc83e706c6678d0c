#include "morpho/procrustes_outliers.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "morpho/getconsensus.hpp"
#include "morpho/partial_fit.hpp"
#include "test_support.hpp"

namespace dg {
namespace {

constexpr double kMissing = std::numeric_limits<double>::quiet_NaN();

// A unit square about the origin: corners (+-a, +-a) with 4 * 2a^2 = 1.
const double a = 1.0 / std::sqrt(8.0);
const std::vector<double> kSquare = {-a, -a, a, -a, a, a, -a, a};

Matrix rows_of(const std::vector<std::vector<double>>& rows) {
  Matrix m(rows.size(), rows.front().size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    for (std::size_t c = 0; c < rows[i].size(); ++c) m(i, c) = rows[i][c];
  }
  return m;
}

TEST(ProcrustesOutliersTest, DistancesSharesAndRanksOfASampleWorkedOutByHand) {
  std::vector<double> moved = kSquare, two = kSquare, gap = kSquare;
  moved[0] += 0.1;  // landmark 1 by 0.1: distance 0.1, all of it landmark 1's
  two[2] += 0.03;   // landmark 2 by 0.03 and landmark 3 by 0.04: distance 0.05,
  two[5] -= 0.04;   // 0.0016 of 0.0025 from landmark 3
  gap[6] = gap[7] = kMissing;
  gap[1] += 0.02;  // landmark 4 missing: 0.02 over the other three
  const OutlierScreen screen =
      procrustes_outliers(rows_of({kSquare, moved, two, gap}), rows_of({kSquare}), 2);
  const auto& s = screen.specimens;
  EXPECT_EQ(s[0].distance, 0.0);
  EXPECT_EQ(s[0].worst_landmark, 0u);
  EXPECT_TRUE(std::isnan(s[0].worst_share));
  EXPECT_NEAR(s[1].distance, 0.1, 1e-15);
  EXPECT_EQ(s[1].worst_landmark, 1u);
  EXPECT_DOUBLE_EQ(s[1].worst_share, 1.0);
  EXPECT_NEAR(s[2].distance, 0.05, 1e-15);
  EXPECT_EQ(s[2].worst_landmark, 3u);
  EXPECT_NEAR(s[2].worst_share, 0.64, 1e-12);
  EXPECT_NEAR(s[3].distance, 0.02, 1e-15);
  EXPECT_TRUE(s[3].incomplete);
  EXPECT_EQ(std::vector<std::size_t>({s[0].rank, s[1].rank, s[2].rank, s[3].rank}),
            std::vector<std::size_t>({4, 1, 2, 3}));
  // Distances 0, 0.02, 0.05, 0.1: Q1 0.015, Q3 0.0625, threshold 0.13375.
  EXPECT_NEAR(screen.threshold, 0.13375, 1e-15);
  EXPECT_EQ(screen.flagged, 0u);

  EXPECT_THROW_HAS(procrustes_outliers(rows_of({kSquare}), rows_of({{0, 0, 1, 1}}), 2),
                   "The consensus has 4 coordinates where the 1 specimens have 8");
}

TEST(ProcrustesOutliersTest, QuartilesAndTheThresholdAreRsType7) {
  // R: quantile(c(0.3, 0.1, 0.2, 0.7), c(0.25, 0.75), type = 7)
  const std::vector<double> four = {0.1, 0.2, 0.3, 0.7};
  EXPECT_DOUBLE_EQ(quantile_type7(four, 0.25), 0.17500000000000002);
  EXPECT_DOUBLE_EQ(quantile_type7(four, 0.75), 0.39999999999999997);
  EXPECT_TRUE(std::isnan(quantile_type7({}, 0.5)));

  // Specimens at these distances (landmark 1's x moved from 0), and one that
  // cannot be measured, which is left out: R gives Q1 0.0365, Q3 0.055 and
  // Q3 + 1.5 IQR = 0.08274999999999999, so only 0.29 is above.
  const std::vector<double> d = {0.031, 0.052, 0.044, 0.29,  0.038, 0.047,
                                 0.061, 0.035, 0.04,  0.058, 0.033};
  std::vector<std::vector<double>> rows;
  for (double v : d) rows.push_back({v, 0, 1, 0, 0, 1});
  rows.push_back({kMissing, kMissing, kMissing, kMissing, kMissing, kMissing});
  const OutlierScreen screen = procrustes_outliers(rows_of(rows), rows_of({{0, 0, 1, 0, 0, 1}}), 2);
  EXPECT_DOUBLE_EQ(screen.q1, 0.036500000000000005);
  EXPECT_DOUBLE_EQ(screen.q3, 0.055);
  EXPECT_DOUBLE_EQ(screen.threshold, 0.08274999999999999);
  EXPECT_EQ(screen.flagged, 1u);
  EXPECT_TRUE(screen.specimens[3].flagged);
  EXPECT_EQ(screen.specimens[3].rank, 1u);
  EXPECT_EQ(screen.specimens.back().rank, 0u);  // no distance, no rank
}

// `count` noisy copies of `shape` (dims coordinates a landmark), each turned
// about the first axis pair, scaled and moved as digitised photos would be.
Matrix noisy_copies(const std::vector<double>& shape, std::size_t dims, std::size_t count,
                    double noise, unsigned seed) {
  std::mt19937 random(seed);
  std::normal_distribution<double> jitter(0.0, noise);
  std::uniform_real_distribution<double> turn(-3.0, 3.0);
  Matrix x(count, shape.size());
  for (std::size_t i = 0; i < count; ++i) {
    const double t = turn(random), c = std::cos(t), s = std::sin(t), scale = 5.0 + t;
    for (std::size_t j = 0; j < shape.size(); j += dims) {
      const double u = shape[j] + jitter(random), v = shape[j + 1] + jitter(random);
      x(i, j) = scale * (u * c - v * s) + 10.0;
      x(i, j + 1) = scale * (u * s + v * c) - 4.0;
      if (dims == 3) x(i, j + 2) = scale * (shape[j + 2] + jitter(random)) + 2.0;
    }
  }
  return x;
}

std::string swap_of(const SpecimenDistance& s) {
  return std::to_string(s.swap_first) + "-" + std::to_string(s.swap_second);
}

void swap_landmarks(Matrix& x, std::size_t row, std::size_t first, std::size_t second,
                    std::size_t dims) {
  for (std::size_t d = 0; d < dims; ++d) {
    std::swap(x(row, dims * (first - 1) + d), x(row, dims * (second - 1) + d));
  }
}

// An irregular outline of eight landmarks, far from any symmetry.
const std::vector<double> kOutline = {0.0, 0.0, 2.0, -0.3, 3.6, 0.4, 4.1,  1.9,
                                      3.0, 3.2, 1.4, 3.5,  0.2, 2.6, -0.6, 1.1};

TEST(ProcrustesOutliersTest, SwappedLandmarksAndAMirroredPhotoAreFoundIn2D) {
  const Matrix clean = noisy_copies(kOutline, 2, 40, 0.02, 11);
  {
    const ConsensusResult fit = getconsensus(clean, 2);
    const OutlierScreen screen = procrustes_outliers(fit.superimposed, fit.consensus, 2);
    for (const SpecimenDistance& s : screen.specimens) {
      EXPECT_EQ(s.swap_first, 0u);
      EXPECT_FALSE(s.mirrored);
    }
  }
  Matrix x = clean;
  swap_landmarks(x, 6, 4, 5, 2);                                       // specimen 7
  for (std::size_t c = 0; c < x.cols(); c += 2) x(20, c) = -x(20, c);  // specimen 21 mirrored
  // Specimen 30 misses landmark 8 and has landmarks 1 and 2 swapped: it is
  // fitted by its present landmarks and searched the same way.
  swap_landmarks(x, 29, 1, 2, 2);
  x(29, 14) = x(29, 15) = kMissing;
  const PartialFitResult fit = superimpose_with_missing(x, 2);
  const OutlierScreen screen = procrustes_outliers(fit.fit.superimposed, fit.fit.consensus, 2);
  const SpecimenDistance& swapped = screen.specimens[6];
  ASSERT_TRUE(swapped.flagged);
  EXPECT_EQ(swap_of(swapped), "4-5");
  // After the swap it is one of the noisy copies again.
  EXPECT_LT(swapped.distance_after_swap, screen.threshold);
  EXPECT_LT(swapped.distance_after_swap, 0.2 * swapped.distance);
  EXPECT_TRUE(swapped.worst_landmark == 4 || swapped.worst_landmark == 5);
  EXPECT_FALSE(swapped.mirrored);

  const SpecimenDistance& mirrored = screen.specimens[20];
  ASSERT_TRUE(mirrored.flagged);
  EXPECT_TRUE(mirrored.mirrored);
  EXPECT_LT(mirrored.mirror_distance, screen.threshold);

  const SpecimenDistance& gap = screen.specimens[29];
  ASSERT_TRUE(gap.flagged);
  EXPECT_TRUE(gap.incomplete);
  EXPECT_EQ(swap_of(gap), "1-2");
  EXPECT_LT(gap.distance_after_swap, screen.threshold);

  for (std::size_t i = 0; i < screen.specimens.size(); ++i) {
    if (i != 6 && i != 29) {
      EXPECT_EQ(screen.specimens[i].swap_first, 0u) << "specimen " << i + 1;
    }
  }
}

TEST(ProcrustesOutliersTest, SwappedLandmarksAndAMirrorImageAreFoundIn3D) {
  const std::vector<double> solid = {0.0, 0.0, 0.0, 2.0, 0.1, 0.3, 0.4,  1.8, -0.2,
                                     1.1, 0.7, 1.9, 2.5, 2.2, 0.8, -0.3, 1.2, 1.0};
  Matrix x = noisy_copies(solid, 3, 30, 0.02, 5);
  swap_landmarks(x, 2, 2, 6, 3);
  for (std::size_t c = 2; c < x.cols(); c += 3) x(9, c) = -x(9, c);  // z negated
  const ConsensusResult fit = getconsensus(x, 3);
  const OutlierScreen screen = procrustes_outliers(fit.superimposed, fit.consensus, 3);
  const SpecimenDistance& swapped = screen.specimens[2];
  ASSERT_TRUE(swapped.flagged);
  EXPECT_EQ(swap_of(swapped), "2-6");
  EXPECT_LT(swapped.distance_after_swap, screen.threshold);
  const SpecimenDistance& mirrored = screen.specimens[9];
  ASSERT_TRUE(mirrored.flagged);
  EXPECT_TRUE(mirrored.mirrored);
  EXPECT_LT(mirrored.mirror_distance, screen.threshold);
}

}  // namespace
}  // namespace dg

#include "morpho/formtrad2.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <span>
#include <vector>

#include "morpho/centsize.hpp"
#include "morpho/landmark_angle.hpp"
#include "morpho/partial_fit.hpp"
#include "test_support.hpp"

namespace dg {
namespace {

// Six landmarks and a trailing size: 13 columns.
const Matrix kSix = {{0, 0, 4, 0, 5, 3, 2, 6, -1, 4, -2, 1, 10}};

// formtrad2 of rows that hold their coordinates, then their size, for pairs
// of landmark numbers counted from 1.
Matrix measure(const Matrix& x, const Matrix& pairs, std::span<const double> partial = {},
               std::size_t dims = 2) {
  Matrix coordinates(x.rows(), x.cols() - 1);
  std::vector<double> sizes(x.rows());
  for (std::size_t i = 0; i < x.rows(); ++i) {
    for (std::size_t c = 0; c + 1 < x.cols(); ++c) coordinates(i, c) = x(i, c);
    sizes[i] = x(i, x.cols() - 1);
  }
  std::vector<std::size_t> index;
  for (double v : pairs.values()) index.push_back(static_cast<std::size_t>(v) - 1);
  return formtrad2(coordinates, sizes, index, partial, dims);
}

TEST(Formtrad2Test, SquareRowPairOrderAndRepeatedLandmark) {
  // A unit-size square with stored size sqrt(8) comes back with corners (+-1, +-1).
  const double a = 0.35355339, root8 = std::sqrt(8.0);
  const Matrix y =
      measure(Matrix{{-a, -a, a, -a, a, a, -a, a, root8}}, Matrix{{1, 2}, {1, 3}, {3, 1}, {2, 2}});
  ASSERT_EQ(y.cols(), 5u);
  EXPECT_NEAR(y(0, 0), 2.0, 1e-12);
  EXPECT_NEAR(y(0, 1), root8, 1e-12);
  EXPECT_EQ(y(0, 2), y(0, 1));
  EXPECT_EQ(y(0, 3), 0.0);
  EXPECT_EQ(y(0, 4), root8);
}

TEST(Formtrad2Test, ScalesEachCoordinateByMultiplyingFirst) {
  // (v * size) / centroid size; v * (size / cs) ends in ...335, (v / cs) * size in ...334.
  const Matrix x{{4.3, 3.6, 4.9, 1.7, -3.4, 3.6, 2.9}};
  EXPECT_EQ(measure(x, Matrix{{1, 2}})(0, 0), 0.8589501581522332);
}

TEST(Formtrad2Test, NoPairsNoRowsAndZeroSize) {
  EXPECT_EQ(measure(Matrix{{0, 0, 1, 0, 1, 1, 2}, {0, 0, 3, 0, 3, 3, 5}}, Matrix()),
            (Matrix{{2}, {5}}));
  EXPECT_TRUE(formtrad2(Matrix(), {}, std::vector<std::size_t>{0, 1}, {}, 2).empty());
  EXPECT_TRUE(std::isnan(measure(Matrix{{1, 1, 1, 1, 4}}, Matrix{{1, 2}})(0, 0)));
}

TEST(Formtrad2Test, DistancesInSpaceAtTheirOwnSize) {
  // x y z of three landmarks: 1-2 is 3 long (1, 2, 2), 2-3 is 13 (3, 4, 12).
  std::vector<double> row = {0, 0, 0, 1, 2, 2, 4, 6, 14};
  row.push_back(centsize(row, 3));
  Matrix x;
  x.append_row(row);
  row.back() *= 2;
  x.append_row(row);
  const Matrix y = measure(x, Matrix{{1, 2}, {2, 3}}, {}, 3);
  EXPECT_NEAR(y(0, 0), 3, 1e-12);
  EXPECT_NEAR(y(0, 1), 13, 1e-12);
  EXPECT_NEAR(y(1, 1), 26, 1e-12);
  EXPECT_EQ(y(1, 2), row.back());
  // The row-by-row plan gives the same bits.
  Matrix coordinates(2, 9);
  for (std::size_t i = 0; i < 2; ++i) {
    for (std::size_t c = 0; c < 9; ++c) coordinates(i, c) = x(i, c);
  }
  const std::vector<double> sizes{x(0, 9), x(1, 9)};
  const std::vector<std::size_t> pairs{0, 1, 1, 2};
  const DistancePlan plan = distance_plan(coordinates, sizes, pairs, {}, 3);
  std::vector<double> out(plan.cols());
  distance_row(coordinates, plan, 1, out);
  EXPECT_EQ(out, (std::vector<double>(y.row(1).begin(), y.row(1).end())));
  // x y z with z = 0 sizes and measures as x y.
  const std::vector<double> flat = {4.3, 3.6, 4.9, 1.7, -3.4, 3.6, 2.9};
  const std::vector<double> lifted = {4.3, 3.6, 0, 4.9, 1.7, 0, -3.4, 3.6, 0, 2.9};
  EXPECT_EQ(centsize(std::span(lifted).first(9), 3), centsize(std::span(flat).first(6)));
  EXPECT_EQ(measure(Matrix::row_vector(lifted), Matrix{{1, 3}}, {}, 3),
            measure(Matrix::row_vector(flat), Matrix{{1, 3}}));
}

TEST(Formtrad2Test, AnglesInSpace) {
  // A right angle at landmark 2 in a tilted plane, and one within 1e-9 of a straight line.
  const std::vector<double> row = {1, 1, 1, 0, 0, 0, 1, -1, 0, -1, -1, -1 + 1e-9};
  const double pi = std::acos(-1.0);
  EXPECT_NEAR(landmark_angle(row, 0, 1, 2, 3), pi / 2, 1e-15);
  EXPECT_NEAR(landmark_angle(row, 0, 1, 3, 3), pi - 1e-9 * std::sqrt(2.0 / 3.0) / std::sqrt(3.0),
              1e-15);
  EXPECT_TRUE(std::isnan(landmark_angle(row, 0, 1, 1, 3)));
  const std::vector<double> flat = {4.3, 3.6, 4.9, 1.7, -3.4, 3.6};
  const std::vector<double> lifted = {4.3, 3.6, 0, 4.9, 1.7, 0, -3.4, 3.6, 0};
  EXPECT_EQ(landmark_angle(lifted, 0, 1, 2, 3), landmark_angle(flat, 0, 1, 2, 2));
}

TEST(Formtrad2Test, PartlyFittedRowsKeepTheirDistancesAsRead) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  Matrix x = kSix;
  x.append_row(std::vector<double>{5, 5, 5, 9, 2, 10, -1, 7, 1, 4, 4, 3, 30});
  const std::vector<double> raw = {1, 2, nan, nan, 7, 3, 4, 4, -2, 5, 0, 0, nan};
  x.append_row(raw);
  Matrix read(3, 12);
  std::vector<double> sizes(3);
  for (std::size_t i = 0; i < 3; ++i) {
    for (std::size_t c = 0; c < 12; ++c) read(i, c) = x(i, c);
    sizes[i] = x(i, 12);
  }
  const PartialFitResult fit = superimpose_with_missing(read, 2);
  const std::vector<std::size_t> pairs = {0, 2, 2, 5, 3, 4, 5, 0, 1, 3};
  const Matrix y = formtrad2(fit.fit.superimposed, sizes, pairs, fit.partial_size, 2);
  const Matrix plain = formtrad2(fit.fit.superimposed, sizes, pairs, {}, 2);
  for (std::size_t i = 0; i < 2; ++i) {
    for (std::size_t j = 0; j < 6; ++j) EXPECT_EQ(y(i, j), plain(i, j)) << i << " " << j;
  }
  const auto dist = [&](std::size_t p, std::size_t q) {
    return std::hypot(raw[2 * p] - raw[2 * q], raw[2 * p + 1] - raw[2 * q + 1]);
  };
  // The row as read, landmark 2 missing; its trailing value stays NaN.
  for (std::size_t j = 0; j < 4; ++j) {
    EXPECT_NEAR(y(2, j), dist(pairs[2 * j], pairs[2 * j + 1]), 1e-12) << j;
  }
  EXPECT_TRUE(std::isnan(y(2, 4)) && std::isnan(y(2, 5)));

  EXPECT_THROW_MSG(formtrad2(read, sizes, pairs, std::vector<double>(2), 2),
                   "The partial sizes hold 2 values for 3 specimens; give one per specimen or "
                   "none.");
}

}  // namespace
}  // namespace dg

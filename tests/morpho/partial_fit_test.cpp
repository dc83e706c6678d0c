#include "morpho/partial_fit.hpp"
#include "morpho/guide_fit.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <span>
#include <string>
#include <vector>

#include "test_support.hpp"

namespace dg {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Same bits, so NaN rows compare too.
bool same_bits(std::span<const double> a, std::span<const double> b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size_bytes()) == 0;
}

// Three complete five-landmark specimens.
Matrix complete_sample() {
  return Matrix{{0.0, 0.0, 3.0, 0.2, 3.5, 2.0, 1.0, 2.5, -0.5, 1.2},
                {5.1, 1.0, 8.3, 0.9, 8.4, 3.3, 6.2, 3.4, 4.4, 2.1},
                {-2.0, 7.0, -1.8, 10.2, -3.9, 10.4, -4.4, 8.1, -3.1, 6.3}};
}

TEST(PartialFitTest, SimilarCopyOfConsensusLandsOnIt) {
  const Matrix complete = complete_sample();
  const ConsensusResult alone = getconsensus(complete, 2);
  const auto y = alone.consensus.row(0);
  // The consensus turned 30 degrees, scaled by 3.5 and moved; landmarks 2 and 4 missing.
  const double c = std::cos(std::numbers::pi / 6), s = 0.5;
  std::vector<double> copy(10, kNaN);
  for (std::size_t j : {0u, 2u, 4u}) {
    copy[2 * j] = 3.5 * (y[2 * j] * c - y[2 * j + 1] * s) + 40;
    copy[2 * j + 1] = 3.5 * (y[2 * j] * s + y[2 * j + 1] * c) - 7;
  }
  Matrix x;
  x.append_row(complete.row(0));
  x.append_row(copy);
  x.append_row(complete.row(1));
  x.append_row(complete.row(2));

  const PartialFitResult res = superimpose_with_missing(x, 2);
  EXPECT_EQ(res.incomplete, 1u);
  EXPECT_EQ(res.fit.passes, alone.passes);
  EXPECT_TRUE(same_bits(res.fit.consensus.values(), alone.consensus.values()));
  ASSERT_EQ(res.fit.superimposed.rows(), 4u);
  for (std::size_t i : {0u, 2u, 3u}) {
    EXPECT_TRUE(same_bits(res.fit.superimposed.row(i), alone.superimposed.row(i ? i - 1 : 0))) << i;
  }
  ASSERT_EQ(res.partial_size.size(), 4u);
  EXPECT_NEAR(res.partial_size[1], 3.5, 1e-12);
  for (std::size_t i : {0u, 2u, 3u}) EXPECT_TRUE(std::isnan(res.partial_size[i])) << i;
  const auto fitted = res.fit.superimposed.row(1);
  for (std::size_t j = 0; j < 5; ++j) {
    if (j % 2 == 0) {
      EXPECT_NEAR(fitted[2 * j], y[2 * j], 1e-12) << j;
      EXPECT_NEAR(fitted[2 * j + 1], y[2 * j + 1], 1e-12) << j;
    } else {
      EXPECT_TRUE(std::isnan(fitted[2 * j]) && std::isnan(fitted[2 * j + 1])) << j;
    }
  }
}

TEST(PartialFitTest, IncompleteRowsWorkedByHand) {
  // One complete square: the consensus is the square at unit size, corners (+-a, +-a).
  const double a = 1 / std::sqrt(8.0);
  const Matrix x = {
      {-1, -1, 1, -1, 1, 1, -1, 1},
      // The square of side 4 turned a quarter turn, corner 4 missing: fits exactly.
      {10, 0, 10, 4, 6, 4, kNaN, kNaN},
      // A triangle that no similarity maps onto corners 1 to 3; corner 4 has only its y
      // missing. Centred: (-1,-1), (1,-1), (0,2), with ct = 6a, st = -2a, squares 8.
      {-1, 0, 1, 0, 0, 3, 5, kNaN},
      // One present landmark, and two coinciding ones: nothing to fit.
      {kNaN, kNaN, 3, 3, kNaN, kNaN, kNaN, kNaN},
      {2, 2, kNaN, kNaN, 2, 2, kNaN, kNaN},
  };
  const PartialFitResult res = superimpose_with_missing(x, 2);
  EXPECT_EQ(res.incomplete, 4u);
  const Matrix& z = res.fit.superimposed;

  const std::vector<double> square = {-a, -a, a, -a, a, a};
  for (std::size_t c = 0; c < 6; ++c) EXPECT_NEAR(z(1, c), square[c], 1e-15) << c;
  EXPECT_NEAR(res.partial_size[1], 4 * std::sqrt(2.0), 1e-14);

  // s = a sqrt(10) / 4 at atan2(-1, 3); the fitted corners are a multiples of these.
  const std::vector<double> triangle = {-2.0 / 3, -5.0 / 6, 5.0 / 6, -4.0 / 3, 5.0 / 6, 7.0 / 6};
  for (std::size_t c = 0; c < 6; ++c) EXPECT_NEAR(z(2, c), a * triangle[c], 1e-15) << c;
  EXPECT_NEAR(res.partial_size[2], 4 / std::sqrt(1.25), 1e-14);
  EXPECT_TRUE(std::isnan(z(2, 6)) && std::isnan(z(2, 7)));

  for (std::size_t i : {3u, 4u}) {
    for (std::size_t c = 0; c < 8; ++c) EXPECT_TRUE(std::isnan(z(i, c))) << i << " " << c;
    EXPECT_TRUE(std::isnan(res.partial_size[i])) << i;
  }
  EXPECT_TRUE(std::isnan(res.partial_size[0]));
}

TEST(PartialFitTest, AllCompleteOrNoneComplete) {
  const Matrix complete = complete_sample();
  const ConsensusResult plain = getconsensus(complete, 2);
  const PartialFitResult res = superimpose_with_missing(complete, 2);
  EXPECT_EQ(res.incomplete, 0u);
  EXPECT_TRUE(res.partial_size.empty());
  EXPECT_EQ(res.fit.passes, plain.passes);
  EXPECT_TRUE(same_bits(res.fit.superimposed.values(), plain.superimposed.values()));
  EXPECT_TRUE(same_bits(res.fit.consensus.values(), plain.consensus.values()));

  Matrix none = complete;
  const std::string tail = "; the superimposition needs at least one complete specimen.";
  none(0, 3) = none(1, 0) = none(2, 9) = kNaN;
  EXPECT_THROW_MSG(superimpose_with_missing(none, 2),
                   "None of the 3 specimens has every landmark" + tail);
  EXPECT_THROW_MSG(superimpose_with_missing(Matrix{{0, kNaN, 1, 1}}, 2),
                   "The only specimen misses landmarks" + tail);
}

// In 3-D an incomplete specimen that is a turned, scaled and moved copy of
// the consensus lands on it by its present landmarks, and its factor undoes
// the scale.
TEST(PartialFitTest, ThreeDimensionalCopyOfConsensusLandsOnIt) {
  Matrix x{{0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1.3},
           {0.1, 0, 0, 1.2, 0.1, 0, 0, 0.9, 0.2, 0, 0.1, 1.2},
           {0, 0, 0, 1, 0.1, 0, 0.1, 1, 0, 0.1, 0, 1.1},
           {0, 0, 0, 0, 0, 0, 0, 0, 0, kNaN, kNaN, kNaN}};
  const PartialFitResult base =
      superimpose_with_missing(Matrix{{0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1.3},
                                      {0.1, 0, 0, 1.2, 0.1, 0, 0, 0.9, 0.2, 0, 0.1, 1.2},
                                      {0, 0, 0, 1, 0.1, 0, 0.1, 1, 0, 0.1, 0, 1.1}},
                               3);
  const auto c = base.fit.consensus.row(0);
  // Row 4: the consensus turned a third of a turn about (1, 1, 1), doubled, moved.
  for (std::size_t j = 0; j < 3; ++j) {
    x(3, 3 * j) = 2 * c[3 * j + 2] + 5;
    x(3, 3 * j + 1) = 2 * c[3 * j] - 1;
    x(3, 3 * j + 2) = 2 * c[3 * j + 1] + 2;
  }
  const PartialFitResult fitted = superimpose_with_missing(x, 3);
  EXPECT_EQ(fitted.incomplete, 1u);
  for (std::size_t j = 0; j < 9; ++j) EXPECT_NEAR(fitted.fit.superimposed(3, j), c[j], 1e-9) << j;
  EXPECT_TRUE(std::isnan(fitted.fit.superimposed(3, 9)));
  EXPECT_NEAR(fitted.partial_size[3], 2.0, 1e-9);
}

}  // namespace
}  // namespace dg

namespace dg {
namespace {

// The guide of a digitiser: a shape turned, scaled and moved onto two placed
// landmarks foretells the third exactly; with one placed there is no guide.
TEST(FitGuide, CarriesTheShapeOntoThePlacedLandmarks) {
  const std::vector<double> shape{0, 0, 1, 0, 0, 1};
  // Turned a quarter, doubled, moved by (10, 20): (x, y) -> (10 - 2y, 20 + 2x).
  const auto fitted = fit_guide(shape, std::vector<double>{10, 20, 10, 22});
  ASSERT_TRUE(fitted);
  const std::vector<double> expected{10, 20, 10, 22, 8, 20};
  for (std::size_t i = 0; i < 6; ++i) EXPECT_NEAR((*fitted)[i], expected[i], 1e-12) << i;
  EXPECT_FALSE(fit_guide(shape, std::vector<double>{10, 20}));
  EXPECT_FALSE(fit_guide(shape, std::vector<double>{10, 20, NAN, NAN}));
}

}  // namespace
}  // namespace dg

#include "morpho/centsize.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "morpho/centpos.hpp"

namespace dg {
namespace {

TEST(CentsizeTest, SquareIgnoresTrailingValueAndRowsKeepTheirOrder) {
  const std::vector<double> square = {0, 0, 2, 0, 2, 2, 0, 2};
  EXPECT_EQ(centpos(square), (std::array<double, 2>{1, 1}));
  EXPECT_DOUBLE_EQ(centsize(square), std::sqrt(8.0));
  const Matrix x = {{0, 0, 4, 0, 4, 4, 0, 4, 9}, {0, 0, 2, 0, 2, 2, 0, 2, 1e6}};
  EXPECT_EQ(centpos(x.row(1)), centpos(square));
  EXPECT_EQ(centsize(x), (std::vector<double>{2 * centsize(square), centsize(square)}));
}

TEST(CentsizeTest, SumsEachLandmarksXTermBeforeItsYTerm) {
  // Adding dx^2 + dy^2 per landmark, or all x terms first, ends in ...925.
  EXPECT_EQ(centsize(std::vector<double>{-2.0, -4.7, 3.7, -0.3, 2.2, 3.8}), 7.321202087089251);
}

TEST(CentsizeTest, DegenerateConfigurations) {
  EXPECT_EQ(centsize(std::vector<double>{7, 7, 7, 7, 9}), 0.0);  // coincident landmarks
  EXPECT_EQ(centsize(Matrix{{4}, {5}}), (std::vector<double>{0, 0}));
  EXPECT_TRUE(std::isnan(centpos(std::vector<double>{5})[1]));
}

}  // namespace
}  // namespace dg

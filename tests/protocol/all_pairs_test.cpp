#include "protocol/all_pairs.hpp"

#include <gtest/gtest.h>

#include "test_support.hpp"

namespace dg {
namespace {

TEST(AllPairs, EveryPairOnceInOrderNumberedFromOne) {
  EXPECT_EQ(all_pairs(2), (Matrix{{1, 1, 2}}));
  const Matrix many = all_pairs(50);
  EXPECT_EQ(many.rows(), 50u * 49 / 2);
  EXPECT_EQ(many(many.rows() - 1, 0), static_cast<double>(many.rows()));
  EXPECT_EQ(many(many.rows() - 1, 1), 49);
  EXPECT_EQ(many(many.rows() - 1, 2), 50);
}

TEST(AllPairs, FewerThanTwoLandmarksAreRefusedNamingTheCount) {
  EXPECT_THROW_MSG(all_pairs(1), "A sample of 1 landmark has no pairs.");
  EXPECT_THROW_MSG(all_pairs(0), "A sample of 0 landmarks has no pairs.");
}

}  // namespace
}  // namespace dg

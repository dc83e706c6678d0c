#include "protocol/landmark_list.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "input/dload.hpp"
#include "protocol/write_list.hpp"
#include "test_support.hpp"

namespace dg {
namespace {

using LandmarkListTest = ScratchTest;

TEST_F(LandmarkListTest, WrittenListsReadBackTheSame) {
  const std::string path = at("out.txt");
  write_list(path, Matrix{{1, 1, 2}, {2, 3, 4}});
  EXPECT_EQ(contents(path), "1 1 2\n2 3 4\n");
  EXPECT_EQ(dload(path), (Matrix{{1, 1, 2}, {2, 3, 4}}));

  // Labels need not be small whole numbers: each keeps every digit.
  const Matrix odd{{2.5, 1, 2, 3}, {1e20, 0.1, -4, 1.0 / 3}, {NAN, INFINITY, -INFINITY, -0.0}};
  write_list(path, odd);
  EXPECT_EQ(contents(path),
            "2.5 1 2 3\n100000000000000000000 0.1 -4 0.3333333333333333\nNaN Inf -Inf -0\n");
  const Matrix back = dload(path);
  ASSERT_EQ(back.rows(), 3u);
  for (std::size_t i = 0; i < 2; ++i) {
    for (std::size_t j = 0; j < 4; ++j) EXPECT_EQ(back(i, j), odd(i, j));
  }
  EXPECT_TRUE(std::isnan(back(2, 0)));
  EXPECT_EQ(back(2, 2), -INFINITY);

  write_list(path, Matrix());
  EXPECT_EQ(contents(path), "");
}

TEST_F(LandmarkListTest, AFailedWriteNamesTheFile) {
  const std::string path = at("missing/out.txt");
  EXPECT_THROW_HAS(write_list(path, Matrix{{1, 1, 2}}), path);
}

TEST(LandmarkIndices, ZeroBasedRowByRow) {
  EXPECT_EQ(landmark_indices(Matrix{{1, 1, 3}, {2, 4, 2}}, 2, 2, 4, "Pair"),
            (std::vector<std::size_t>{0, 2, 3, 1}));
  EXPECT_TRUE(landmark_indices(Matrix(), 2, 3, 0, "Triple").empty());
}

TEST(LandmarkIndices, ErrorsNameTheListTheRowAndTheLandmark) {
  EXPECT_THROW_MSG(landmark_indices(Matrix{{1, 2}}, 2, 2, 4, "Pair"),
                   "Pair list rows need 3 columns (a number, then 2 landmark numbers); this list "
                   "has 2.");
  EXPECT_THROW_MSG(check_width(Matrix{{1, 2, 3}}, 2, 3, "Triple"),
                   "Triple list rows need 4 columns (a number, then 3 landmark numbers); this "
                   "list has 3.");
  const std::string not_whole = ", which is not a whole positive landmark number.";
  EXPECT_THROW_MSG(landmark_indices(Matrix{{1, 1, 2}, {2, 2.5, 3}}, 2, 2, 4, "Pair"),
                   "Pair 2 names landmark 2.5" + not_whole);
  EXPECT_THROW_MSG(landmark_indices(Matrix{{1, 0, 2, 3}}, 2, 3, 4, "Triple"),
                   "Triple 1 names landmark 0" + not_whole);
  EXPECT_THROW_MSG(landmark_indices(Matrix{{1, 1, NAN}}, 2, 2, 4, "Pair"),
                   "Pair 1 names landmark NaN" + not_whole);
  EXPECT_THROW_MSG(landmark_indices(Matrix{{1, 1, 2}}, 2, 2, 0, "Pair"),
                   "Pair 1 names landmark 1, but no sample is loaded.");
  EXPECT_THROW_MSG(landmark_indices(Matrix{{1, 1, 2}, {2, 3, 5}}, 2, 2, 4, "Pair"),
                   "Pair 2 names landmark 5, but the data have 4 landmarks.");
}

}  // namespace
}  // namespace dg

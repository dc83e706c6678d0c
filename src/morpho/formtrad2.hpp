// Traditional distance measurements: brings every configuration of an
// r x (2k+1) landmark matrix to the size held in its trailing column, then
// measures the straight-line distance between the two landmarks of each pair.
//
// pairs: p x 2 (further columns are ignored), 1-based landmark numbers held
// in doubles. Result: r x (p+1), the p distances in pair order followed by
// the trailing column. p = 0 gives the sizes alone; a matrix without rows
// gives the empty matrix. Raises a RuntimeError, before computing anything,
// when pairs has rows but fewer than two columns or names a landmark that is
// not a whole number from 1 to k. A zero-size configuration gives NaN
// distances without raising. With `dims` 3 the matrix is r x (3k+1), x y z
// of each landmark then the size, and distances are measured in space.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "runtime/array/matrix.hpp"

namespace dg {

Matrix formtrad2(const Matrix& x, const Matrix& pairs);

// As above, except for rows whose `partial_size` is not NaN (specimens fitted
// by part of their landmarks, whose trailing value is NaN): their distances
// are measured on the stored coordinates times that factor, so they are the
// distances as read; a pair with a missing landmark gives NaN, and the
// trailing value is kept as stored. An empty `partial_size` gives
// formtrad2(x, pairs); any size other than 0 or r raises a RuntimeError.
Matrix formtrad2(const Matrix& x, const Matrix& pairs, std::span<const double> partial_size,
                 std::size_t dims = 2);

// The same measurement a row at a time, so a writer can compute each row as it
// writes it instead of holding the whole r x (p+1) result. distance_plan makes
// formtrad2's checks (and raises its errors) for x, pairs and partial_size;
// distance_row then fills `out` (p+1 values) with row i of formtrad2's result,
// bit for bit. A plan stays valid while x and partial_size are unchanged.
struct DistancePlan {
  std::size_t rows = 0;                    // r; 0 leaves the pairs unchecked, as formtrad2 does
  std::vector<std::size_t> first, second;  // per pair, the x columns of its two landmarks
  std::span<const double> partial_size;    // empty, or one factor per row
  std::size_t dims = 2;                    // coordinates per landmark
  std::size_t cols() const { return rows == 0 ? 0 : first.size() + 1; }
};
DistancePlan distance_plan(const Matrix& x, const Matrix& pairs,
                           std::span<const double> partial_size = {}, std::size_t dims = 2);
void distance_row(const Matrix& x, const DistancePlan& plan, std::size_t i, std::span<double> out);

}  // namespace dg

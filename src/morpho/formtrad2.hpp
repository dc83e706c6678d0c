// Traditional distance measurements: brings every configuration of an
// r x dk coordinate matrix (x y, or x y z with dims 3, of each landmark) to
// its size in `sizes` (one per row), then measures the straight-line distance
// between the two landmarks of each pair.
//
// pairs: 0-based landmark indices, two per pair, checked by the caller (every
// index below k). Result: r x (p+1), the p distances in pair order followed
// by the row's size, the traditional dataset. No pairs give the sizes alone;
// a matrix without rows gives the empty matrix. A zero-size configuration
// gives NaN distances. Raises a RuntimeError only for partial sizes of the
// wrong count.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "runtime/array/matrix.hpp"

namespace dg {

// Rows whose `partial_size` is not NaN (specimens fitted by part of their
// landmarks, whose size is NaN) are measured on their coordinates times that
// factor, so their distances are the distances as read; a pair with a
// missing landmark gives NaN, and the size is kept as it is. An empty
// `partial_size` leaves every row to its size; any count other than 0 or r
// raises a RuntimeError.
Matrix formtrad2(const Matrix& x, std::span<const double> sizes, std::span<const std::size_t> pairs,
                 std::span<const double> partial_size, std::size_t dims);

// The same measurement a row at a time, so a writer can compute each row as it
// writes it instead of holding the whole r x (p+1) result. distance_plan makes
// formtrad2's check of the partial sizes; distance_row then fills `out` (p+1
// values) with row i of formtrad2's result, bit for bit. A plan keeps views of
// the sizes and partial sizes, valid while they are unchanged.
struct DistancePlan {
  std::size_t rows = 0;                    // r
  std::vector<std::size_t> first, second;  // per pair, the x columns of its two landmarks
  std::span<const double> sizes;           // one per row
  std::span<const double> partial_size;    // empty, or one factor per row
  std::size_t dims = 2;                    // coordinates per landmark
  std::size_t cols() const { return rows == 0 ? 0 : first.size() + 1; }
};
DistancePlan distance_plan(const Matrix& x, std::span<const double> sizes,
                           std::span<const std::size_t> pairs, std::span<const double> partial_size,
                           std::size_t dims);
void distance_row(const Matrix& x, const DistancePlan& plan, std::size_t i, std::span<double> out);

}  // namespace dg

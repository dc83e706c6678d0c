// Centroid size: the square root of the summed squared distances of the
// k = floor(n / 2) landmarks from their centroid (see centpos.hpp for the
// layout; a trailing size value is ignored).
// centsize(row) sizes one configuration of n values; centsize(x) sizes every
// row of an r x n matrix and returns r values in row order. Fewer than two
// values give size 0. The forms with `dims` size configurations of `dims`
// coordinates per landmark (2: as above; 3: x1 y1 z1 ... xk yk zk, k =
// floor(n / 3)). Never raises.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "runtime/array/matrix.hpp"

namespace dg {

double centsize(std::span<const double> row);
std::vector<double> centsize(const Matrix& x);
double centsize(std::span<const double> row, std::size_t dims);
std::vector<double> centsize(const Matrix& x, std::size_t dims);

}  // namespace dg

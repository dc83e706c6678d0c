// Every pair of the landmarks of a sample of k landmarks, as a pair list: a
// p x 3 matrix (p = k (k - 1) / 2) of rows "n a b", n = 1..p, in the order
// 1 2, 1 3, ..., 1 k, 2 3, ..., k-1 k. Raises a RuntimeError naming k when it
// is below 2 ("A sample of 1 landmark has no pairs.").
#pragma once

#include <cstddef>

#include "runtime/array/matrix.hpp"

namespace dg {

Matrix all_pairs(std::size_t k);

}  // namespace dg

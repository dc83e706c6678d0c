#include "protocol/all_pairs.hpp"

#include <string>

#include "runtime/array/error.hpp"

namespace dg {

Matrix all_pairs(std::size_t k) {
  if (k < 2) {
    raise("A sample of " + std::to_string(k) + (k == 1 ? " landmark" : " landmarks") +
          " has no pairs.");
  }
  Matrix pairs(k * (k - 1) / 2, 3);
  std::size_t n = 0;
  for (std::size_t a = 1; a < k; ++a) {
    for (std::size_t b = a + 1; b <= k; ++b, ++n) {
      pairs(n, 0) = static_cast<double>(n + 1);
      pairs(n, 1) = static_cast<double>(a);
      pairs(n, 2) = static_cast<double>(b);
    }
  }
  return pairs;
}

}  // namespace dg

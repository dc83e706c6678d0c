#include "morpho/centpos.hpp"

namespace dg {

std::array<double, 2> centpos(std::span<const double> x) {
  const std::size_t k = x.size() / 2;
  double sx = 0.0;
  double sy = 0.0;
  for (std::size_t j = 0; j < k; ++j) {
    sx += x[2 * j];
    sy += x[2 * j + 1];
  }
  // k = 0 divides zero by zero on purpose: an empty configuration has no centroid.
  const auto count = static_cast<double>(k);
  return {sx / count, sy / count};
}

}  // namespace dg

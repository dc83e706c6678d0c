#include "morpho/landmark_angle.hpp"

#include <cmath>

#include "runtime/array/portable_math.hpp"

namespace dg {

double landmark_angle(std::span<const double> row, std::size_t a, std::size_t v, std::size_t b,
                      std::size_t dims) {
  if (dims != 3) {
    const double dx1 = row[2 * a] - row[2 * v], dy1 = row[2 * a + 1] - row[2 * v + 1];
    const double dx2 = row[2 * b] - row[2 * v], dy2 = row[2 * b + 1] - row[2 * v + 1];
    const double cross = dx1 * dy2 - dy1 * dx2;
    const double dot = dx1 * dx2 + dy1 * dy2;
    const bool zero_arm = (dx1 == 0 && dy1 == 0) || (dx2 == 0 && dy2 == 0);
    return zero_arm ? std::nan("") : portable_atan2(std::abs(cross), dot);
  }
  double u[3], w[3];
  for (std::size_t d = 0; d < 3; ++d) {
    u[d] = row[3 * a + d] - row[3 * v + d];
    w[d] = row[3 * b + d] - row[3 * v + d];
  }
  const double cx = u[1] * w[2] - u[2] * w[1];
  const double cy = u[2] * w[0] - u[0] * w[2];
  const double cz = u[0] * w[1] - u[1] * w[0];
  const double dot = u[0] * w[0] + u[1] * w[1] + u[2] * w[2];
  const bool zero_arm =
      (u[0] == 0 && u[1] == 0 && u[2] == 0) || (w[0] == 0 && w[1] == 0 && w[2] == 0);
  return zero_arm ? std::nan("") : portable_atan2(std::sqrt(cx * cx + cy * cy + cz * cz), dot);
}

}  // namespace dg

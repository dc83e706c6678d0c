#include "morpho/guide_fit.hpp"

#include <cmath>

namespace dg {

std::optional<std::vector<double>> fit_guide(std::span<const double> shape,
                                             std::span<const double> placed) {
  // In complex numbers z = x + iy the fit is w = a z + b: b moves the
  // shape's centre of the used landmarks onto the placed ones', a = s e^{it}
  // turns and scales, a = sum (w - w0) conj(z - z0) / sum |z - z0|^2.
  const std::size_t k = shape.size() / 2;
  std::vector<std::size_t> used;
  for (std::size_t j = 0; j < placed.size() / 2 && j < k; ++j) {
    if (std::isfinite(placed[2 * j]) && std::isfinite(placed[2 * j + 1]) &&
        std::isfinite(shape[2 * j]) && std::isfinite(shape[2 * j + 1])) {
      used.push_back(j);
    }
  }
  if (used.size() < 2) return std::nullopt;
  double zx = 0, zy = 0, wx = 0, wy = 0;
  for (const std::size_t j : used) {
    zx += shape[2 * j], zy += shape[2 * j + 1];
    wx += placed[2 * j], wy += placed[2 * j + 1];
  }
  const double n = static_cast<double>(used.size());
  zx /= n, zy /= n, wx /= n, wy /= n;
  double re = 0, im = 0, norm = 0;
  for (const std::size_t j : used) {
    const double ax = shape[2 * j] - zx, ay = shape[2 * j + 1] - zy;
    const double bx = placed[2 * j] - wx, by = placed[2 * j + 1] - wy;
    re += bx * ax + by * ay;
    im += by * ax - bx * ay;
    norm += ax * ax + ay * ay;
  }
  if (!(norm > 0)) return std::nullopt;
  re /= norm, im /= norm;
  std::vector<double> fitted(2 * k);
  for (std::size_t j = 0; j < k; ++j) {
    const double ax = shape[2 * j] - zx, ay = shape[2 * j + 1] - zy;
    fitted[2 * j] = wx + re * ax - im * ay;
    fitted[2 * j + 1] = wy + im * ax + re * ay;
  }
  return fitted;
}

}  // namespace dg

#include "morpho/centsize.hpp"

#include <cmath>

#include "morpho/centpos.hpp"
#include "runtime/array/parallel.hpp"

namespace dg {

double centsize(std::span<const double> row) {
  const std::size_t k = row.size() / 2;
  const auto [cx, cy] = centpos(row);
  double s = 0.0;
  // The x term of a landmark is added before its y term; callers rely on this
  // order for reproducible sums.
  for (std::size_t j = 0; j < k; ++j) {
    const double dx = row[2 * j] - cx;
    const double dy = row[2 * j + 1] - cy;
    s += dx * dx;
    s += dy * dy;
  }
  return std::sqrt(s);
}

std::vector<double> centsize(const Matrix& x) {
  return centsize(x, 2);
}

double centsize(std::span<const double> row, std::size_t dims) {
  if (dims != 3) return centsize(row);
  const std::size_t k = row.size() / 3;
  double sx = 0.0;
  double sy = 0.0;
  double sz = 0.0;
  for (std::size_t j = 0; j < k; ++j) {
    sx += row[3 * j];
    sy += row[3 * j + 1];
    sz += row[3 * j + 2];
  }
  const auto count = static_cast<double>(k);
  const double cx = sx / count, cy = sy / count, cz = sz / count;
  double s = 0.0;
  for (std::size_t j = 0; j < k; ++j) {
    const double dx = row[3 * j] - cx;
    const double dy = row[3 * j + 1] - cy;
    const double dz = row[3 * j + 2] - cz;
    s += dx * dx;
    s += dy * dy;
    s += dz * dz;
  }
  return std::sqrt(s);
}

std::vector<double> centsize(const Matrix& x, std::size_t dims) {
  std::vector<double> sizes(x.rows());
  parallel_blocks(x.rows(), 4096, [&](std::size_t begin, std::size_t end) {
    for (std::size_t i = begin; i < end; ++i) sizes[i] = centsize(x.row(i), dims);
  });
  return sizes;
}

}  // namespace dg

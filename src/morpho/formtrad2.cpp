#include "morpho/formtrad2.hpp"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "morpho/centsize.hpp"
#include "morpho/landmark_count.hpp"
#include "runtime/array/error.hpp"
#include "runtime/array/format.hpp"

namespace dg {
namespace {

// Turns a landmark number into the 0-based column of its x coordinate.
std::size_t x_column(double landmark, std::size_t pair, std::size_t k) {
  const auto where = [&] {
    return "Pair " + std::to_string(pair + 1) + " names landmark " + num2str(landmark);
  };
  if (!(landmark >= 1) || std::floor(landmark) != landmark) {
    raise(where() + ", which is not a whole positive landmark number.");
  }
  if (landmark > static_cast<double>(k)) {
    raise(where() + ", but the data have " + std::to_string(k) + " landmarks.");
  }
  return 2 * (static_cast<std::size_t>(landmark) - 1);
}

}  // namespace

Matrix formtrad2(const Matrix& x, const Matrix& pairs) {
  const std::size_t r = x.rows();
  const std::size_t n = x.cols();
  if (r == 0) return Matrix();
  const std::size_t p = pairs.rows();
  if (p > 0 && pairs.cols() < 2) {
    raise("The pair list has only one column; each row must hold two landmark numbers.");
  }

  const std::size_t k = landmark_count(n);
  std::vector<std::size_t> first(p);
  std::vector<std::size_t> second(p);
  for (std::size_t j = 0; j < p; ++j) {
    first[j] = x_column(pairs(j, 0), j, k);
    second[j] = x_column(pairs(j, 1), j, k);
  }

  Matrix y(r, p + 1);
  std::vector<double> scaled(n);
  for (std::size_t i = 0; i < r; ++i) {
    const auto row = x.row(i);
    const double target = row[n - 1];
    const double scale = centsize(row);
    // Multiplied first, divided second: the other order changes the last bits.
    for (std::size_t c = 0; c + 1 < n; ++c) scaled[c] = (row[c] * target) / scale;
    for (std::size_t j = 0; j < p; ++j) {
      const double dx = scaled[first[j]] - scaled[second[j]];
      const double dy = scaled[first[j] + 1] - scaled[second[j] + 1];
      y(i, j) = std::sqrt(dx * dx + dy * dy);
    }
    y(i, p) = target;
  }
  return y;
}

}  // namespace dg

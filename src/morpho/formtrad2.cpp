#include "morpho/formtrad2.hpp"

#include <algorithm>
#include <cmath>
#include <span>
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

// Both overloads: an empty `partial_size` measures every row as brought to
// its stored size.
Matrix measure(const Matrix& x, const Matrix& pairs, std::span<const double> partial_size) {
  const std::size_t r = x.rows();
  const std::size_t n = x.cols();
  if (!partial_size.empty() && partial_size.size() != r) {
    raise("The partial sizes hold " + std::to_string(partial_size.size()) + " values for " +
          std::to_string(r) + " specimens; give one per specimen or none.");
  }
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
    if (!partial_size.empty() && !std::isnan(partial_size[i])) {
      // Fitted by part of its landmarks: no size to bring it to, only the
      // factor back to the size it was read at.
      const double factor = partial_size[i];
      for (std::size_t j = 0; j < p; ++j) {
        const double dx = row[first[j]] - row[second[j]];
        const double dy = row[first[j] + 1] - row[second[j] + 1];
        y(i, j) = std::sqrt(dx * dx + dy * dy) * factor;
      }
      y(i, p) = row[n - 1];
      continue;
    }
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

}  // namespace

Matrix formtrad2(const Matrix& x, const Matrix& pairs) {
  return measure(x, pairs, {});
}

Matrix formtrad2(const Matrix& x, const Matrix& pairs, std::span<const double> partial_size) {
  return measure(x, pairs, partial_size);
}

}  // namespace dg

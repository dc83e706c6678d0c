#include "morpho/tradangle.hpp"

#include "morpho/landmark_angle.hpp"
#include "runtime/array/parallel.hpp"

namespace dg {

void angle_row(const Matrix& x, std::span<const std::size_t> triples, std::size_t dims,
               std::size_t i, std::span<double> out) {
  const auto row = x.row(i);
  for (std::size_t t = 0; t < out.size(); ++t) {
    out[t] = landmark_angle(row, triples[3 * t], triples[3 * t + 1], triples[3 * t + 2], dims);
  }
}

Matrix tradangle(const Matrix& x, std::span<const std::size_t> triples, std::size_t dims) {
  const std::size_t t = triples.size() / 3;
  // Without triples there are no rows either, as in an empty matrix.
  Matrix angles(t == 0 ? 0 : x.rows(), t);
  parallel_blocks(angles.rows(), 1024, [&](std::size_t begin, std::size_t end) {
    for (std::size_t i = begin; i < end; ++i) angle_row(x, triples, dims, i, angles.row(i));
  });
  return angles;
}

}  // namespace dg

#include "pipeline/sample.hpp"

#include <algorithm>
#include <cmath>

namespace dg {

Matrix consensus_row(const Sample& sample) {
  if (sample.consensus.empty()) return Matrix();
  const Matrix& c = sample.consensus;
  Matrix row(1, c.cols() + 1);
  std::copy(c.row(0).begin(), c.row(0).end(), row.row(0).begin());
  // The mean of the sizes of the specimens the consensus was built from (the
  // complete ones: an incomplete specimen's size is NaN), in row order,
  // divided as the coordinates were; before a first pass, the first
  // specimen's.
  double sum = 0;
  std::size_t count = 0;
  const bool partial = !sample.partial_size.empty();
  for (double size : sample.sizes) {
    if (partial && std::isnan(size)) continue;
    sum += size;
    ++count;
  }
  row(0, c.cols()) = sample.passes == 0 ? sample.sizes.front()
                                        : sum / static_cast<double>(count) / sample.consensus_scale;
  return row;
}

Matrix with_size_column(const Sample& sample) {
  const Matrix& x = sample.coordinates;
  Matrix out(x.rows(), x.cols() + 1);
  for (std::size_t i = 0; i < x.rows(); ++i) {
    const auto row = x.row(i);
    std::copy(row.begin(), row.end(), out.row(i).begin());
    out(i, x.cols()) = sample.sizes[i];
  }
  return out;
}

}  // namespace dg

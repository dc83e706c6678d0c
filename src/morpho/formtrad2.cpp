#include "morpho/formtrad2.hpp"

#include <algorithm>
#include <cmath>
#include <span>
#include <string>
#include <vector>

#include "morpho/centsize.hpp"
#include "runtime/array/error.hpp"
#include "runtime/array/parallel.hpp"
#include "runtime/array/progress.hpp"

namespace dg {
namespace {

// distance_row for x y z landmarks, in the same order of operations.
void distance_row_3d(std::span<const double> row, const DistancePlan& plan, std::size_t i,
                     std::span<double> out) {
  const std::size_t n = row.size();
  const std::size_t p = plan.first.size();
  const auto length = [&](const double* a, const double* b) {
    const double dx = a[0] - b[0], dy = a[1] - b[1], dz = a[2] - b[2];
    return std::sqrt(dx * dx + dy * dy + dz * dz);
  };
  if (!plan.partial_size.empty() && !std::isnan(plan.partial_size[i])) {
    for (std::size_t j = 0; j < p; ++j) {
      out[j] = length(&row[plan.first[j]], &row[plan.second[j]]) * plan.partial_size[i];
    }
    out[p] = plan.sizes[i];
    return;
  }
  const double target = plan.sizes[i];
  const double scale = centsize(row, 3);
  thread_local std::vector<double> scaled;
  scaled.resize(n);
  for (std::size_t c = 0; c < n; ++c) scaled[c] = (row[c] * target) / scale;
  for (std::size_t j = 0; j < p; ++j) {
    out[j] = length(&scaled[plan.first[j]], &scaled[plan.second[j]]);
  }
  out[p] = target;
}

}  // namespace

DistancePlan distance_plan(const Matrix& x, std::span<const double> sizes,
                           std::span<const std::size_t> pairs, std::span<const double> partial_size,
                           std::size_t dims) {
  const std::size_t r = x.rows();
  if (!partial_size.empty() && partial_size.size() != r) {
    raise("The partial sizes hold " + std::to_string(partial_size.size()) + " values for " +
          std::to_string(r) + " specimens; give one per specimen or none.");
  }
  DistancePlan plan;
  if (r == 0) return plan;
  const std::size_t p = pairs.size() / 2;
  plan.first.resize(p);
  plan.second.resize(p);
  for (std::size_t j = 0; j < p; ++j) {
    plan.first[j] = dims * pairs[2 * j];
    plan.second[j] = dims * pairs[2 * j + 1];
  }
  plan.dims = dims;
  plan.rows = r;
  plan.sizes = sizes;
  plan.partial_size = partial_size;
  return plan;
}

void distance_row(const Matrix& x, const DistancePlan& plan, std::size_t i, std::span<double> out) {
  const auto row = x.row(i);
  const std::size_t n = row.size();
  const std::size_t p = plan.first.size();
  if (plan.dims == 3) return distance_row_3d(row, plan, i, out);
  if (!plan.partial_size.empty() && !std::isnan(plan.partial_size[i])) {
    // Fitted by part of its landmarks: no size to bring it to, only the
    // factor back to the size it was read at.
    const double factor = plan.partial_size[i];
    for (std::size_t j = 0; j < p; ++j) {
      const double dx = row[plan.first[j]] - row[plan.second[j]];
      const double dy = row[plan.first[j] + 1] - row[plan.second[j] + 1];
      out[j] = std::sqrt(dx * dx + dy * dy) * factor;
    }
    out[p] = plan.sizes[i];
    return;
  }
  const double target = plan.sizes[i];
  const double scale = centsize(row);
  // Each coordinate is brought to size once (a landmark serves several pairs),
  // multiplied first, divided second: the other order changes the last bits.
  thread_local std::vector<double> scaled;
  scaled.resize(n);
  for (std::size_t c = 0; c < n; ++c) scaled[c] = (row[c] * target) / scale;
  for (std::size_t j = 0; j < p; ++j) {
    const std::size_t a = plan.first[j];
    const std::size_t b = plan.second[j];
    const double dx = scaled[a] - scaled[b];
    const double dy = scaled[a + 1] - scaled[b + 1];
    out[j] = std::sqrt(dx * dx + dy * dy);
  }
  out[p] = target;
}

Matrix formtrad2(const Matrix& x, std::span<const double> sizes, std::span<const std::size_t> pairs,
                 std::span<const double> partial_size, std::size_t dims) {
  const DistancePlan plan = distance_plan(x, sizes, pairs, partial_size, dims);
  if (plan.rows == 0) return Matrix();
  Matrix y(plan.rows, plan.cols());
  parallel_blocks(plan.rows, 1024, [&](std::size_t begin, std::size_t end) {
    for (std::size_t i = begin; i < end; ++i) {
      distance_row(x, plan, i, y.row(i));
      progress_every(i);
    }
  });
  return y;
}

}  // namespace dg

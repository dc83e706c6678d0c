#include "pipeline/measurements.hpp"

#include <algorithm>
#include <cmath>

#include "morpho/formtrad2.hpp"
#include "morpho/tradangle.hpp"
#include "runtime/array/portable_math.hpp"

namespace dg {
namespace {

constexpr double kPi = 3.141592653589793;

}  // namespace

RowSource distance_rows(const Sample& sample, std::vector<std::size_t> pairs) {
  DistancePlan plan = distance_plan(sample.coordinates, sample.sizes, pairs, sample.partial_size,
                                    sample.dimensions);
  const std::size_t rows = plan.rows;
  const std::size_t cols = plan.cols();
  return {rows, cols,
          [&x = sample.coordinates, plan = std::move(plan)](std::size_t i, std::span<double> out) {
            distance_row(x, plan, i, out);
          }};
}

RowSource coordinate_rows(const Sample& sample) {
  const std::size_t width = sample.coordinates.cols();
  return {sample.specimens(), width + 1, [&sample, width](std::size_t i, std::span<double> out) {
            const auto row = sample.coordinates.row(i);
            std::copy(row.begin(), row.end(), out.begin());
            out[width] = sample.sizes[i];
          }};
}

RowSource angle_rows(const Sample& sample, std::vector<std::size_t> triples) {
  const std::size_t t = triples.size() / 3;
  // Without triples there are no rows either, as in an empty matrix.
  return {t == 0 ? 0 : sample.specimens(), t,
          [&x = sample.coordinates, dims = sample.dimensions, triples = std::move(triples)](
              std::size_t i, std::span<double> out) { angle_row(x, triples, dims, i, out); }};
}

void log_transform(std::span<double> row) {
  for (std::size_t j = 0; j + 1 < row.size(); ++j) row[j] = portable_log(row[j]);
}

void size_constraint(std::span<double> row) {
  double sum = 0;
  for (std::size_t j = 0; j + 1 < row.size(); ++j) sum += row[j] * row[j];
  double length = std::sqrt(sum);
  for (std::size_t j = 0; j + 1 < row.size(); ++j) row[j] /= length;
}

void degrees(std::span<double> row) {
  for (double& v : row) v = (v * 180) / kPi;
}

}  // namespace dg

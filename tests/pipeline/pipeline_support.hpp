// Loads and measurements through the pipeline, as both programs call it.
#pragma once

#include <string>
#include <vector>

#include "pipeline/load_sample.hpp"
#include "pipeline/measurements.hpp"
#include "protocol/landmark_list.hpp"

namespace dg {

inline Sample load(const std::string& path, TpsOptions reading = {},
                   SampleFormat format = SampleFormat::tps,
                   std::vector<std::string>* warnings = nullptr) {
  std::vector<std::string> found;
  Sample sample = load_sample({path}, {format, reading}, warnings ? *warnings : found);
  return sample;
}

inline Matrix rows_of(const RowSource& source) {
  Matrix m(source.rows, source.cols);
  std::vector<double> row(source.cols);
  for (std::size_t i = 0; i < source.rows; ++i) {
    source.row(i, row);
    for (std::size_t c = 0; c < source.cols; ++c) m(i, c) = row[c];
  }
  return m;
}

// The traditional dataset of a pair list (label, then landmark numbers).
inline Matrix distances(const Sample& sample, const Matrix& pairs) {
  return rows_of(distance_rows(sample, checked_list(pairs, 2, sample.landmarks()).landmarks));
}
inline Matrix angles(const Sample& sample, const Matrix& triples) {
  return rows_of(angle_rows(sample, checked_list(triples, 3, sample.landmarks()).landmarks));
}

}  // namespace dg

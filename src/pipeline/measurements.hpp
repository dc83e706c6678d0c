// The datasets of a sample, computed a block of rows at a time as a writer
// asks for them, so that a large sample never holds a whole distance or angle
// matrix beside its coordinates.
//
// distance_rows: the traditional dataset, each specimen's distances at its
// own size for the pairs (0-based landmark indices, two a pair, checked
// against the sample: CheckedList::landmarks), then its size. angle_rows: the
// angle at the vertex of each triple (three indices a triple), in radians. The sample must outlive
// the sources. The transforms change a copy of one row as it is written.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "output/dataset_file.hpp"
#include "pipeline/sample.hpp"

namespace dg {

RowSource distance_rows(const Sample& sample, std::vector<std::size_t> pairs);
// Each specimen's coordinates followed by its size, as the superimposed
// dataset and table are written.
RowSource coordinate_rows(const Sample& sample);
RowSource angle_rows(const Sample& sample, std::vector<std::size_t> triples);

// Natural logarithms of the distances; the size (last) stays as it is.
void log_transform(std::span<double> row);
// Distances divided by the root sum of their squares; the size stays.
void size_constraint(std::span<double> row);
// Radians to degrees, multiplied by 180 first, divided by pi second.
void degrees(std::span<double> row);

}  // namespace dg

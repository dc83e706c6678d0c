// Writes datasets as text, one line per matrix row. A dataset line holds each
// value as "%g " (six significant digits, NaN/Inf/-Inf for non-finite values)
// and ends with " \n". The file is written beside the target under a temporary
// name and renamed over it only when complete, so a failed write leaves an
// existing file untouched; failures raise a RuntimeError naming the file and
// the reason.
#pragma once

#include <functional>
#include <span>
#include <string>

#include "runtime/array/matrix.hpp"

namespace dg {

// Changes a copy of one row before it is written.
using RowTransform = std::function<void(std::span<double> row)>;

void write_dataset(const std::string& path, const Matrix& rows, const RowTransform& transform = {});

// Writes each value in the shortest text that reads back as the same double,
// separated by single blanks, one row per line.
void write_exact(const std::string& path, const Matrix& rows);

}  // namespace dg

// Writes datasets as text, one line per matrix row. A dataset line holds each
// value as "%g " (six significant digits, NaN/Inf/-Inf for non-finite values)
// and ends with " \n". The file is written beside the target under a temporary
// name and renamed over it only when complete, so a failed write leaves an
// existing file untouched; failures raise a RuntimeError naming the file and
// the reason.
#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "runtime/array/matrix.hpp"

namespace dg {

// Changes a copy of one row before it is written.
using RowTransform = std::function<void(std::span<double> row)>;

// The rows a writer consumes: a stored matrix, or rows computed when asked
// (distances or angles from the sample), so that no writer needs a whole
// dataset in memory. `row` fills `out` (cols values) with row i; writers call
// it from several threads at once, each thread with rows of its own.
struct RowSource {
  std::size_t rows = 0;
  std::size_t cols = 0;
  std::function<void(std::size_t i, std::span<double> out)> row;
};
// The rows of `m`, which must outlive the source.
RowSource matrix_rows(const Matrix& m);
// Rows begin .. end - 1 of `rows`, each computed once now and then given as
// often as asked: several files of one block format them in turn.
RowSource held_rows(const RowSource& rows, std::size_t begin, std::size_t end);

// Rows are formatted in blocks on the threads (thread_count()) and written in
// order: the file's bytes are the same for every thread count.
void write_dataset(const std::string& path, const RowSource& rows,
                   const RowTransform& transform = {});
void write_dataset(const std::string& path, const Matrix& rows, const RowTransform& transform = {});

// Several datasets of the same rows, each with its transform, in one pass:
// each row is computed once and formatted for every file, whose bytes are
// those write_dataset writes. A failure commits none of them; they are
// committed in order, so of two with the same path the last stands. The
// paths must not name a device or a pipe, where the files' blocks would
// interleave (see plain_targets).
struct DatasetFile {
  std::string path;
  RowTransform transform;
};
void write_datasets(const std::vector<DatasetFile>& files, const RowSource& rows);
// True when every path names a regular file or none yet, and no two are the
// same text: write_datasets may write them together.
bool plain_targets(const std::vector<std::string>& paths);

// Writes each value in the shortest text that reads back as the same double,
// separated by single blanks, one row per line.
void write_exact(const std::string& path, const RowSource& rows);
void write_exact(const std::string& path, const Matrix& rows);

}  // namespace dg

// Saves a pair or triple list as plain text that load_landmark_list reads
// back: one row per line ("n a b" or "n a v b"), numbers separated by single
// blanks, each whole number written in full ("12"), any other in the shortest
// text that reads back as the same double ("2.5"), non-finite ones as NaN,
// Inf or -Inf. An empty list gives an empty file.
//
// The file is replaced whole through AtomicFile: a failed write leaves an
// existing file as it was and raises a RuntimeError naming the file and the
// reason.
#pragma once

#include <string>

#include "runtime/array/matrix.hpp"

namespace dg {

void write_list(const std::string& path, const Matrix& list);

}  // namespace dg

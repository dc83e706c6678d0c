// Loads a plain numeric text file as a matrix, one row per line.
//
// A line holds numbers (optional sign, digits, decimal point, exponent, or
// nan / inf) separated by blanks, tabs or commas in any mix and run length; it
// is never evaluated as an expression. The first line that is empty or holds
// only blanks and tabs (LF or CR LF) ends the data; the last line counts
// whether or not it ends with a line end. An empty file gives the 0 x 0 matrix.
//
// Raises RuntimeError naming the file and the line when a line holds anything
// else or a different count of numbers than the first line, and
// `Cannot open "<path>": <reason>` when the file cannot be read.
#pragma once

#include <string>
#include <string_view>

#include "runtime/array/matrix.hpp"

namespace dg {

// Reads the file at `path` and parses it with parse_matrix.
Matrix dload(const std::string& path);

// Parses the text of a plain numeric file; `file` names it in messages.
Matrix parse_matrix(std::string_view text, const std::string& file);

}  // namespace dg

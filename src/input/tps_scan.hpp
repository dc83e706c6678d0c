// Reads the two-dimensional landmark configurations of a TPS text.
//
// A specimen starts at the keyword LM= (either letter case, anywhere in the
// text), followed by its landmark count. The first count k fixes the width:
// each specimen gives its first 2k numbers, x1 y1 ... xk yk, as one row of an
// N x 2k matrix (no size column). Numbers are separated by any white space:
// optional sign, digits, decimal point, exponent, or nan / inf as written.
// With `with_scale`, each specimen's row is multiplied by its own SCALE=
// factor, the first one after its coordinates and before the next LM=.
//
// Raises RuntimeError naming the file, the specimen number and its line when
// there is no keyword, a count is missing or invalid, a specimen has no or too
// few numbers (with the text where reading stopped), holds more numbers than
// its count announces (3-D data), or lacks a readable scale factor. Nothing is
// returned then. A later count above k is no error: its first k landmarks are
// kept and a warning is added.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "runtime/array/matrix.hpp"

namespace dg {

struct TpsData {
  Matrix coordinates;  // N x 2k as read (scaled when a scale was applied), plus the size column
  std::vector<std::string> namelist;  // per specimen: the text after its count, line end included
  std::vector<std::string> warnings;  // e.g. differing LM= counts; the caller prints them
};

// Parses TPS text; `file` names the file in messages. With `size_column`, each
// row ends with its configuration's centroid size (of the scaled coordinates).
TpsData read_tps(std::string_view text, const std::string& file, bool with_scale,
                 bool size_column = false);

// Reads the whole file, then parses it with read_tps. A file that cannot be
// read raises `Error on file open: "<path>" (<reason>)`.
TpsData read_tps_file(const std::string& path, bool with_scale, bool size_column = false);

}  // namespace dg

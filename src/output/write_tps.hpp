// Writes a sample as a TPS file that this program's reader and other
// morphometrics programs load back.
//
// `rows` is an N x dk coordinate matrix, x1 y1 ... xk yk (dims 2) or x y z of
// each landmark (dims 3). Each row becomes one specimen:
//   LM=k
//   x y            k lines, each number in the shortest text that reads back
//                  as the same double ("." as the decimal point); a landmark
//                  with a NaN coordinate is "NA NA"
//   IMAGE=<value>  when its record has one, the bytes as read
//   ID=<value>     likewise
// with LF line ends. In 3-D each specimen is written as LM3=k with k lines "x y z"
// ("NA NA NA" for a missing landmark). No SCALE= line is written: the coordinates are already
// scaled. Rows beyond the records get no IMAGE= or ID=. A line end inside a
// value (only a hand-made record can hold one) becomes a blank, so a value
// never starts a keyword of its own.
//
// The file is replaced whole (AtomicFile); failures raise a RuntimeError
// naming the file, and leave an existing file as it was.
#pragma once

#include <span>
#include <string>

#include "runtime/array/matrix.hpp"
#include "runtime/array/specimen_record.hpp"

namespace dg {

void write_tps(const std::string& path, const Matrix& rows, std::size_t dims,
               std::span<const SpecimenRecord> records);

// The consensus configuration (1 x dk) as one specimen with ID=consensus.
void write_tps_consensus(const std::string& path, const Matrix& consensus, std::size_t dims);

}  // namespace dg

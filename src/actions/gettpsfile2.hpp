// Asks for a TPS landmark file ("*.tps;*.TPS", "Open a TPS landmark file") and reads
// every specimen: N x 2k coordinates in file order (N x 3k for a 3-D sample),
// k from the first specimen,
// with each specimen's size appended as a last column when cs is 1: size_of
// of its row, which a load passes as centsize.
// Several files picked together are read in order as one sample. `options`
// say how curves and missing values are read (by default, as always).
// Returns nullopt when the dialog is cancelled. Raises a RuntimeError naming
// the file and the specimen for a file that cannot be read or is malformed;
// warnings (a specimen whose LM= count differs from the first) go to the
// console. After a load the current folder is the file's folder.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "input/tps_scan.hpp"
#include "runtime/array/matrix.hpp"
#include "runtime/array/specimen_record.hpp"
#include "runtime/graphics/platform.hpp"

namespace dg {

struct TpsLoad {
  Matrix y;  // N x 2k, or N x (2k+1) with the size column
  // The file name without its folder; for several files, the first one's
  // followed by " and 2 more files".
  std::string fname;
  std::vector<std::string> namelist;    // the text behind each keyword's count, line end included
  std::vector<SpecimenRecord> records;  // one per row
  std::size_t incomplete = 0;           // rows with missing landmarks
  std::size_t dimensions = 2;           // coordinates per landmark (3: x y z)
};

std::optional<TpsLoad> gettpsfile2(Platform& platform, double cs, RowSize size_of,
                                   TpsOptions options = {});

// Shared by the TPS readers: the dialog, the reading and the size column.
std::optional<TpsLoad> load_tps(Platform& platform, double cs, RowSize size_of,
                                const TpsOptions& options, const char* title);

}  // namespace dg

// The specimens of a TPS sample as they were digitised, for showing each on
// its photo: the coordinates as the files give them (pixels of the photo,
// x to the right and y up from its bottom-left corner; not scaled, not
// superimposed) and the photo each IMAGE= line names, where it is found
// (find_specimen_image).
//
// The sample's files (its records' file()) are read again with the reading
// options it was loaded with, but without scale factors, and each row is
// matched by its file and number there, so a sample with specimens left out
// (without_specimens) still matches. Raises a RuntimeError for a sample that
// was not read from TPS files:
//   "m.txt" has no photos: it was not read from a TPS file.
// the errors of reading a file, and for a file that changed since the load:
//   "a.tps" changed since the sample was loaded: specimen 7 is no longer in
//   it; load it again.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "pipeline/load_sample.hpp"
#include "pipeline/sample.hpp"
#include "runtime/array/matrix.hpp"

namespace dg {

// Each specimen as digitised: its coordinates as read (pixels of its photo:
// not scaled, not superimposed; NaN for a missing landmark), row for row
// with the sample, and its photo when found.
struct DigitisedSpecimens {
  Matrix coordinates;
  std::vector<std::optional<std::string>> images;
};

DigitisedSpecimens digitised_specimens(const Sample& sample, const LoadOptions& options,
                                       const std::string& images_dir = {});

}  // namespace dg

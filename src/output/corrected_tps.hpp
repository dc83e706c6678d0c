// A TPS file with some landmarks corrected (moved, marked missing or
// restored), written so that only the coordinates of those landmarks change:
// every other byte stays as read (keywords and their letter case, IDs,
// SCALE=, COMMENT=, curves, blanks, line ends, encoding, a byte-order mark).
//
// The text is read as the reader reads it with `reading` (before any scale
// factor: the coordinates are the file's own numbers), its coordinate tokens
// found by tps_coordinate_spans. Edits apply in order, so several edits of
// one landmark make a chain (a drag, then another); each must start from
// the value the edits before it leave (the file's value for the first), and
// the last one's `after` is written. A coordinate whose new value equals the
// file's keeps its token; an edit that ends where the file stands changes no
// byte. A new number keeps the form of the token it replaces: its decimals
// ("123.00000": 5, "87": 0), a trailing point, or exponent form with its
// mantissa decimals, the exponent's letter case and digits; printf's
// rounding, and never "-0". A missing token being replaced takes the form
// most used by the specimen's other numbers (or the file's). A landmark
// whose `after` has a NaN is written missing, every coordinate as the file's
// own mark (tps_missing_mark), or `missing_fallback` ("NA", or a negative
// number such as "-1") when the file has none; such a mark reads as missing
// only with missing values on (and that code, for a number).
//
// Raises a RuntimeError and returns or writes nothing when the text cannot
// be read, when an edit names a specimen or landmark the file lacks, when
// its `before` differs from what it starts from (the file changed since it
// was loaded; NaN matches a missing landmark), when a new value is not
// finite or would read as missing, or when the fallback is neither NA nor a
// negative number:
//   "<file>", specimen 2 (ID=a, line 9), landmark 3: the file holds 5 6 where
//   the edit starts from 5 7; it changed since it was loaded, so nothing was
//   written.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "input/tps_scan.hpp"

namespace dg {

struct LandmarkEdit {
  std::size_t specimen = 0;  // 1-based number of the specimen in its file
  std::size_t landmark = 0;  // 1-based
  // Coordinates as read from the file (pixels: not scaled, not superimposed),
  // x y (z); NaN = missing.
  std::array<double, 3> before{}, after{};
};

// The text with the tokens of each edited landmark replaced, every other byte
// kept; `file` names the file in messages.
std::string corrected_tps(std::string_view original, const std::string& file,
                          std::span<const LandmarkEdit> edits, const TpsOptions& reading,
                          std::string_view missing_fallback);

// Reads original_path, writes the corrected text to out_path (which may be
// the same path) through AtomicFile, then the edits log beside out_path
// (edits_log_path): the existing log with a row for each edit that changed
// its landmark (chains in full, in order; an edit whose after equals its
// before is left out), `time` in each, or a new log with its header. The log
// is replaced whole too, so neither file is ever half-written; a log whose
// first line is not the header of this file's dimension is refused before
// anything is written. Nothing is logged when no edit changes anything.
void save_corrected_tps(const std::string& original_path, const std::string& out_path,
                        std::span<const LandmarkEdit> edits, const TpsOptions& reading,
                        std::string_view missing_fallback, std::string_view time);

}  // namespace dg

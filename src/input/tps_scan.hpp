// Reads the landmark configurations of a TPS text.
//
// A specimen starts at the keyword LM= (either letter case, anywhere in the
// text), followed by its landmark count. The first count k fixes the width:
// each specimen gives its first 2k numbers, x1 y1 ... xk yk, as one row of an
// N x 2k matrix (and its size last, when a size function is given). A text
// read as 3-D (TpsOptions::dimensions), or whose first specimen starts with
// LM3=, gives 3k numbers a specimen, x1 y1 z1 ... xk yk zk; a text that mixes
// LM= and LM3= specimens is refused. Numbers are separated by any
// white space: optional sign, digits, decimal point, exponent, or nan / inf as written. With
// `with_scale`, each specimen's row is multiplied by its own SCALE= factor, the first one after its
// coordinates and before the next LM=.
//
// Raises RuntimeError naming the file, the specimen number and its line when
// there is no keyword, a count is missing or invalid, a specimen has no or too
// few numbers (with the text where reading stopped), holds more numbers than
// its count announces (3-D data), or lacks a readable scale factor. Nothing is
// returned then. A later count above k is no error: its first k landmarks are
// kept and a warning is added. So is a warning for coordinates that look like
// a missing-value code written as numbers (see coded_missing.hpp).
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "input/coded_missing.hpp"
#include "runtime/array/matrix.hpp"
#include "runtime/array/specimen_record.hpp"

namespace dg {

// The size of one specimen from its row as read (x1 y1 ... xk yk, or x y z of
// each landmark when `dims` is 3; curve points included), kept as the
// specimen's size (TpsData::sizes). The caller passes it (a load passes
// centsize), so reading measures nothing itself; null keeps no sizes.
using RowSize = double (*)(std::span<const double> row, std::size_t dims);

// How a TPS text is read. The defaults read it as the load buttons always have.
struct TpsOptions {
  bool with_scale = false;  // multiply each specimen by its SCALE= factor
  // Append the points of each specimen's CURVES= blocks after its landmarks
  // (numbered k+1 onwards in file order). Every specimen must then carry the
  // same number of curve points. Off: curves are skipped with one warning.
  bool curves = false;
  // Treat NA, nan and the code below as missing: a landmark with a missing
  // coordinate becomes NaN in both. Off: NA is an error, nan a number.
  bool missing = false;
  std::optional<double> missing_code;  // a coordinate equal to it is missing
  bool negative_missing = false;       // any negative coordinate is missing
  // Keep the text after each count (TpsData::namelist); only the function
  // gettpsfile2 called by name returns it.
  bool names = false;
  // Coordinates per landmark: 2, or 3 to read LM=k followed by 3k numbers as
  // x y z. Specimens that start with LM3= are 3-D either way.
  std::size_t dimensions = 2;
};

// Whether the reader, with `options`, reads a coordinate as written (before
// any scale factor) as missing: with missing values on, NaN (NA, nan), the
// code, or any negative value when negatives are missing. A landmark with a
// missing coordinate is missing whole.
inline bool missing_value(double v, const TpsOptions& options) {
  return options.missing &&
         (std::isnan(v) || (options.missing_code.has_value() && v == *options.missing_code) ||
          (options.negative_missing && v < 0));
}

struct TpsData {
  Matrix coordinates;  // N x 2k (N x 3k in 3-D) as read, scaled when a scale was applied
  // Each specimen's size from its row as read, when a size function was given.
  std::vector<double> sizes;
  // Per specimen, with options.names: the text after its count, line end included.
  std::vector<std::string> namelist;
  std::vector<SpecimenRecord> records;  // per specimen, in row order
  std::vector<std::string> warnings;    // e.g. differing LM= counts; the caller prints them
  std::size_t curve_points = 0;  // curve points appended to each row (0 unless options.curves)
  std::size_t incomplete = 0;    // specimens with a missing landmark (0 unless options.missing)
  std::size_t dimensions = 2;    // coordinates per landmark: 2, or 3 (x y z)
  // Coordinates that look like a missing-value code (see coded_missing.hpp),
  // most landmarks first; each also gives a warning.
  std::vector<CodedMissing> coded;
};

// Parses TPS text; `file` names the file in messages and records. With
// `size_of`, sizes[i] is size_of(row i).
TpsData read_tps(std::string_view text, const std::string& file, const TpsOptions& options,
                 RowSize size_of = nullptr);
TpsData read_tps(std::string_view text, const std::string& file, bool with_scale,
                 RowSize size_of = nullptr);

// Where a windowed read takes its bytes from: a file, or a text in memory.
class TpsSource {
 public:
  virtual ~TpsSource() = default;
  virtual std::uint64_t size() const = 0;
  // Copies up to n bytes at `offset` to p, fewer only at the end.
  virtual std::size_t read(std::uint64_t offset, char* p, std::size_t n) const = 0;
};

class TpsTextSource final : public TpsSource {
 public:
  explicit TpsTextSource(std::string_view text) : text_(text) {}
  std::uint64_t size() const override { return text_.size(); }
  std::size_t read(std::uint64_t offset, char* p, std::size_t n) const override;

 private:
  std::string_view text_;
};

// The bytes of a file a reader holds at a time, per thread.
constexpr std::size_t kTpsWindow = std::size_t{1} << 20;

// Reads the source as read_tps reads a whole text, with the same rows,
// records, warnings and errors, holding `window` bytes of it at a time (more
// while one specimen is longer). A first pass counts the specimens, so the
// matrix is allocated once at its final size; the rest of the specimens are
// then read in shares on thread_count() threads (one: in order, as a text).
TpsData read_tps_windowed(const TpsSource& source, const std::string& file,
                          const TpsOptions& options, RowSize size_of = nullptr,
                          std::size_t window = kTpsWindow);

// Reads a file with read_tps_windowed. A file that cannot be opened raises
// `Error on file open: "<path>" (<reason>)`; a read that fails on the way,
// `Cannot read "<path>": <reason>.`; a file whose LM= keywords are not where
// the first pass found them (written to meanwhile),
// `"<path>" changed while it was read; read it again.`
TpsData read_tps_file(const std::string& path, const TpsOptions& options, RowSize size_of = nullptr,
                      std::size_t window = kTpsWindow);
TpsData read_tps_file(const std::string& path, bool with_scale, RowSize size_of = nullptr);

// Reads several files in order as one sample: rows, records and warnings one
// file after the other. Files that give rows of different widths raise an
// error naming both files and their landmark counts, and so do files of
// different dimensions.
TpsData read_tps_files(const std::vector<std::string>& paths, const TpsOptions& options,
                       RowSize size_of = nullptr);

}  // namespace dg

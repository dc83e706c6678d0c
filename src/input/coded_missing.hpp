// Landmarks that look like a missing-value code written as numbers: the same
// coordinates as written in the file (-1 -1, or -999 -999 -999 in a 3-D
// sample) at three or more landmarks of two or more specimens, each of them
// outside the range the other specimens' coordinates of that landmark cover.
// Coordinates that differ from axis to axis (-1 -2) count only when they
// stand at two or more of the landmarks (of 1 to k): repeated at one
// landmark alone, they are more likely a specimen entered twice.
//
// The rule, landmark by landmark (a "slot": landmark j of every specimen):
// the code lies strictly outside the bounding box of the slot's other finite
// coordinates wherever it is counted; one occurrence inside that box (or on
// its edge) clears the code; a slot where nothing but the code is written, or
// where it is written at more landmarks than other coordinates are (the
// landmark's usual value, then), neither counts nor clears. Coordinates read
// as missing (NaN) take no part.
//
// It costs one pass of comparisons while the rows are read: a code outside
// every other value of its slot is that slot's lowest or highest value on
// some axis, so the reader keeps each column's extremes as written, before
// any scale factor (SlotExtremes). The few candidates they leave are then
// counted in the loaded rows; in a scaled load a row holds each value times
// its specimen's SCALE= factor, and a code is looked for as that product.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "runtime/array/matrix.hpp"
#include "runtime/array/specimen_record.hpp"

namespace dg {

// The lowest and highest finite value of each column of the rows as written,
// and for each the landmark that first holds it: its coordinates, how many
// landmarks with those same coordinates hold it, and whether a landmark with
// other coordinates (or a non-finite one) holds it too.
class SlotExtremes {
 public:
  // Takes in one row, x1 y1 ... xk yk (or x y z per landmark when dims is 3).
  // Every row has the width of the first.
  void add(std::span<const double> row, std::size_t dims);
  // Takes in the extremes of other rows of the same sample.
  void merge(const SlotExtremes& other);

  std::size_t dims() const { return dims_; }
  std::size_t columns() const { return low_.size(); }
  double low(std::size_t column) const { return low_[column]; }
  double high(std::size_t column) const { return high_[column]; }

  // One end of a column: side 0 its lowest value, 1 its highest.
  struct End {
    std::size_t count = 0;  // landmarks with the holder's coordinates
    bool shared = false;    // also held by other coordinates, or by a non-finite landmark
  };
  const End& end(std::size_t column, int side) const { return ends_[2 * column + side]; }
  // The coordinates (dims values) of the landmark that holds that end.
  std::span<const double> holder(std::size_t column, int side) const {
    return {holders_.data() + (2 * column + side) * dims_, dims_};
  }

 private:
  void start(std::size_t width, std::size_t dims);
  void take(std::span<const double> row, std::size_t column);
  void meet(std::size_t column, int side, double value, const End& end,
            std::span<const double> holder);

  std::size_t dims_ = 0;
  std::vector<double> low_, high_;  // +inf and -inf before a finite value
  std::vector<End> ends_;           // per column: its low end, then its high end
  std::vector<double> holders_;     // per end: the holder's coordinates
};

// A set of coordinates that looks like a missing-value code.
struct CodedMissing {
  std::vector<double> coordinates;  // as written, one per axis
  double code = 0;                  // the number that reads them as missing (--missing-code)
  std::size_t landmarks = 0;        // where they lie outside the others' range
  std::size_t specimens = 0;
  std::vector<std::size_t> first_rows;  // 0-based, the first few specimens holding them
};

// Specimens a warning names, at most.
inline constexpr std::size_t kListedCodeRows = 5;

// The codes among `rows` (the sample as read: `extremes` holds their columns
// as written, and with `scaled` each row is those values times the factor of
// its record's SCALE=), most landmarks first. Columns beyond the extremes'
// (a size column) are not looked at.
std::vector<CodedMissing> find_coded_missing(const SlotExtremes& extremes, const Matrix& rows,
                                             const std::vector<SpecimenRecord>& records,
                                             bool scaled);

// The warning for a code found in `file`, as the console prints it after
// "Warning: ".
std::string coded_missing_warning(const std::string& file, const CodedMissing& found,
                                  const std::vector<SpecimenRecord>& records);

}  // namespace dg

// Pair and triple lists and the checks of their landmark numbers against a
// sample.
//
// A list is a plain matrix, one row per pair or triple: a label, then the
// landmark numbers ("n a b" for a distance, "n a v b" for an angle).
//
// check_width and landmark_indices raise a RuntimeError naming the list
// ("Pair", "Triple"), the row and the landmark number:
//   Pair list rows need 3 columns (a number, then 2 landmark numbers); this list has 2.
//   Pair 2 names landmark 2.5, which is not a whole positive landmark number.
//   Pair 1 names landmark 1, but no sample is loaded.
//   Pair 2 names landmark 5, but the data have 4 landmarks.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/array/matrix.hpp"

namespace dg {

// A list as read from its file.
struct LandmarkList {
  Matrix list;
  std::string fn;    // the file name without its folder
  std::string path;  // the file as picked
};

// Raises when a non-empty list has fewer columns than a label and `count`
// landmark numbers starting at `first_column` (1-based) need.
void check_width(const Matrix& list, std::size_t first_column, std::size_t count, const char* what);

// The landmark numbers in the given columns of each row of a list, checked to
// be whole numbers from 1 to `landmarks`. Returns 0-based landmark indices,
// row by row; an empty list gives none.
std::vector<std::size_t> landmark_indices(const Matrix& list, std::size_t first_column,
                                          std::size_t count, std::size_t landmarks,
                                          const char* what);

// Why a non-empty list cannot be used with a sample of `landmarks` landmarks,
// in a few words ("landmark 25 of 19", "landmark 2.5", "2 columns"), by the
// same tests as landmark_indices but without raising; nothing when it fits.
std::optional<std::string> list_misfit(const Matrix& list, std::size_t first_column,
                                       std::size_t count, std::size_t landmarks);

// A pair or triple list checked against a sample: its rows as read (a label,
// then landmark numbers, and any further columns) and their landmarks as
// 0-based indices, `arity` (2 or 3) a row. Made by checked_list, which raises
// landmark_indices' errors; an empty list has no rows.
struct CheckedList {
  Matrix rows;
  std::size_t arity = 2;
  std::vector<std::size_t> landmarks;
  std::size_t size() const { return rows.rows(); }
};
CheckedList checked_list(const Matrix& rows, std::size_t arity, std::size_t landmarks);
// A checked pair list (arity 2) and triple list (arity 3), as drawings take them.
using PairList = CheckedList;
using TripleList = CheckedList;

// The 0-based landmark indices of a pair list (count 2) or a triple list
// (count 3) read from the file named `file`, checked against a sample of
// `landmarks` landmarks before anything keeps it. An empty list, or a row
// that does not fit, raises an error naming the file.
std::vector<std::size_t> loaded_list_indices(const Matrix& list, std::string_view file,
                                             std::size_t count, std::size_t landmarks);

}  // namespace dg

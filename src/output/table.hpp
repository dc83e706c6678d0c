// Writes a dataset as a table that statistics programs read as it is: CSV
// (comma separated, RFC 4180 quoting) or TSV (tab separated), in UTF-8 with LF
// line ends and no trailing separator.
//
// A header row names the columns, then one row per matrix row:
//   specimen  the row's 1-based number in the sample
//   id        the specimen's ID=, else its IMAGE=, else empty
//   image     its IMAGE=
//   file      the file it was read from; only when the records name more
//             than one file
//   group     its group; only when the caller gives groups
// followed by one column per matrix column, named by the caller (see
// pair_columns, triple_columns and coordinate_columns). Rows beyond the
// records get empty text.
//
// Numbers are the shortest text that reads back as the same double, with "."
// as the decimal point whatever the locale. A non-finite value is written NA;
// write_table then returns one warning for the file:
//   "<file>": 32 values are not finite and are written as NA; the first is
//   specimen 1, column d29_30.
//   "<file>": 1 value is not finite and is written as NA: specimen 1, column d29_30.
//
// Text that is well-formed UTF-8 is written as it is; any other text is read
// as Latin-1 and converted. In CSV a field holding a comma, a double quote, CR
// or LF is quoted and its quotes doubled. TSV has no quoting: a tab, CR or LF
// inside a text field becomes a blank.
//
// The file is replaced whole (AtomicFile); failures raise a RuntimeError
// naming the file, and leave an existing file as it was.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "output/dataset_file.hpp"
#include "runtime/array/matrix.hpp"
#include "runtime/array/specimen_record.hpp"

namespace dg {

enum class TableFormat { Plain, Csv, Tsv };

// Each row's group for a table's group column, names[of[row]]; a table
// without groups has none.
struct GroupColumn {
  std::span<const std::size_t> of;
  std::span<const std::string> names;
  bool empty() const { return of.empty(); }
};

// "plain", "csv" or "tsv"; raises for anything else.
TableFormat table_format(std::string_view name);

// Column names, made unique: a name repeated in the list gets "_2", "_3", ...
// from its second occurrence on.
// One per row of a pair list (landmark numbers in columns 2 and 3):
// "<prefix><a>_<b>", the prefix "d", "log_d" or "c_d".
std::vector<std::string> pair_columns(const Matrix& pairs, std::string_view prefix);
// One per row of a triple list (columns 2, 3 and 4: arm end, vertex, arm end):
// "angle<a>_<v>_<b>".
std::vector<std::string> triple_columns(const Matrix& triples);
// x1, y1, x2, y2, ... for `count` coordinate columns; with dims 3,
// x1, y1, z1, x2, ...
std::vector<std::string> coordinate_columns(std::size_t count, std::size_t dims);
void make_unique(std::vector<std::string>& names);

// The text as UTF-8: unchanged when it is well-formed UTF-8, else each byte
// read as a Latin-1 letter.
std::string utf8_text(std::string_view text);

// Fields a caller writes as words rather than numbers (a pair of landmarks,
// TRUE or FALSE): given a row, a value column and its value, it sets `text`
// and returns true, or returns false to have the number written. Large tables
// call it from several threads at once. Its text is quoted as any other.
using FieldText =
    std::function<bool(std::size_t row, std::size_t column, double value, std::string& text)>;

// Writes `rows` (each row changed by `transform` first, when given; large
// tables call it from several threads at once) as a Csv or Tsv table with
// value columns named `columns` (one per column), and the fields `text`
// gives as text. Rows are formatted in blocks on the threads and written in
// order, the same bytes for every thread count. Returns the warning about
// non-finite values written as numbers, or an empty text.
std::string write_table(const std::string& path, TableFormat format, const RowSource& rows,
                        const std::vector<std::string>& columns,
                        std::span<const SpecimenRecord> records, const RowTransform& transform = {},
                        const FieldText& text = {}, const GroupColumn& groups = {});
// Several tables of the same rows, each with its value columns and its
// transform, in one pass: each row is computed once and formatted for every
// file, whose bytes are those write_table writes. Returns each file's
// warning (or an empty text), in order. A failure commits none of them; the
// paths must name regular files or none yet, and no two the same (see
// plain_targets).
struct TableFile {
  std::string path;
  std::vector<std::string> columns;
  RowTransform transform;
};
std::vector<std::string> write_tables(const std::vector<TableFile>& files, TableFormat format,
                                      const RowSource& rows,
                                      std::span<const SpecimenRecord> records,
                                      const GroupColumn& groups = {});
// A small table of named rows without the specimen columns (a row per
// variable of a study, say): a header of `columns`, the first naming the
// column of `names`, then each row's name and values, as text where `text`
// gives it, else the shortest number that reads back the same, NA for one
// that is not finite (such a table says itself where a value does not
// apply, so no warning). Csv or Tsv; replaced whole.
void write_named_rows(const std::string& path, TableFormat format,
                      const std::vector<std::string>& columns,
                      const std::vector<std::string>& names, const RowSource& rows,
                      const FieldText& text = {});

std::string write_table(const std::string& path, TableFormat format, const Matrix& rows,
                        const std::vector<std::string>& columns,
                        std::span<const SpecimenRecord> records,
                        const RowTransform& transform = {});

}  // namespace dg

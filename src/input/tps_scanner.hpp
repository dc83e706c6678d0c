// The reader's scanner: reads the specimens of a text (or of a share of
// them, on a thread of its own) into rows and records, with every message of
// the reader. read_window reads the text a window begins, as the first pass
// surveyed it.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "input/coded_missing.hpp"
#include "input/tps_scan.hpp"
#include "input/tps_survey.hpp"
#include "input/tps_window.hpp"

namespace dg::tps {

class TpsScanner {
 public:
  // Reads the text of `window` into `out`, which gets `rows` rows; the
  // window's first line is line `first_line` of the file.
  TpsScanner(Window& window, std::size_t first_line, const std::string& file,
             const TpsOptions& options, RowSize size_of, std::size_t rows)
      : window_(&window), file_(file), options_(options), size_of_(size_of), rows_(rows) {
    look_at(first_line);
  }

  // A scanner for a later share of the specimens, read in `window`, after
  // this one has read the first specimen.
  std::unique_ptr<TpsScanner> share(Window& window, std::size_t first_line) const {
    auto part = std::make_unique<TpsScanner>(window, first_line, file_, options_, size_of_, rows_);
    part->k_ = k_;
    part->first_points_ = first_points_;
    part->dims_ = dims_;
    part->lm3_ = lm3_;
    return part;
  }

  const char* begin() const { return begin_; }
  void reserve_values(std::size_t bytes) { values_.reserve(bytes); }
  std::uint64_t offset_of(const char* p) const { return window_->offset_of(p); }
  // The '=' of the first LM= keyword from `from` on, reading on as needed.
  const char* find_lm(const char* from);
  // Reads specimens first .. last - 1 (numbered from 1), the first one's
  // LM= at eq; returns the '=' of the next LM=, or nullptr at the end.
  template <bool Missing>
  const char* read_specimens(const char* eq, std::size_t first, std::size_t last, TpsData& out);
  // Takes in what a share read: its records' values, warnings and counts.
  void absorb(TpsScanner& part, std::size_t first, std::size_t last);
  // The records' shared text and the warnings, once every specimen is read.
  template <bool Missing>
  void finish(TpsData& out);
  [[noreturn]] void changed() const;

 private:
  // Takes in the window's text, whose first line is `first_line`.
  void look_at(std::size_t first_line);
  // The specimen's keyword at eq, in the window with its block, which ends
  // at the next LM= line (that line included, as messages may quote it).
  const char* whole_block(const char* eq);
  template <bool Missing>
  const char* read_specimen(const char* eq, std::size_t specimen, TpsData& out);
  void place_row(std::size_t specimen, std::vector<double>& row, TpsData& out);

  // Reads numbers from p into row[0 .. limit), advancing p past the last one.
  // Returns how many were read; `stop` is where the first non-number stands.
  template <bool Missing>
  std::size_t read_numbers(const char*& p, double* row, std::size_t limit, const char*& stop) const;
  template <bool Missing>
  std::size_t count_numbers(const char* p) const;
  // Reads the keywords between a specimen's coordinates at p and the next
  // LM= (whose '=' it returns): the record's values, the scale keyword's '='
  // and, with options_.curves, the curve points appended to row.
  template <bool Missing>
  const char* read_block(const char* p, SpecimenRecord& record, const char*& scale_eq,
                         std::vector<double>& row);
  template <bool Missing>
  const char* read_curve(const char* points_eq, std::vector<double>& row);
  double read_scale(const char* eq, std::size_t specimen, const char* keyword) const;
  void mark_missing(std::vector<double>& row);
  void warn_mismatches(TpsData& out, std::size_t k) const;
  void warn_curves(TpsData& out) const;
  void warn_missing(TpsData& out) const;

  std::size_t line_of(const char* p) const;
  std::string where(const char* p) const;
  [[noreturn]] void fail(std::size_t specimen, const char* keyword, const std::string& what) const;
  [[noreturn]] void fail_short(std::size_t specimen, const char* keyword, const char* stop,
                               const std::string& what) const;
  std::string specimen_text(std::size_t specimen, const char* keyword, bool with_id) const;

  Window* window_;
  const char* begin_ = nullptr;
  const char* end_ = nullptr;
  // Before it the window holds every block with the LM= line after it.
  const char* safe_ = nullptr;
  const std::string& file_;
  std::string values_;  // the records' values, shared by them once the file is read
  // The values of the shares absorbed, each kept as the text of its records
  // [first, last): joining them would hold every value twice for a while.
  struct ShareValues {
    std::size_t first = 0, last = 0;
    std::string values;
  };
  std::vector<ShareValues> share_values_;
  const TpsOptions& options_;
  RowSize size_of_;
  std::size_t rows_;   // specimens in the text
  std::size_t k_ = 0;  // the first specimen's landmark count
  // Coordinates per landmark: 3 when the first specimen starts with LM3= or
  // the options ask for 3-D, else 2; and whether specimens start with LM3=.
  std::size_t dims_ = 2;
  bool lm3_ = false;
  std::vector<double> row_;  // the specimen being read
  // The specimen being read, for messages about its numbers.
  std::size_t specimen_ = 0;
  const char* keyword_ = nullptr;
  // Specimens whose LM= count differs from the first one's: how many, and
  // the first few with their own warning.
  std::size_t mismatches_ = 0;
  std::vector<std::string> listed_;
  std::vector<std::string> listed_places_;
  // Curves: specimens that carry them, the fewest and most points of one, and
  // with options_.curves the points every specimen must have (the first's).
  std::size_t curve_specimens_ = 0;
  std::size_t fewest_points_ = 0;
  std::size_t most_points_ = 0;
  std::size_t block_points_ = 0;
  std::size_t first_points_ = 0;
  // Missing values: the specimens with a missing landmark, and which
  // landmarks were missing.
  std::size_t incomplete_ = 0;
  std::vector<bool> missing_landmarks_;
  // Each column's extremes as written, for coordinates that look like a
  // missing-value code.
  SlotExtremes extremes_;
  // Line numbers are counted forward from the last position asked for; the
  // window starts on line first_line_.
  std::size_t first_line_ = 1;
  mutable const char* counted_to_ = nullptr;
  mutable std::size_t line_ = 1;
};

TpsData read_window(Window& first, const Survey& found, const TpsSource* source, std::uint64_t stop,
                    std::size_t window, const std::string& file, const TpsOptions& options,
                    RowSize size_of);

}  // namespace dg::tps

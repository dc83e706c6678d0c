// The log of the corrections made to a TPS file (save_corrected_tps), kept
// beside it as <stem>.edits.csv (a.tps: a.edits.csv). A CSV table, UTF-8 with
// LF line ends and RFC 4180 quoting, whose header is
//   specimen,id,landmark,old_x,old_y,new_x,new_y,time
// (old_x,old_y,old_z,new_x,new_y,new_z for a 3-D file), then one row per
// edit: the specimen's number in the file, its name (ID=, else IMAGE=, else
// its number), the landmark, its coordinates before and after as the file
// writes them (NA for a missing landmark) and the time the caller gave.
//
// read_edits_log reads the log beside a TPS input for the manifest of a run.
// It never raises: a log that cannot be read or parsed adds a warning naming
// it (and the line) and is left out:
//   The edits log "<path>" cannot be read (<reason>); it is left out of the manifest.
//   The edits log "<path>", line 3: "x" is not a coordinate; it is left out of the manifest.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dg {

// <folder>/<stem>.edits.csv for <folder>/<stem>.<extension>.
std::string edits_log_path(const std::string& tps_path);

// The header line, without its line end, for 2 or 3 coordinates a landmark.
std::string edits_log_header(std::size_t dims);

// Appends a field, quoted when it holds a comma, a double quote, CR or LF
// (its quotes doubled).
void append_csv_field(std::string& out, std::string_view text);

struct EditsLogRow {
  std::size_t specimen = 0, landmark = 0;
  std::string id;
  std::vector<double> old_values, new_values;  // NaN for NA
  std::string time;
};

struct EditsLog {
  std::string name;  // the log's file name, without its folder
  std::size_t dimensions = 2;
  std::vector<EditsLogRow> rows;
};

// The log beside the TPS file `tps_path`, or none when there is none (or it
// cannot be read: then with a warning appended to `warnings`).
std::optional<EditsLog> read_edits_log(const std::string& tps_path,
                                       std::vector<std::string>& warnings);

}  // namespace dg

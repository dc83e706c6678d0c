#include "output/edits_log.hpp"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <limits>

#include "input/text_input.hpp"
#include "runtime/array/excerpt.hpp"
#include "runtime/array/file_io.hpp"

namespace dg {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The fields of one line, or false when a quoted field does not close where
// a field ends.
bool split_fields(std::string_view line, std::vector<std::string>& fields) {
  fields.clear();
  std::size_t i = 0;
  for (;;) {
    std::string field;
    if (i < line.size() && line[i] == '"') {
      for (++i;; ++i) {
        if (i == line.size()) return false;
        if (line[i] == '"') {
          if (i + 1 < line.size() && line[i + 1] == '"') {
            field += '"';
            ++i;
            continue;
          }
          ++i;
          break;
        }
        field += line[i];
      }
      if (i < line.size() && line[i] != ',') return false;
    } else {
      const std::size_t comma = std::min(line.find(',', i), line.size());
      field.assign(line.substr(i, comma - i));
      i = comma;
    }
    fields.push_back(std::move(field));
    if (i == line.size()) return true;
    ++i;  // past the comma
  }
}

bool whole_number(const std::string& text, std::size_t& value) {
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end && value >= 1;
}

bool coordinate(const std::string& text, double& value) {
  if (text == "NA") {
    value = kNaN;
    return true;
  }
  const char* end = text.data() + text.size();
  return !text.empty() && parse_number(text.data(), end, value) == end;
}

std::string shown(const std::string& text) {
  return excerpt(text.data(), text.data() + text.size(), 40);
}

}  // namespace

std::string edits_log_path(const std::string& tps_path) {
  const std::size_t slash = last_separator(tps_path);
  const std::size_t name_at = slash == std::string::npos ? 0 : slash + 1;
  const std::string_view name = std::string_view(tps_path).substr(name_at);
  const std::size_t dot = name.rfind('.');
  const std::string_view stem =
      dot == std::string_view::npos || dot == 0 ? name : name.substr(0, dot);
  return tps_path.substr(0, name_at) + std::string(stem) + ".edits.csv";
}

std::string edits_log_header(std::size_t dims) {
  return dims == 3 ? "specimen,id,landmark,old_x,old_y,old_z,new_x,new_y,new_z,time"
                   : "specimen,id,landmark,old_x,old_y,new_x,new_y,time";
}

void append_csv_field(std::string& out, std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
    out += text;
    return;
  }
  out += '"';
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

std::optional<EditsLog> read_edits_log(const std::string& tps_path,
                                       std::vector<std::string>& warnings) {
  const std::string path = edits_log_path(tps_path);
  std::error_code ignored;
  if (!std::filesystem::exists(file_path(path), ignored)) return std::nullopt;
  const std::string left_out = "; it is left out of the manifest.";
  FileText bytes;
  if (std::string reason; !read_whole_file(path, bytes, reason)) {
    warnings.push_back("The edits log \"" + path + "\" cannot be read (" + reason + ")" + left_out);
    return std::nullopt;
  }
  EditsLog log;
  const std::size_t slash = last_separator(path);
  log.name = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::string_view text = bytes.view();
  std::vector<std::string> fields;
  std::size_t line_number = 0;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t lf = std::min(text.find('\n', at), text.size());
    std::string_view line = text.substr(at, lf - at);
    at = lf + 1;
    ++line_number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const auto fail = [&](const std::string& what) {
      warnings.push_back("The edits log \"" + path + "\", line " + std::to_string(line_number) +
                         ": " + what + left_out);
    };
    if (line_number == 1) {
      if (line == edits_log_header(3)) {
        log.dimensions = 3;
      } else if (line != edits_log_header(2)) {
        fail("the header is " + excerpt(line.data(), line.data() + line.size(), 80) + ", not \"" +
             edits_log_header(2) + "\"");
        return std::nullopt;
      }
      continue;
    }
    if (line.empty()) continue;
    const std::size_t d = log.dimensions;
    if (!split_fields(line, fields)) {
      fail("a quoted field does not end where its field does");
      return std::nullopt;
    }
    if (fields.size() != 2 * d + 4) {
      fail(std::to_string(fields.size()) + " fields where the header names " +
           std::to_string(2 * d + 4));
      return std::nullopt;
    }
    EditsLogRow row;
    if (!whole_number(fields[0], row.specimen)) {
      fail(shown(fields[0]) + " is not a specimen number");
      return std::nullopt;
    }
    if (!whole_number(fields[2], row.landmark)) {
      fail(shown(fields[2]) + " is not a landmark number");
      return std::nullopt;
    }
    row.id = fields[1];
    for (std::size_t c = 0; c < 2 * d; ++c) {
      double value = 0;
      if (!coordinate(fields[3 + c], value)) {
        fail(shown(fields[3 + c]) + " is not a coordinate");
        return std::nullopt;
      }
      (c < d ? row.old_values : row.new_values).push_back(value);
    }
    row.time = fields.back();
    log.rows.push_back(std::move(row));
  }
  if (line_number == 0) {
    warnings.push_back("The edits log \"" + path + "\" is empty" + left_out);
    return std::nullopt;
  }
  return log;
}

}  // namespace dg

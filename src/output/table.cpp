#include "output/table.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <memory>
#include <unordered_map>
#include <unordered_set>

#include "output/edits_log.hpp"
#include "output/ordered_writes.hpp"
#include "runtime/array/error.hpp"
#include "runtime/array/excerpt.hpp"
#include "runtime/array/file_io.hpp"
#include "runtime/array/format.hpp"
#include "runtime/array/progress.hpp"

namespace dg {
namespace {

// Rows are formatted in blocks of about this many bytes, one block per thread at a time.
constexpr std::size_t kTableBlockBytes = 1 << 20;
// The longest shortest-form double ("-2.2250738585072014e-308") and a separator.
constexpr std::size_t kMaxNumber = 26;

// A landmark number as written in a list: whole numbers without decimals.
std::string landmark_text(double v) {
  char text[32];
  if (v == std::trunc(v) && std::fabs(v) < 1e15) {
    return std::string(text,
                       std::to_chars(text, text + sizeof text, static_cast<long long>(v)).ptr);
  }
  return std::string(text, std::to_chars(text, text + sizeof text, v).ptr);
}

std::vector<std::string> list_columns(const Matrix& list, std::size_t count,
                                      std::string_view prefix) {
  std::vector<std::string> names;
  names.reserve(list.rows());
  for (std::size_t i = 0; i < list.rows(); ++i) {
    std::string name(prefix);
    for (std::size_t j = 1; j <= count; ++j) {
      if (j > 1) name += '_';
      name += list.cols() > j ? landmark_text(list(i, j)) : std::string("NA");
    }
    names.push_back(std::move(name));
  }
  make_unique(names);
  return names;
}

// Appends one text field in the table's format.
void append_field(std::string& out, TableFormat format, std::string_view raw) {
  const std::string text = utf8_text(raw);
  if (format == TableFormat::Tsv) {
    for (char c : text) out += (c == '\t' || c == '\r' || c == '\n') ? ' ' : c;
    return;
  }
  append_csv_field(out, text);
}

// What a run of rows met that was not finite.
struct NotFinite {
  std::size_t count = 0, first_row = 0, first_column = 0;
};

// Formats rows; used from several threads at once, it changes nothing shared.
struct RowWriter {
  void format_rows(const RowSource& rows, std::size_t begin, std::size_t end, std::string& out,
                   NotFinite& seen) const;
  // The value fields of row i, with the caller's text where it gives one.
  void append_fields(std::size_t i, std::span<const double> row, std::string& out,
                     NotFinite& seen) const;

  TableFormat format;
  char sep;
  std::span<const SpecimenRecord> records;
  const RowTransform& transform;
  const FieldText& text;
  const GroupColumn& groups;
  bool several_files;
};

// Whether the records come from more than one file: the tables then name it.
bool several_files(std::span<const SpecimenRecord> records) {
  for (const SpecimenRecord& record : records) {
    if (record.file() != records.front().file()) return true;
  }
  return false;
}

void RowWriter::append_fields(std::size_t i, std::span<const double> row, std::string& out,
                              NotFinite& seen) const {
  std::string field;
  for (std::size_t j = 0; j < row.size(); ++j) {
    out += sep;
    const double v = row[j];
    if (text(i, j, v, field)) {
      append_field(out, format, field);
    } else if (std::isfinite(v)) {
      char number[kMaxNumber];
      out.append(number, std::to_chars(number, number + sizeof number, v).ptr);
    } else {
      if (seen.count++ == 0) {
        seen.first_row = i;
        seen.first_column = j;
      }
      out += "NA";
    }
  }
  out += '\n';
}

void RowWriter::format_rows(const RowSource& rows, std::size_t begin, std::size_t end,
                            std::string& out, NotFinite& seen) const {
  std::vector<double> row(rows.cols);
  const std::string* last_file = nullptr;  // records of one file share their name
  std::string file_field;
  for (std::size_t i = begin; i < end; ++i) {
    progress_every(i);
    char number[24];
    out.append(number, std::to_chars(number, number + sizeof number, i + 1).ptr);
    out += sep;
    if (i < records.size()) {
      const SpecimenRecord& record = records[i];
      append_field(out, format, record.id().empty() ? record.image() : record.id());
      out += sep;
      append_field(out, format, record.image());
      if (several_files) {
        out += sep;
        if (&record.file() != last_file) {
          last_file = &record.file();
          file_field.clear();
          append_field(file_field, format, *last_file);
        }
        out += file_field;
      }
    } else {
      out += sep;
      if (several_files) out += sep;
    }
    if (!groups.empty()) {
      out += sep;
      if (i < groups.of.size()) append_field(out, format, groups.names[groups.of[i]]);
    }

    rows.row(i, row);
    if (transform) transform(std::span<double>(row));
    if (text) {
      append_fields(i, row, out, seen);
      continue;
    }
    append_written(out, row.size() * kMaxNumber + 1, [&](char* p) {
      for (std::size_t j = 0; j < row.size(); ++j) {
        *p++ = sep;
        double v = row[j];
        if (std::isfinite(v)) {
          p = std::to_chars(p, p + kMaxNumber, v).ptr;
          continue;
        }
        if (seen.count++ == 0) {
          seen.first_row = i;
          seen.first_column = j;
        }
        *p++ = 'N';
        *p++ = 'A';
      }
      *p++ = '\n';
      return p;
    });
  }
}

}  // namespace

TableFormat table_format(std::string_view name) {
  if (name == "plain") return TableFormat::Plain;
  if (name == "csv") return TableFormat::Csv;
  if (name == "tsv") return TableFormat::Tsv;
  raise("Unknown table format \"" + std::string(name) + "\"; use plain, csv or tsv.");
}

void make_unique(std::vector<std::string>& names) {
  const std::unordered_set<std::string> given(names.begin(), names.end());
  std::unordered_set<std::string> taken;
  std::unordered_map<std::string, std::size_t> next;
  for (std::string& name : names) {
    if (taken.insert(name).second) continue;
    std::size_t& n = next.try_emplace(name, 2).first->second;
    std::string candidate;
    do {
      candidate = name + "_" + std::to_string(n++);
    } while (given.count(candidate) || taken.count(candidate));
    taken.insert(candidate);
    name = std::move(candidate);
  }
}

std::vector<std::string> pair_columns(const Matrix& pairs, std::string_view prefix) {
  return list_columns(pairs, 2, prefix);
}

std::vector<std::string> triple_columns(const Matrix& triples) {
  return list_columns(triples, 3, "angle");
}

std::vector<std::string> coordinate_columns(std::size_t count, std::size_t dims) {
  static constexpr const char* kAxes[] = {"x", "y", "z"};
  const std::size_t d = dims == 3 ? 3 : 2;
  std::vector<std::string> names;
  names.reserve(count);
  for (std::size_t j = 0; j < count; ++j) {
    names.push_back(kAxes[j % d] + std::to_string(j / d + 1));
  }
  return names;
}

std::string utf8_text(std::string_view text) {
  bool valid = true;
  for (std::size_t i = 0; i < text.size();) {
    if (static_cast<unsigned char>(text[i]) < 0x80) {
      ++i;
      continue;
    }
    std::size_t n = utf8_length(text, i);
    if (n == 0) {
      valid = false;
      break;
    }
    i += n;
  }
  if (valid) return std::string(text);
  std::string out;
  out.reserve(text.size() * 2);
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      out += c;
    } else {
      out += static_cast<char>(0xC0 | (byte >> 6));
      out += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return out;
}

void write_named_rows(const std::string& path, TableFormat format,
                      const std::vector<std::string>& columns,
                      const std::vector<std::string>& names, const RowSource& rows,
                      const FieldText& text) {
  if (format == TableFormat::Plain) raise("A plain dataset has no table to write.");
  if (columns.size() != rows.cols + 1 || names.size() != rows.rows) {
    raise("Cannot write \"" + path + "\": " + std::to_string(rows.rows) + " rows of " +
          std::to_string(rows.cols) + " values for " + std::to_string(names.size()) +
          " names and " + std::to_string(columns.size()) + " column names.");
  }
  const char sep = format == TableFormat::Csv ? ',' : '\t';
  std::string out;
  for (std::size_t j = 0; j < columns.size(); ++j) {
    if (j != 0) out += sep;
    append_field(out, format, columns[j]);
  }
  out += '\n';
  std::vector<double> row(rows.cols);
  std::string field;
  for (std::size_t i = 0; i < rows.rows; ++i) {
    append_field(out, format, names[i]);
    rows.row(i, row);
    for (std::size_t j = 0; j < row.size(); ++j) {
      out += sep;
      if (text && text(i, j, row[j], field)) {
        append_field(out, format, field);
      } else if (std::isfinite(row[j])) {
        char number[kMaxNumber];
        out.append(number, std::to_chars(number, number + sizeof number, row[j]).ptr);
      } else {
        out += "NA";
      }
    }
    out += '\n';
  }
  AtomicFile file(path);
  file.write(out);
  file.commit();
}

namespace {

std::string header_of(const RowWriter& writer, const std::vector<std::string>& columns) {
  std::string header = "specimen";
  header += writer.sep;
  header += "id";
  header += writer.sep;
  header += "image";
  if (writer.several_files) {
    header += writer.sep;
    header += "file";
  }
  if (!writer.groups.empty()) {
    header += writer.sep;
    header += "group";
  }
  for (const std::string& name : columns) {
    header += writer.sep;
    append_field(header, writer.format, name);
  }
  header += '\n';
  return header;
}

// The warning about the values a file's blocks met that were not finite, or
// an empty text.
std::string not_finite_warning(const std::string& path, const std::vector<std::string>& columns,
                               std::span<const NotFinite> blocks) {
  NotFinite total;
  for (const NotFinite& block : blocks) {
    if (block.count != 0 && total.count == 0) {
      total.first_row = block.first_row;
      total.first_column = block.first_column;
    }
    total.count += block.count;
  }
  if (total.count == 0) return {};
  const std::string where = "specimen " + std::to_string(total.first_row + 1) + ", column " +
                            columns[total.first_column] + ".";
  if (total.count == 1) {
    return "\"" + path + "\": 1 value is not finite and is written as NA: " + where;
  }
  return "\"" + path + "\": " + std::to_string(total.count) +
         " values are not finite and are written as NA; the first is " + where;
}

// Writes the tables of `files` from one pass over the rows (one file: its
// rows as they come); returns each file's warning.
std::vector<std::string> write_tables_of(const std::vector<TableFile>& files, TableFormat format,
                                         const RowSource& rows,
                                         std::span<const SpecimenRecord> records,
                                         const FieldText& text, const GroupColumn& groups) {
  if (format == TableFormat::Plain) raise("A plain dataset has no table to write.");
  for (const TableFile& file : files) {
    if (file.columns.size() != rows.cols) {
      raise("Cannot write \"" + file.path + "\": " + std::to_string(rows.cols) +
            " columns of values but " + std::to_string(file.columns.size()) + " column names.");
    }
  }
  const char sep = format == TableFormat::Csv ? ',' : '\t';
  const bool named_files = several_files(records);
  std::vector<RowWriter> writers;
  std::vector<std::unique_ptr<AtomicFile>> out;
  std::vector<AtomicFile*> targets;
  for (const TableFile& file : files) {
    writers.push_back({format, sep, records, file.transform, text, groups, named_files});
    out.push_back(std::make_unique<AtomicFile>(file.path));
    targets.push_back(out.back().get());
    out.back()->write(header_of(writers.back(), file.columns));
  }

  // Blocks of rows are formatted on the threads and written in row order; each
  // block keeps what it met that was not finite, and the first is reported.
  const std::size_t block_rows =
      std::max<std::size_t>(1, kTableBlockBytes / (files.size() * (rows.cols * 20 + 64)));
  const std::size_t blocks = (rows.rows + block_rows - 1) / block_rows;
  std::vector<std::vector<NotFinite>> seen(files.size(), std::vector<NotFinite>(blocks));
  if (files.size() == 1) {
    write_ordered_blocks(*targets[0], rows.rows, block_rows,
                         [&](std::size_t begin, std::size_t end, std::string& text) {
                           writers[0].format_rows(rows, begin, end, text,
                                                  seen[0][begin / block_rows]);
                         });
  } else {
    write_ordered_blocks(
        targets, rows.rows, block_rows, [&](std::size_t begin, std::size_t end, BlockParts& parts) {
          const RowSource held = held_rows(rows, begin, end);
          for (std::size_t k = 0; k < files.size(); ++k) {
            writers[k].format_rows(held, begin, end, parts.text(), seen[k][begin / block_rows]);
            parts.end_part();
          }
        });
  }
  std::vector<std::string> warnings;
  for (std::size_t k = 0; k < files.size(); ++k) {
    out[k]->commit();
    warnings.push_back(not_finite_warning(files[k].path, files[k].columns, seen[k]));
  }
  return warnings;
}

}  // namespace

std::string write_table(const std::string& path, TableFormat format, const RowSource& rows,
                        const std::vector<std::string>& columns,
                        std::span<const SpecimenRecord> records, const RowTransform& transform,
                        const FieldText& text, const GroupColumn& groups) {
  return write_tables_of({{path, columns, transform}}, format, rows, records, text, groups).front();
}

std::vector<std::string> write_tables(const std::vector<TableFile>& files, TableFormat format,
                                      const RowSource& rows,
                                      std::span<const SpecimenRecord> records,
                                      const GroupColumn& groups) {
  return write_tables_of(files, format, rows, records, {}, groups);
}

std::string write_table(const std::string& path, TableFormat format, const Matrix& rows,
                        const std::vector<std::string>& columns,
                        std::span<const SpecimenRecord> records, const RowTransform& transform) {
  return write_table(path, format, matrix_rows(rows), columns, records, transform);
}

}  // namespace dg

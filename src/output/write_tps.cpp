#include "output/write_tps.hpp"

#include <charconv>
#include <cmath>
#include <string_view>

#include "runtime/array/file_io.hpp"
#include "runtime/array/format.hpp"

namespace dg {
namespace {

constexpr std::size_t kFlushBytes = 1 << 22;
// The longest shortest-form double ("-2.2250738585072014e-308").
constexpr std::size_t kMaxCoordinate = 25;

void append_count(std::string& out, std::size_t k, std::size_t dims) {
  char text[24];
  out += dims == 3 ? "LM3=" : "LM=";
  out.append(text, std::to_chars(text, text + sizeof text, k).ptr);
  out += '\n';
}

void append_landmarks_3d(std::string& out, std::span<const double> row, std::size_t k) {
  append_written(out, k * (3 * kMaxCoordinate + 3), [&](char* p) {
    for (std::size_t i = 0; i < k; ++i) {
      const double* v = &row[3 * i];
      if (std::isnan(v[0]) || std::isnan(v[1]) || std::isnan(v[2])) {
        for (char c : std::string_view("NA NA NA\n")) *p++ = c;
        continue;
      }
      for (std::size_t d = 0; d < 3; ++d) {
        p = std::to_chars(p, p + kMaxCoordinate, v[d]).ptr;
        *p++ = d == 2 ? '\n' : ' ';
      }
    }
    return p;
  });
}

void append_landmarks(std::string& out, std::span<const double> row, std::size_t k) {
  append_written(out, k * (2 * kMaxCoordinate + 2), [&](char* p) {
    for (std::size_t i = 0; i < k; ++i) {
      const double x = row[2 * i], y = row[2 * i + 1];
      if (std::isnan(x) || std::isnan(y)) {
        for (char c : std::string_view("NA NA\n")) *p++ = c;
        continue;
      }
      p = std::to_chars(p, p + kMaxCoordinate, x).ptr;
      *p++ = ' ';
      p = std::to_chars(p, p + kMaxCoordinate, y).ptr;
      *p++ = '\n';
    }
    return p;
  });
}

void append_value(std::string& out, std::string_view keyword, std::string_view value) {
  if (value.empty()) return;
  out += keyword;
  for (char c : value) out += (c == '\r' || c == '\n') ? ' ' : c;
  out += '\n';
}

// Writes each row's landmarks, then what `trailer(out, i)` adds for row i.
template <class Trailer>
void write_specimens(const std::string& path, const Matrix& rows, std::size_t dims,
                     Trailer trailer) {
  const std::size_t k = rows.cols() / dims;
  AtomicFile file(path);
  std::string out;
  out.reserve(kFlushBytes + k * (3 * kMaxCoordinate + 3) + 4096);
  for (std::size_t i = 0; i < rows.rows(); ++i) {
    append_count(out, k, dims);
    if (dims == 3) {
      append_landmarks_3d(out, rows.row(i), k);
    } else {
      append_landmarks(out, rows.row(i), k);
    }
    trailer(out, i);
    if (out.size() >= kFlushBytes) {
      file.write(out);
      out.clear();
    }
  }
  file.write(out);
  file.commit();
}

}  // namespace

void write_tps(const std::string& path, const Matrix& rows, std::size_t dims,
               std::span<const SpecimenRecord> records) {
  write_specimens(path, rows, dims, [&](std::string& out, std::size_t i) {
    if (i >= records.size()) return;
    append_value(out, "IMAGE=", records[i].image());
    append_value(out, "ID=", records[i].id());
  });
}

void write_tps_consensus(const std::string& path, const Matrix& consensus, std::size_t dims) {
  write_specimens(path, consensus, dims,
                  [](std::string& out, std::size_t) { append_value(out, "ID=", "consensus"); });
}

}  // namespace dg

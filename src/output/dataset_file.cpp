#include "output/dataset_file.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <vector>

#include "output/ordered_writes.hpp"
#include "runtime/array/file_io.hpp"
#include "runtime/array/format.hpp"
#include "runtime/array/progress.hpp"

namespace dg {
namespace {

// About this much text is formatted per block (a few blocks are held at once).
constexpr std::size_t kBlockBytes = 1 << 20;
// The longest shortest form of a double: "-2.2250738585072014e-308".
constexpr std::size_t kMaxExact = 24;

template <class WriteRow>
void write_rows(const std::string& path, const RowSource& rows, WriteRow write_row) {
  AtomicFile file(path);
  const std::size_t block = std::max<std::size_t>(1, kBlockBytes / (rows.cols * 12 + 2));
  write_ordered_blocks(file, rows.rows, block,
                       [&](std::size_t begin, std::size_t end, std::string& out) {
                         std::vector<double> row(rows.cols);
                         for (std::size_t i = begin; i < end; ++i) {
                           rows.row(i, row);
                           write_row(out, std::span<double>(row));
                           progress_every(i);
                         }
                       });
  file.commit();
}

}  // namespace

RowSource matrix_rows(const Matrix& m) {
  return {m.rows(), m.cols(), [&m](std::size_t i, std::span<double> out) {
            const auto row = m.row(i);
            std::copy(row.begin(), row.end(), out.begin());
          }};
}

void write_dataset(const std::string& path, const Matrix& rows, const RowTransform& transform) {
  write_dataset(path, matrix_rows(rows), transform);
}

void write_exact(const std::string& path, const Matrix& rows) {
  write_exact(path, matrix_rows(rows));
}

void write_dataset(const std::string& path, const RowSource& rows, const RowTransform& transform) {
  write_rows(path, rows, [&](std::string& out, std::span<double> row) {
    if (transform) transform(row);
    append_written(out, row.size() * (kMaxG + 1) + 2, [&](char* p) {
      for (double v : row) {
        p = write_g(p, v);
        *p++ = ' ';
      }
      *p++ = ' ';
      *p++ = '\n';
      return p;
    });
  });
}

void write_exact(const std::string& path, const RowSource& rows) {
  write_rows(path, rows, [](std::string& out, std::span<double> row) {
    // Room for the longest shortest form of every value.
    append_written(out, row.size() * (kMaxExact + 1) + 1, [&](char* p) {
      for (std::size_t j = 0; j < row.size(); ++j) {
        if (j) *p++ = ' ';
        const double v = row[j];
        if (std::isfinite(v)) {
          p = std::to_chars(p, p + kMaxExact, v).ptr;
          continue;
        }
        const char* text = non_finite_text(v);
        const std::size_t n = std::strlen(text);
        std::memcpy(p, text, n);
        p += n;
      }
      *p++ = '\n';
      return p;
    });
  });
}

}  // namespace dg

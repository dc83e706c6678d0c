#include "output/dataset_file.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <vector>

#include "runtime/array/file_io.hpp"
#include "runtime/array/format.hpp"
#include "runtime/array/parallel.hpp"
#include "runtime/array/progress.hpp"

namespace dg {
namespace {

// About this much text is formatted per block (a few blocks are held at once).
constexpr std::size_t kBlockBytes = 1 << 20;

template <class WriteRow>
void write_rows(const std::string& path, const RowSource& rows, WriteRow write_row) {
  AtomicFile file(path);
  const std::size_t block = std::max<std::size_t>(1, kBlockBytes / (rows.cols * 12 + 2));
  ordered_blocks(
      rows.rows, block,
      [&](std::size_t begin, std::size_t end, std::string& out) {
        std::vector<double> row(rows.cols);
        for (std::size_t i = begin; i < end; ++i) {
          rows.row(i, row);
          write_row(out, std::span<double>(row));
          progress_every(i);
        }
      },
      [&](const std::string& text) { file.write(text); });
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
    std::size_t used = out.size();
    out.resize(used + row.size() * (kMaxG + 1) + 2);
    char* p = out.data() + used;
    for (double v : row) {
      p = write_g(p, v);
      *p++ = ' ';
    }
    *p++ = ' ';
    *p++ = '\n';
    out.resize(static_cast<std::size_t>(p - out.data()));
  });
}

void write_exact(const std::string& path, const RowSource& rows) {
  write_rows(path, rows, [](std::string& out, std::span<double> row) {
    for (std::size_t j = 0; j < row.size(); ++j) {
      if (j) out += ' ';
      double v = row[j];
      if (!std::isfinite(v)) {
        out += non_finite_text(v);
        continue;
      }
      char text[32];
      auto result = std::to_chars(text, text + sizeof text, v);
      out.append(text, result.ptr);
    }
    out += '\n';
  });
}

}  // namespace dg

#include "output/dataset_file.hpp"

#include <charconv>
#include <cmath>
#include <vector>

#include "runtime/array/file_io.hpp"
#include "runtime/array/format.hpp"
#include "runtime/array/progress.hpp"

namespace dg {
namespace {

constexpr std::size_t kFlushBytes = 1 << 22;

template <class WriteRow>
void write_rows(const std::string& path, const Matrix& rows, WriteRow write_row) {
  AtomicFile file(path);
  std::string buffer;
  buffer.reserve(kFlushBytes + 4096);
  std::vector<double> row(rows.cols());
  for (std::size_t i = 0; i < rows.rows(); ++i) {
    auto source = rows.row(i);
    std::copy(source.begin(), source.end(), row.begin());
    write_row(buffer, std::span<double>(row));
    progress_every(i);
    if (buffer.size() >= kFlushBytes) {
      file.write(buffer);
      buffer.clear();
    }
  }
  file.write(buffer);
  file.commit();
}

}  // namespace

void write_dataset(const std::string& path, const Matrix& rows, const RowTransform& transform) {
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

void write_exact(const std::string& path, const Matrix& rows) {
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

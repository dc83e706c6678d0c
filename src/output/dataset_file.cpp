#include "output/dataset_file.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string_view>
#include <vector>

#include "output/ordered_writes.hpp"
#include "runtime/array/file_io.hpp"
#include "runtime/array/format.hpp"
#include "runtime/array/parallel.hpp"
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

// One dataset line: "%g " for each value, then " \n".
void append_g_row(std::string& out, std::span<const double> row) {
  append_written(out, row.size() * (kMaxG + 1) + 2, [&](char* p) {
    for (double v : row) {
      p = write_g(p, v);
      *p++ = ' ';
    }
    *p++ = ' ';
    *p++ = '\n';
    return p;
  });
}

}  // namespace

RowSource held_rows(const RowSource& rows, std::size_t begin, std::size_t end) {
  const std::size_t cols = rows.cols;
  auto values = std::make_shared<std::vector<double>>((end - begin) * cols);
  for (std::size_t i = begin; i < end; ++i) {
    rows.row(i, std::span<double>(*values).subspan((i - begin) * cols, cols));
    progress_every(i);
  }
  return {rows.rows, cols, [values, begin, cols](std::size_t i, std::span<double> out) {
            std::copy_n(values->begin() + static_cast<std::ptrdiff_t>((i - begin) * cols), cols,
                        out.begin());
          }};
}

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
    append_g_row(out, row);
  });
}

void write_datasets(const std::vector<DatasetFile>& files, const RowSource& rows) {
  const std::size_t n = files.size();
  std::vector<std::unique_ptr<AtomicFile>> out;
  std::vector<AtomicFile*> targets;
  for (const DatasetFile& file : files) {
    out.push_back(std::make_unique<AtomicFile>(file.path));
    targets.push_back(out.back().get());
  }
  const std::size_t cols = rows.cols;
  const std::size_t block = std::max<std::size_t>(1, kBlockBytes / (n * (cols * 12 + 2)));
  write_ordered_blocks(targets, rows.rows, block,
                       [&](std::size_t begin, std::size_t end, BlockParts& parts) {
                         const RowSource held = held_rows(rows, begin, end);
                         for (const DatasetFile& file : files) {
                           std::vector<double> row(cols);
                           for (std::size_t i = begin; i < end; ++i) {
                             held.row(i, row);
                             if (file.transform) file.transform(row);
                             append_g_row(parts.text(), row);
                           }
                           parts.end_part();
                         }
                       });
  for (auto& file : out) file->commit();
}

bool plain_targets(const std::vector<std::string>& paths) {
  for (std::size_t i = 0; i < paths.size(); ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      if (paths[i] == paths[j]) return false;
    }
    std::error_code error;
    const auto status = std::filesystem::status(file_path(paths[i]), error);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) return false;
  }
  return true;
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

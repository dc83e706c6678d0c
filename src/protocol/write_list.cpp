#include "protocol/write_list.hpp"

#include <charconv>
#include <cmath>

#include "runtime/array/file_io.hpp"
#include "runtime/array/format.hpp"

namespace dg {
namespace {

void append_number(std::string& out, double v) {
  if (!std::isfinite(v)) {
    out += non_finite_text(v);
    return;
  }
  // Fixed notation spells out a whole number of any size (up to 309 digits)
  // where the shortest form would write 1e+20.
  char text[400];
  auto result = std::floor(v) == v
                    ? std::to_chars(text, text + sizeof text, v, std::chars_format::fixed)
                    : std::to_chars(text, text + sizeof text, v);
  out.append(text, result.ptr);
}

}  // namespace

void write_list(const std::string& path, const Matrix& list) {
  std::string text;
  for (std::size_t i = 0; i < list.rows(); ++i) {
    auto row = list.row(i);
    for (std::size_t j = 0; j < row.size(); ++j) {
      if (j) text += ' ';
      append_number(text, row[j]);
    }
    text += '\n';
  }
  AtomicFile file(path);
  file.write(text);
  file.commit();
}

}  // namespace dg

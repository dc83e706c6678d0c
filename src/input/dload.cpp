#include "input/dload.hpp"

#include <cmath>
#include <cstring>
#include <vector>

#include "input/text_input.hpp"
#include "runtime/array/error.hpp"
#include "runtime/array/excerpt.hpp"

namespace dg {
namespace {

bool is_separator(char c) {
  return c == ' ' || c == '\t' || c == ',';
}

std::string quoted(const char* p, const char* e) {
  return excerpt(p, e, 60);
}

}  // namespace

Matrix parse_matrix(std::string_view text, const std::string& file) {
  Matrix m;
  std::vector<double> row;
  text = skip_byte_order_mark(text);
  const char* p = text.data();
  const char* const end = p + text.size();
  std::size_t blank = 0;  // the first blank line, once one is met
  for (std::size_t line = 1; p != end; ++line, p = past_line_end(p, end)) {
    const char* e = line_end(p, end);
    const char* q = p;
    while (q != e && (*q == ' ' || *q == '\t')) ++q;
    const auto where = [&] { return "\"" + file + "\", line " + std::to_string(line); };
    if (q == e) {  // a blank line ends the data; only blank lines may follow it
      if (blank == 0) blank = line;
      p = e;
      continue;
    }
    if (blank != 0) {
      raise(where() + ": " + quoted(p, e) + " follows the blank line " + std::to_string(blank) +
            ", which ends the data; remove the blank line or the rows after it.");
    }

    row.clear();
    for (;;) {
      while (q != e && is_separator(*q)) ++q;
      if (q == e) break;
      double value = 0;
      const char* after = parse_number(q, e, value);
      if (after == nullptr || (after != e && !is_separator(*after))) {
        const char* token_end = q;
        while (token_end != e && !is_separator(*token_end)) ++token_end;
        raise(where() + ": " + quoted(q, token_end) + " in " + quoted(p, e) + " is not a number.");
      }
      if (std::isinf(value) && overflows(q, after)) {
        raise(where() + ": " + quoted(q, after) + " is too large for a number.");
      }
      row.push_back(value);
      q = after;
    }
    if (row.empty()) raise(where() + ": " + quoted(p, e) + " holds no numbers.");
    if (m.rows() != 0 && row.size() != m.cols()) {
      raise(where() + " has " + std::to_string(row.size()) + " numbers where line 1 has " +
            std::to_string(m.cols()) + ".");
    }
    m.append_row(row);
    p = e;
  }
  return m;
}

Matrix dload(const std::string& path) {
  FileText text;
  if (std::string reason; !read_whole_file(path, text, reason)) {
    raise("Cannot open \"" + path + "\": " + reason);
  }
  return parse_matrix(text.view(), path);
}

}  // namespace dg

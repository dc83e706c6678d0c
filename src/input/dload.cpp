#include "input/dload.hpp"

#include <cstring>
#include <vector>

#include "input/text_input.hpp"
#include "runtime/array/error.hpp"

namespace dg {
namespace {

bool is_separator(char c) {
  return c == ' ' || c == '\t' || c == ',';
}

std::string quoted(const char* p, const char* e) {
  constexpr std::ptrdiff_t kLimit = 60;
  const bool shortened = e - p > kLimit;
  std::string text(1, '"');
  text.append(p, shortened ? p + kLimit : e);
  text += shortened ? "...\"" : "\"";
  return text;
}

}  // namespace

Matrix parse_matrix(std::string_view text, const std::string& file) {
  Matrix m;
  std::vector<double> row;
  const char* p = text.data();
  const char* const end = p + text.size();
  for (std::size_t line = 1; p != end; ++line) {
    const char* nl = static_cast<const char*>(std::memchr(p, '\n', end - p));
    const char* e = nl != nullptr ? nl : end;
    if (e != p && e[-1] == '\r') --e;

    const char* q = p;
    while (q != e && (*q == ' ' || *q == '\t')) ++q;
    if (q == e) break;  // a blank line ends the data

    const auto where = [&] { return "\"" + file + "\", line " + std::to_string(line); };
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
      row.push_back(value);
      q = after;
    }
    if (row.empty()) raise(where() + ": " + quoted(p, e) + " holds no numbers.");
    if (m.rows() != 0 && row.size() != m.cols()) {
      raise(where() + " has " + std::to_string(row.size()) + " numbers where line 1 has " +
            std::to_string(m.cols()) + ".");
    }
    m.append_row(row);
    p = nl != nullptr ? nl + 1 : end;
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

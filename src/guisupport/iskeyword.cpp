#include "guisupport/iskeyword.hpp"

#include <algorithm>

namespace dg {

bool iskeyword(std::string_view s) {
  return std::find(kReservedWords.begin(), kReservedWords.end(), s) != kReservedWords.end();
}

bool iskeyword(const Value& s) {
  return s.is_char() && s.chars().rows.size() == 1 &&
         iskeyword(std::string_view(s.chars().rows.front()));
}

const Value& iskeyword() {
  static const Value words = [] {
    Cell cell{kReservedWords.size(), 1, {}};
    for (std::string_view word : kReservedWords) cell.items.emplace_back(word);
    return Value(std::move(cell));
  }();
  return words;
}

}  // namespace dg

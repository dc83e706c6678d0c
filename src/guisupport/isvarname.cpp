#include "guisupport/isvarname.hpp"

#include "guisupport/iskeyword.hpp"

namespace dg {
namespace {

bool is_letter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

}  // namespace

bool isvarname(std::string_view s) {
  if (s.empty() || s.size() > kMaxNameLength || !is_letter(s.front())) return false;
  for (char c : s) {
    if (!is_letter(c) && c != '_' && !(c >= '0' && c <= '9')) return false;
  }
  return !iskeyword(s);
}

bool isvarname(const Value& s) {
  return s.is_char() && s.chars().rows.size() == 1 &&
         isvarname(std::string_view(s.chars().rows.front()));
}

}  // namespace dg

// The lexer of TPS text, shared by the reader and the file check so that
// both see the same keywords, counts, numbers and values: character classes,
// the keywords (LM=, LM3=, SCALE=, ID=, IMAGE=, COMMENT=, VARIABLES=, CURVES=,
// POINTS=, in any letter case, each starting its line), a keyword's count and
// value, numbers that fill their token and the NA mark. Nothing here raises.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#include "input/text_input.hpp"

namespace dg::tps {

// Larger counts cannot be met by any file; the bound keeps 2 * count exact.
inline constexpr double kMaxCount = 1e12;
inline constexpr std::size_t kExcerptLength = 40;
// Differing LM= counts are listed one by one up to this many, then summed up.
inline constexpr std::size_t kListedMismatches = 3;
inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

inline bool is_space(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

inline bool is_letter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

inline const char* skip_space(const char* p, const char* end) {
  while (p != end && is_space(*p)) ++p;
  return p;
}

// A number that fills its whole white-space separated token, so that "12abc"
// or "INFO=" are text, not numbers. Returns its end or nullptr.
inline const char* number_token(const char* p, const char* end, double& value) {
  const char* e = parse_number(p, end, value);
  if (e == nullptr || (e != end && !is_space(*e))) return nullptr;
  return e;
}

// Whether the token at p is NA, the usual mark of a missing value.
inline bool na_token(const char* p, const char* end) {
  return end - p >= 2 && p[0] == 'N' && p[1] == 'A' && (end - p == 2 || is_space(p[2]));
}

enum class Key { None, Lm, Lm3, Scale, Id, Image, Comment, Variables, Curves, Points };

// LM= and LM3= (x y z per landmark) both start a specimen.
inline bool starts_specimen(Key key) {
  return key == Key::Lm || key == Key::Lm3;
}

// The first letter of the keyword whose '=' is at eq, an LM= or LM3= keyword.
inline const char* keyword_start(const char* eq) {
  return eq[-1] == '3' ? eq - 3 : eq - 2;
}

// A keyword's letters in lower case, its last letter in the lowest byte
// (only its last eight letters are kept).
consteval std::uint64_t packed(std::string_view word) {
  std::uint64_t v = 0;
  for (char c : word.substr(word.size() > 8 ? word.size() - 8 : 0)) {
    v = v << 8 | static_cast<unsigned char>(c);
  }
  return v;
}

// The keyword whose '=' is at eq: the letters before it, in any letter case,
// as a whole word that starts its line after optional blanks; LM3= is the one
// keyword with a digit. "LLM=", "ALM=", "LM3D=" and "LM =" are no keywords,
// nor is the second word of "IMAGE=IMAGE=".
// Every '=' of a file comes here, so the word is compared as one number.
inline Key keyword_at(const char* eq, const char* begin) {
  constexpr std::ptrdiff_t kLongest = 9;  // "variables"
  if (eq - begin >= 3 && eq[-1] == '3' && (eq[-2] | 0x20) == 'm' && (eq[-3] | 0x20) == 'l') {
    const char* s = eq - 3;
    while (s != begin && (s[-1] == ' ' || s[-1] == '\t')) --s;
    return s == begin || s[-1] == '\n' || s[-1] == '\r' ? Key::Lm3 : Key::None;
  }
  std::uint64_t last8 = 0;
  char first = 0;
  std::ptrdiff_t length = 0;
  for (const char* w = eq; w != begin && is_letter(w[-1]); --w, ++length) {
    if (length == kLongest) return Key::None;
    const auto c = static_cast<unsigned char>(w[-1] | 0x20);
    if (length < 8) {
      last8 |= std::uint64_t{c} << (8 * length);
    } else {
      first = static_cast<char>(c);
    }
  }
  if (length < 2) return Key::None;
  const char* s = eq - length;
  while (s != begin && (s[-1] == ' ' || s[-1] == '\t')) --s;
  if (s != begin && s[-1] != '\n' && s[-1] != '\r') return Key::None;
  switch (length) {
    case 2:
      return last8 == packed("lm") ? Key::Lm : last8 == packed("id") ? Key::Id : Key::None;
    case 5:
      return last8 == packed("scale")   ? Key::Scale
             : last8 == packed("image") ? Key::Image
                                        : Key::None;
    case 6:
      return last8 == packed("curves")   ? Key::Curves
             : last8 == packed("points") ? Key::Points
                                         : Key::None;
    case 7:
      return last8 == packed("comment") ? Key::Comment : Key::None;
    case 9:
      return first == 'v' && last8 == packed("variables") ? Key::Variables : Key::None;
    default:
      return Key::None;
  }
}

// The '=' of the first LM= keyword at or after `from`, or nullptr.
inline const char* next_lm(const char* from, const char* end, const char* begin) {
  for (const char* p = from; p != end; ++p) {
    p = static_cast<const char*>(std::memchr(p, '=', end - p));
    if (p == nullptr) return nullptr;
    if (starts_specimen(keyword_at(p, begin))) return p;
  }
  return nullptr;
}

// The rest of the keyword's line, without blanks, tabs and CR at either end.
inline std::string_view value_after(const char* eq, const char* end) {
  const char* s = eq + 1;
  const char* e = line_end(s, end);
  while (s != e && (*s == ' ' || *s == '\t')) ++s;
  while (e != s && (e[-1] == ' ' || e[-1] == '\t')) --e;
  return {s, static_cast<std::size_t>(e - s)};
}

inline std::string landmarks_text(std::size_t n) {
  return n == 1 ? "landmark" : std::to_string(n) + " landmarks";
}

inline std::string points_text(std::size_t n) {
  return std::to_string(n) + (n == 1 ? " point" : " points");
}

// A count after a keyword: a whole number from 0 to kMaxCount. Returns its end
// or nullptr.
inline const char* read_count(const char* p, const char* end, std::size_t& count) {
  double value = 0;
  const char* e = parse_number(p, end, value);
  if (e == nullptr || !(value >= 0 && value <= kMaxCount && std::floor(value) == value)) {
    return nullptr;
  }
  count = static_cast<std::size_t>(value);
  return e;
}

// The start of the last line in [b, e) that follows a whole line end (a CR at
// e - 1 may still be the first half of CR LF), or b.
inline const char* last_line_start(const char* b, const char* e) {
  for (const char* p = e - 1; p > b; --p) {
    if (p[-1] == '\n' || (p[-1] == '\r' && *p != '\n')) return p;
  }
  return b;
}

// Whether [b, e), the start of a line that goes on beyond e, may yet start a
// keyword whose '=' lies beyond e: blanks, then no more letters than a
// keyword has, or LM3 without its '='. Any other line holds no keyword
// after e, since a keyword starts its line.
inline bool keyword_may_follow(const char* b, const char* e) {
  while (b != e && (*b == ' ' || *b == '\t')) ++b;
  const char* w = b;
  while (w != e && is_letter(*w)) ++w;
  if (w == e) return w - b <= 9;  // "variables"
  return w - b == 2 && *w == '3' && w + 1 == e && (b[0] | 0x20) == 'l' && (b[1] | 0x20) == 'm';
}

}  // namespace dg::tps

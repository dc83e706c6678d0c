#include "runtime/array/excerpt.hpp"

namespace dg {

std::size_t utf8_length(std::string_view s, std::size_t i) {
  const auto at = [&](std::size_t j) { return static_cast<unsigned char>(s[j]); };
  const unsigned char lead = at(i);
  std::size_t n = 0;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    n = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    n = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    n = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  }
  if (n == 0 || s.size() - i < n) return 0;
  if (at(i + 1) < low || at(i + 1) > high) return 0;
  for (std::size_t j = 2; j < n; ++j) {
    if ((at(i + j) & 0xC0) != 0x80) return 0;
  }
  return n;
}

std::string escape_bytes(std::string_view text, bool controls) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80 && !(controls && (c < 0x20 || c == 0x7F))) {
      out += static_cast<char>(c);
      ++i;
    } else if (const std::size_t n = c >= 0x80 ? utf8_length(text, i) : 0; n != 0) {
      out.append(text, i, n);
      i += n;
    } else {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
      ++i;
    }
  }
  return out;
}

std::string excerpt(const char* begin, const char* end, std::size_t limit) {
  std::string_view text(begin, static_cast<std::size_t>(end - begin));
  const bool cut = text.size() > limit;
  if (cut) text = text.substr(0, limit);
  return "\"" + escape_bytes(text, true) + (cut ? "...\"" : "\"");
}

}  // namespace dg

#include "input/excerpt.hpp"

#include <string_view>

namespace dg {
namespace {

// The length of the valid UTF-8 sequence at the start of s (2 to 4), or 0.
std::size_t utf8_length(std::string_view s) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char lead = byte(0);
  std::size_t n = 0;
  if (lead >= 0xC2 && lead <= 0xDF) n = 2;
  if (lead >= 0xE0 && lead <= 0xEF) n = 3;
  if (lead >= 0xF0 && lead <= 0xF4) n = 4;
  if (n == 0 || s.size() < n) return 0;
  for (std::size_t i = 1; i < n; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
  }
  return n;
}

}  // namespace

std::string excerpt(const char* begin, const char* end, std::size_t limit) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string_view text(begin, static_cast<std::size_t>(end - begin));
  const bool cut = text.size() > limit;
  if (cut) text = text.substr(0, limit);
  std::string out(1, '"');
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
      ++i;
    } else if (const std::size_t n = c >= 0x80 ? utf8_length(text.substr(i)) : 0; n != 0) {
      out.append(text, i, n);
      i += n;
    } else {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
      ++i;
    }
  }
  out += cut ? "...\"" : "\"";
  return out;
}

}  // namespace dg

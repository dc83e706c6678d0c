// Small pieces shared by the text readers: reading one number from a byte
// range. Files are read whole with read_whole_file, or in pieces with
// InputFile (runtime/array/file_io.hpp).
#pragma once

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <system_error>

#include <fast_float/fast_float.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "runtime/array/file_io.hpp"

namespace dg {

namespace detail {

// The eight-digit words are read with their first byte lowest.
static_assert(std::endian::native == std::endian::little);

inline bool is_digit(char c) {
  return static_cast<unsigned char>(c - '0') < 10;
}

// The value of the eight digits of a word, each byte less '0', the first
// digit lowest: pairs, then fours, then all eight, each step a multiply and
// a mask.
inline std::uint64_t eight_digits(std::uint64_t less) {
  std::uint64_t v = (less * 10 + (less >> 8)) & 0x00FF00FF00FF00FF;
  v = (v * 100 + (v >> 16)) & 0x0000FFFF0000FFFF;
  return (v * 10000 + (v >> 32)) & 0xFFFFFFFF;
}

// Adds the digits at p to m and returns the end of the digits. Where eight
// bytes are at hand they are read as one word, and a run that ends inside it
// is taken at once.
inline const char* add_digits(const char* p, const char* end, std::uint64_t& m) {
  static constexpr std::uint64_t kScale[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000};
  while (end - p >= 8) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    // A byte is a digit exactly when neither it less '0' nor it plus 0x46
    // reaches 0x80; the lowest byte that is not sees no carry from below.
    const std::uint64_t less = word - 0x3030303030303030;
    const std::uint64_t other = (less | (word + 0x4646464646464646)) & 0x8080808080808080;
    if (other == 0) {
      m = m * 100000000 + eight_digits(less);
      p += 8;
      continue;
    }
    // The n digits before the first other byte, moved to the word's top so
    // that the bytes below them read as leading zeros.
    const auto n = static_cast<unsigned>(std::countr_zero(other)) / 8;
    if (n != 0) m = m * kScale[n] + eight_digits(less << (64 - 8 * n));
    return p + n;
  }
  for (; p != end && is_digit(*p); ++p) m = m * 10 + static_cast<std::uint64_t>(*p - '0');
  return p;
}

// The common form of a coordinate, [-]digits[.digits] with no exponent, at
// most 19 digits, a value below 2^53 and at most 22 digits after the point:
// then the digits m and 10^k are both doubles exactly, and m / 10^k, one
// correctly rounded division, is the correctly rounded value of the text,
// the very double a full decimal reader gives. Returns nullptr for any other
// text, which the full reader then takes.
inline const char* parse_plain_decimal(const char* p, const char* end, double& value) {
  static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                       1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  const bool negative = *p == '-';
  const char* q = p + (negative ? 1 : 0);
  const char* digits = q;
  std::uint64_t m = 0;
  q = add_digits(q, end, m);
  std::size_t n = static_cast<std::size_t>(q - digits);
  if (n == 0) return nullptr;
  std::size_t k = 0;
  if (q != end && *q == '.') {
    const char* fraction = ++q;
    q = add_digits(q, end, m);
    k = static_cast<std::size_t>(q - fraction);
    if (k == 0) return nullptr;
    n += k;
  }
  if (n > 19 || k > 22 || m > (std::uint64_t{1} << 53)) return nullptr;
  if (q != end && (*q == 'e' || *q == 'E')) return nullptr;
  const double v = static_cast<double>(m) / kPowers[k];
  value = negative ? -v : v;
  return q;
}

}  // namespace detail

// Reads a number at p: an optional sign ("+" included), digits, a decimal point
// and an exponent, or nan / inf in any letter case. Returns the end of the
// number, or nullptr when no number starts at p. Overflow gives +-inf.
inline const char* parse_number(const char* p, const char* end, double& value) {
  if (p != end && *p == '+') {
    ++p;
    if (p == end || *p == '-' || *p == '+') return nullptr;
  }
  if (p == end) return nullptr;
  if (const char* e = detail::parse_plain_decimal(p, end, value)) return e;
  const auto result = fast_float::from_chars(p, end, value);
  if (result.ec != std::errc() && result.ec != std::errc::result_out_of_range) return nullptr;
  return result.ptr;
}

// The factor of a SCALE= line: its value, white space around it aside, as one
// finite number that starts with a digit, a sign or a decimal point. False
// for anything else.
inline bool parse_scale(std::string_view value, double& factor) {
  const auto space = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
  while (!value.empty() && space(value.front())) value.remove_prefix(1);
  while (!value.empty() && space(value.back())) value.remove_suffix(1);
  if (value.empty()) return false;
  const char c = value.front();
  if (!((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.')) return false;
  const char* end = value.data() + value.size();
  double v = 0;
  if (parse_number(value.data(), end, v) != end || !std::isfinite(v)) return false;
  factor = v;
  return true;
}

// Whether the number text [p, e) that read as +-inf overflowed a double
// (1e999), rather than naming infinity itself.
inline bool overflows(const char* p, const char* e) {
  for (; p != e; ++p) {
    if (*p == 'i' || *p == 'I') return false;
  }
  return true;
}

// How many LF bytes lie in [p, e), and whether a CR is among them. Readers
// count lines as they go, so this runs over every byte of a file; sixteen at
// a time it costs little.
inline std::size_t count_lf(const char* p, const char* e, bool& saw_cr) {
  std::size_t n = 0;
  saw_cr = false;
#if defined(__SSE2__)
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i cr = _mm_set1_epi8('\r');
  __m128i crs = _mm_setzero_si128();
  while (e - p >= 16) {
    // Each byte lane counts up to 255 line feeds before the lanes are summed.
    const std::ptrdiff_t rounds = std::min<std::ptrdiff_t>((e - p) / 16, 255);
    __m128i lanes = _mm_setzero_si128();
    for (std::ptrdiff_t i = 0; i < rounds; ++i, p += 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      lanes = _mm_sub_epi8(lanes, _mm_cmpeq_epi8(v, lf));
      crs = _mm_or_si128(crs, _mm_cmpeq_epi8(v, cr));
    }
    const __m128i sums = _mm_sad_epu8(lanes, _mm_setzero_si128());
    n += static_cast<std::size_t>(_mm_cvtsi128_si32(sums)) +
         static_cast<std::size_t>(_mm_extract_epi16(sums, 4));
  }
  saw_cr = _mm_movemask_epi8(crs) != 0;
#endif
  for (; p != e; ++p) {
    n += *p == '\n' ? 1 : 0;
    saw_cr = saw_cr || *p == '\r';
  }
  return n;
}

// Lines end at LF, CR LF or a lone CR.
// The first line end (LF or CR) at or after p, or `end`.
inline const char* line_end(const char* p, const char* end) {
  while (p != end && *p != '\n' && *p != '\r') ++p;
  return p;
}

// Past the line end at p (CR LF counts as one); p itself at the end of the text.
inline const char* past_line_end(const char* p, const char* end) {
  if (p == end) return p;
  if (*p == '\r' && p + 1 != end && p[1] == '\n') return p + 2;
  return p + 1;
}

// How many line ends lie in [p, e); a CR directly before an LF is not counted
// (it ends its line together with that LF). `end` is the end of the text.
inline std::size_t count_line_ends(const char* p, const char* e, const char* end) {
  bool saw_cr = false;
  std::size_t n = count_lf(p, e, saw_cr);
  while (saw_cr && (p = static_cast<const char*>(std::memchr(p, '\r', e - p))) != nullptr) {
    if (p + 1 == end || p[1] != '\n') ++n;
    ++p;
  }
  return n;
}

// The text without a UTF-8 byte-order mark at its start.
inline std::string_view skip_byte_order_mark(std::string_view text) {
  if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  return text;
}

}  // namespace dg

#include "runtime/array/format.hpp"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "runtime/array/error.hpp"

namespace dg {
namespace {

struct Conversion {
  std::string flags;
  int width = -1;
  int precision = -1;
  char conversion = 0;
};

// Reads one conversion starting just behind its '%'; returns the position
// behind the conversion letter.
std::size_t parse_conversion(std::string_view format, std::size_t pos, Conversion& conv) {
  while (pos < format.size() &&
         std::string_view("-+ 0#").find(format[pos]) != std::string_view::npos) {
    conv.flags += format[pos++];
  }
  auto read_number = [&](int& into) {
    if (pos < format.size() && format[pos] >= '0' && format[pos] <= '9') {
      into = 0;
      while (pos < format.size() && format[pos] >= '0' && format[pos] <= '9') {
        into = into * 10 + (format[pos++] - '0');
      }
    }
  };
  read_number(conv.width);
  if (pos < format.size() && format[pos] == '.') {
    ++pos;
    conv.precision = 0;
    read_number(conv.precision);
  }
  if (pos >= format.size())
    raise("The format \"" + std::string(format) + "\" ends inside a conversion.");
  conv.conversion = format[pos];
  if (std::string_view("gGfFeEdicsu").find(conv.conversion) == std::string_view::npos) {
    raise("The format \"" + std::string(format) + "\" has the unsupported conversion %" +
          std::string(1, conv.conversion) + ".");
  }
  return pos + 1;
}

void pad(std::string& out, std::string_view text, const Conversion& conv) {
  std::size_t width = conv.width > 0 ? static_cast<std::size_t>(conv.width) : 0;
  if (text.size() >= width) {
    out += text;
  } else if (conv.flags.find('-') != std::string::npos) {
    out += text;
    out.append(width - text.size(), ' ');
  } else {
    out.append(width - text.size(), ' ');
    out += text;
  }
}

void format_number(std::string& out, const Conversion& conv, double value) {
  char conversion = conv.conversion;
  if (!std::isfinite(value)) {
    std::string text = non_finite_text(value);
    if (!std::isnan(value) && value > 0 && conv.flags.find('+') != std::string::npos) text = "+Inf";
    pad(out, text, conv);
    return;
  }
  if (conversion == 'c' || conversion == 's') {
    if (value >= 0 && value < 256 && std::floor(value) == value) {
      pad(out, std::string(1, static_cast<char>(value)), conv);
      return;
    }
    conversion = 'g';
  }
  Conversion s = conv;
  if (conversion == 'd' || conversion == 'i' || conversion == 'u') {
    // A fraction under an integer conversion is written in exponent form.
    if (std::floor(value) != value) {
      conversion = 'e';
    } else {
      conversion = 'f';
      s.precision = 0;
    }
  }
  if (conversion == 'g' && s.flags.empty() && s.width < 0 && s.precision < 0) {
    append_g(out, value);
    return;
  }
  std::string c_format = "%" + s.flags;
  if (s.width >= 0) c_format += std::to_string(s.width);
  if (s.precision >= 0) c_format += "." + std::to_string(s.precision);
  c_format += conversion;
  char buffer[512];
  int n = std::snprintf(buffer, sizeof buffer, c_format.c_str(), value);
  if (n < 0) raise("The number could not be formatted with \"" + c_format + "\".");
  if (static_cast<std::size_t>(n) < sizeof buffer) {
    out.append(buffer, static_cast<std::size_t>(n));
  } else {
    std::vector<char> big(static_cast<std::size_t>(n) + 1);
    std::snprintf(big.data(), big.size(), c_format.c_str(), value);
    out.append(big.data(), static_cast<std::size_t>(n));
  }
}

void format_text(std::string& out, const Conversion& conv, std::string_view text) {
  if (conv.conversion == 's' || conv.conversion == 'c') {
    std::string_view shown = text;
    if (conv.conversion == 's' && conv.precision >= 0 &&
        static_cast<std::size_t>(conv.precision) < text.size()) {
      shown = text.substr(0, static_cast<std::size_t>(conv.precision));
    }
    pad(out, shown, conv);
    return;
  }
  // A text under a numeric conversion writes its character codes.
  for (unsigned char ch : text) format_number(out, conv, ch);
}

}  // namespace

namespace {

__extension__ typedef unsigned __int128 Uint128;

// A power of ten as mantissa * 2^(exponent - 63), the mantissa holding the
// leading 64 bits of the exact value (so it is never above it, and falls
// short by less than 2^-63 of the value).
struct PowerOfTen {
  std::uint64_t mantissa;
  int exponent;
};

// write_g scales a value by 10^(5 - e), e its decimal exponent, from about
// 1.8e308 (e = 308) down to the least subnormal 4.9e-324 (e = -324), and
// compares it with 10^(e + 1).
constexpr int kMinScale = -325;
constexpr int kMaxScale = 331;

// The powers of ten for every scale, worked out when compiling: starting from
// one, a 224-bit mantissa is multiplied or divided by ten step by step, and
// each step drops only bits far below the 64 kept.
constexpr std::array<PowerOfTen, kMaxScale - kMinScale + 1> make_powers_of_ten() {
  std::array<PowerOfTen, kMaxScale - kMinScale + 1> table{};
  constexpr int kLimbs = 7;  // 32 bits each, most significant first
  using Limbs = std::array<std::uint64_t, kLimbs>;
  auto store = [&](int scale, const Limbs& limbs, int exponent) {
    table[static_cast<std::size_t>(scale - kMinScale)] = {(limbs[0] << 32) | limbs[1], exponent};
  };
  // Upwards: value = limbs * 2^(exponent - 223), the top limb's top bit set.
  Limbs limbs{};
  limbs[0] = 0x80000000u;
  int exponent = 0;
  store(0, limbs, exponent);
  for (int scale = 1; scale <= kMaxScale; ++scale) {
    std::uint64_t carry = 0;
    for (int i = kLimbs - 1; i >= 0; --i) {
      std::uint64_t t = limbs[static_cast<std::size_t>(i)] * 10 + carry;
      limbs[static_cast<std::size_t>(i)] = t & 0xffffffffu;
      carry = t >> 32;
    }
    int shift = 0;  // the carry's width: 1 to 4 bits
    while ((carry >> shift) != 0) ++shift;
    for (int i = kLimbs - 1; i > 0; --i) {
      limbs[static_cast<std::size_t>(i)] =
          ((limbs[static_cast<std::size_t>(i)] >> shift) |
           (limbs[static_cast<std::size_t>(i - 1)] << (32 - shift))) &
          0xffffffffu;
    }
    limbs[0] = ((limbs[0] >> shift) | (carry << (32 - shift))) & 0xffffffffu;
    exponent += shift;
    store(scale, limbs, exponent);
  }
  // Downwards: each division by ten leaves three or four leading zero bits,
  // refilled from the continued quotient.
  limbs = Limbs{};
  limbs[0] = 0x80000000u;
  exponent = 0;
  for (int scale = -1; scale >= kMinScale; --scale) {
    std::uint64_t remainder = 0;
    for (std::size_t i = 0; i < kLimbs; ++i) {
      std::uint64_t t = (remainder << 32) | limbs[i];
      limbs[i] = t / 10;
      remainder = t % 10;
    }
    int shift = 0;
    while ((limbs[0] << shift & 0x80000000u) == 0) ++shift;
    for (std::size_t i = 0; i + 1 < kLimbs; ++i) {
      limbs[i] = ((limbs[i] << shift) | (limbs[i + 1] >> (32 - shift))) & 0xffffffffu;
    }
    limbs[kLimbs - 1] = ((limbs[kLimbs - 1] << shift) | ((remainder << shift) / 10)) & 0xffffffffu;
    exponent -= shift;
    store(scale, limbs, exponent);
  }
  return table;
}

constexpr auto kPowersOfTen = make_powers_of_ten();

// "00" "01" ... "99": two digits at a time.
constexpr std::array<char, 200> kDigitPairs = [] {
  std::array<char, 200> pairs{};
  for (std::size_t i = 0; i < 100; ++i) {
    pairs[2 * i] = static_cast<char>('0' + i / 10);
    pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
  }
  return pairs;
}();

// "000" "001" ... "999" as words, the first character in the lowest byte.
constexpr std::array<std::uint32_t, 1000> kDigitTriples = [] {
  std::array<std::uint32_t, 1000> triples{};
  for (std::uint32_t i = 0; i < 1000; ++i) {
    triples[i] = ('0' + i / 100) | ('0' + i / 10 % 10) << 8 | ('0' + i % 10) << 16;
  }
  return triples;
}();

// The digit words below are stored as they are, first character first.
static_assert(std::endian::native == std::endian::little);

// six_digits finds the six significant digits of a normal magnitude, rounded
// as printf rounds the value's exact decimal expansion, and the decimal
// exponent e of the first, by scaling the value by 10^(5 - e); a value too
// near a rounding tie (an exact tie such as 1234565 among them) to be decided
// from the scaled value is left to the exact path: false then.

// 10^-4 to 10^10 as doubles, those from 10^0 on exact, the others the
// nearest doubles (each above the power).
constexpr std::array<double, 15> kExactPowers = {1e-4, 1e-3, 1e-2, 1e-1, 1e0, 1e1, 1e2, 1e3,
                                                 1e4,  1e5,  1e6,  1e7,  1e8, 1e9, 1e10};

// six_digits for 2^-16 <= magnitude < 2^17, where most values fall: the
// value times 10^(5 - e) in double precision, the power being exact, which
// is one rounding off the exact product, under 2^-33 for a product under
// 10^6. So the nearest integer is the exact product's unless the product
// is within 2^-30 of a half; those are left to the exact path: false then.
bool six_digits_common(std::uint64_t magnitude, int binary, int& exponent, std::uint32_t& digits) {
  double value = std::bit_cast<double>(magnitude);
  // floor(binary * log10(2)) is the decimal exponent or one less (from -5 to
  // 4 here); one less when the value reaches the next power of ten. The
  // doubles 1e-4 to 1e-1 are above the powers they stand for, so the double
  // comparison is exact. The outcome picks the scale by index rather than by
  // a branch, as it varies from value to value.
  int e = (binary * 315653) >> 20;
  e += value >= kExactPowers[static_cast<std::size_t>(e + 1 + 4)] ? 1 : 0;
  double scaled = value * kExactPowers[static_cast<std::size_t>(5 - e + 4)];
  // The nearest integer (ties to even, the ties themselves set apart below):
  // adding and taking away 2^52 drops the fraction.
  double nearest = (scaled + 0x1p52) - 0x1p52;
  if (std::fabs(scaled - nearest) > 0.5 - 0x1p-30) return false;
  auto whole = static_cast<std::uint32_t>(nearest);
  if (whole == 1000000) {
    whole = 100000;
    ++e;
  }
  digits = whole;
  exponent = e;
  return true;
}

// six_digits for any other normal magnitude, = mantissa * 2^(binary - 63),
// mantissa's top bit set, scaled in 128-bit fixed point: the scaled value is
// off by less than 2^-37, so only a value within 2^-36 of a tie is left to
// the exact path. Kept out of line, as the rest of the rare work is, so that
// the common path needs fewer registers.
[[gnu::noinline]] bool six_digits_wide(std::uint64_t mantissa, int binary, int& exponent,
                                       std::uint32_t& digits) {
  // floor(binary * log10(2)), exact over the whole range, is the decimal
  // exponent or one less: one less when the value reaches the next power of
  // ten (whose table mantissa is its leading bits, so a value equal to it
  // counts too). The comparison and both candidate scales are loaded at once
  // and the scale is then selected without a branch (the outcome varies from
  // value to value), which keeps one table read off the path to the digits.
  int e = (binary * 315653) >> 20;
  const PowerOfTen& next = kPowersOfTen[static_cast<std::size_t>(e + 1 - kMinScale)];
  const PowerOfTen& below = kPowersOfTen[static_cast<std::size_t>(5 - e - kMinScale)];
  const PowerOfTen& above = kPowersOfTen[static_cast<std::size_t>(4 - e - kMinScale)];
  bool reaches =
      (binary > next.exponent) | ((binary == next.exponent) & (mantissa >= next.mantissa));
  e += reaches ? 1 : 0;
  // (Masks rather than a conditional, which compilers turn into a branch.)
  std::uint64_t pick = 0 - std::uint64_t{reaches};
  std::uint64_t power_mantissa = below.mantissa ^ ((below.mantissa ^ above.mantissa) & pick);
  int power_exponent =
      below.exponent ^ ((below.exponent ^ above.exponent) & static_cast<int>(pick));
  // The scaled value is high * 2^-(62 - binary - power_exponent), the low
  // half adding less than one unit of its last bit; being from 10^5 to 10^6,
  // that makes 43 to 47 fraction bits. Shifted to 43 of them (dropping bits
  // under 2^-43) the tests below take constant masks. The result is off by
  // less than 2^-37.
  Uint128 product = static_cast<Uint128>(mantissa) * power_mantissa;
  auto high = static_cast<std::uint64_t>(product >> 64);
  std::uint64_t scaled = high >> (19 - binary - power_exponent);
  constexpr int kFractionBits = 43;
  std::uint64_t whole = scaled >> kFractionBits;
  std::uint64_t rest = scaled & ((std::uint64_t{1} << kFractionBits) - 1);
  constexpr std::uint64_t half = std::uint64_t{1} << (kFractionBits - 1);
  constexpr std::uint64_t hair = std::uint64_t{1} << (kFractionBits - 36);
  if (rest - half + hair <= 2 * hair) return false;
  whole += rest > half ? 1 : 0;
  // Just under a power of ten the scaled value falls a hair short of 100000;
  // anything else out of range is left to the exact path.
  if (whole < 100000 || whole > 1000000) return false;
  if (whole == 1000000) {
    whole = 100000;
    ++e;
  }
  digits = static_cast<std::uint32_t>(whole);
  exponent = e;
  return true;
}

// The six significant digits of a normal magnitude and the decimal exponent
// of the first; false for the near-ties left to the exact path.
bool six_digits(std::uint64_t magnitude, int& exponent, std::uint32_t& digits) {
  int binary = static_cast<int>(magnitude >> 52) - 1023;
  if (binary >= -16 && binary <= 16) return six_digits_common(magnitude, binary, exponent, digits);
  return six_digits_wide(magnitude << 11 | std::uint64_t{1} << 63, binary, exponent, digits);
}

// Zero, infinities, NaN, and through to_chars, which rounds the exact binary
// value as printf does, subnormals and the near-ties.
[[gnu::noinline]] char* write_g_rare(char* out, double value) {
  if (!std::isfinite(value)) {
    const char* text = non_finite_text(value);
    std::size_t n = std::strlen(text);
    std::memcpy(out, text, n);
    return out + n;
  }
  if (value == 0) {
    if (std::signbit(value)) *out++ = '-';
    *out = '0';
    return out + 1;
  }
  return std::to_chars(out, out + kMaxG, value, std::chars_format::general, 6).ptr;
}

}  // namespace

std::string short_number(double value) {
  return sprintf("%.3g", value);
}

const char* non_finite_text(double value) {
  return std::isnan(value) ? "NaN" : (value < 0 ? "-Inf" : "Inf");
}

char* write_g(char* out, double value) {
  std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
  std::uint64_t magnitude = bits & ~(std::uint64_t{1} << 63);
  // Zero, subnormals, infinities and NaN, all rare, are set apart by one test.
  constexpr std::uint64_t kLeastNormal = std::uint64_t{1} << 52;
  constexpr std::uint64_t kInfinity = std::uint64_t{0x7ff} << 52;
  if (magnitude - kLeastNormal >= kInfinity - kLeastNormal) return write_g_rare(out, value);
  int exponent = 0;
  std::uint32_t digits = 0;
  if (!six_digits(magnitude, exponent, digits)) return write_g_rare(out, value);
  // The sign is written always and kept only for a negative value.
  *out = '-';
  out += bits >> 63;
  // The six digits as text in one word, the first in its lowest byte (so a
  // store writes them in order), its top two bytes zero. The two halves come from one
  // multiplication: digits * 2^32 / 1000 (the rounded-up factor is exact for every six-digit
  // number) holds the first three digits in its upper half and the rest as a binary fraction, which
  // times 1000 brings up the last three.
  std::uint64_t y = std::uint64_t{digits} * 4294968u;
  std::uint64_t text =
      kDigitTriples[y >> 32] | std::uint64_t{kDigitTriples[((y & 0xffffffffu) * 1000) >> 32]} << 24;
  // Less '0' in each of the six bytes, the highest byte not zero is the last
  // digit kept: trailing zeros are dropped. (__builtin_clzll: the word is
  // never zero, which std::countl_zero would test for.)
  auto kept =
      static_cast<int>(8 - static_cast<unsigned>(__builtin_clzll(text - 0x303030303030u)) / 8);
  // The stores below write whole words, past the end of the text too, which
  // the caller's kMaxG room allows.
  if (exponent >= -4 && exponent < 6) {
    // Without exponent, in two stores.
    // From 1 on: the first exponent + 1 digits, the point, the others moved
    // up one byte; the point is dropped with the digits behind it when all
    // of those are trailing zeros.
    int whole = exponent >= 0 ? exponent + 1 : 1;  // digits before the point: 1 to 6
    auto at = static_cast<unsigned>(8 * whole);
    std::uint64_t before = text & ((std::uint64_t{1} << at) - 1);
    std::uint64_t fixed = before | std::uint64_t{'.'} << at | (text ^ before) << 8;
    // Under 1: "0.000000" and the digits over it, behind the -exponent - 1
    // leading zeros.
    std::uint64_t zeros = 0;
    std::memcpy(&zeros, "0.000000", 8);
    bool small = exponent < 0;
    std::uint64_t first = small ? zeros : fixed;
    std::memcpy(out, &first, 8);
    std::memcpy(out + (small ? 1 - exponent : 8), &text, 8);
    return out + (small ? 1 - exponent + kept : (kept > whole ? kept + 1 : whole));
  }
  // With exponent: the first digit, the point and the others unless all are
  // trailing zeros, then e, the sign and two or three digits.
  std::uint64_t first =
      (text & 0xffu) | std::uint64_t{'.'} << 8 | (text & ~std::uint64_t{0xff}) << 8;
  std::memcpy(out, &first, 8);
  out += kept > 1 ? kept + 1 : 1;
  *out++ = 'e';
  *out++ = exponent < 0 ? '-' : '+';
  int e = exponent < 0 ? -exponent : exponent;
  if (e >= 100) {
    *out++ = static_cast<char>('0' + e / 100);
    e %= 100;
  }
  std::memcpy(out, &kDigitPairs[2 * static_cast<std::size_t>(e)], 2);
  return out + 2;
}

void append_g(std::string& out, double value) {
  char buffer[kMaxG];
  out.append(buffer, write_g(buffer, value));
}

std::string sprintf(std::string_view format, std::span<const FormatArg> args) {
  std::string out;
  std::size_t next = 0;
  while (true) {
    bool consumed = false;
    for (std::size_t pos = 0; pos < format.size();) {
      char ch = format[pos];
      if (ch != '%') {
        out += ch;
        ++pos;
        continue;
      }
      if (pos + 1 < format.size() && format[pos + 1] == '%') {
        out += '%';
        pos += 2;
        continue;
      }
      Conversion conv;
      std::size_t after = parse_conversion(format, pos + 1, conv);
      if (next >= args.size()) return out;
      const FormatArg& arg = args[next++];
      consumed = true;
      if (const double* number = std::get_if<double>(&arg)) {
        format_number(out, conv, *number);
      } else {
        format_text(out, conv, std::get<std::string_view>(arg));
      }
      pos = after;
    }
    if (!consumed || next >= args.size()) return out;
  }
}

std::string sprintf(std::string_view format, double value) {
  FormatArg arg = value;
  return sprintf(format, std::span<const FormatArg>(&arg, 1));
}

std::string sprintf(std::string_view format, std::span<const double> values) {
  std::vector<FormatArg> args(values.begin(), values.end());
  return sprintf(format, args);
}

std::string num2str(double value) {
  if (!std::isfinite(value)) return non_finite_text(value);
  if (std::floor(value) == value && std::fabs(value) < 1e15) return sprintf("%.0f", value);
  int digits = std::max(5, static_cast<int>(std::floor(std::log10(std::fabs(value)))) + 5);
  return sprintf("%." + std::to_string(std::min(digits, 17)) + "g", value);
}

}  // namespace dg

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

// The six significant digits of |value| (finite, not zero), rounded as printf
// rounds the value's exact decimal expansion, and the decimal exponent of the
// first. The value is scaled by 10^(5 - e) in 128-bit fixed point; the scaled
// value is off by less than 2^-38, so only a value within 2^-36 of a rounding
// tie (an exact tie such as 1234565 among them) is left to the exact path:
// false then.
bool six_digits(double magnitude, int& exponent, std::uint32_t& digits) {
  // magnitude = mantissa * 2^(binary - 63), mantissa's top bit set.
  std::uint64_t bits = std::bit_cast<std::uint64_t>(magnitude);
  int biased = static_cast<int>(bits >> 52);
  std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  std::uint64_t mantissa = 0;
  int binary = 0;
  if (biased != 0) {
    mantissa = (fraction | (std::uint64_t{1} << 52)) << 11;
    binary = biased - 1023;
  } else {
    int shift = std::countl_zero(fraction);
    mantissa = fraction << shift;
    binary = -1011 - shift;
  }
  // floor(binary * log10(2)), exact over the whole range, is the decimal
  // exponent or one less: one less when the value reaches the next power of
  // ten (whose table mantissa is its leading bits, so a value equal to it
  // counts too).
  int e = (binary * 315653) >> 20;
  const PowerOfTen& next = kPowersOfTen[static_cast<std::size_t>(e + 1 - kMinScale)];
  e += binary > next.exponent || (binary == next.exponent && mantissa >= next.mantissa) ? 1 : 0;
  const PowerOfTen& power = kPowersOfTen[static_cast<std::size_t>(5 - e - kMinScale)];
  // The scaled value is high * 2^-fraction_bits, and the low half adds less
  // than one unit of its last bit.
  Uint128 product = static_cast<Uint128>(mantissa) * power.mantissa;
  auto high = static_cast<std::uint64_t>(product >> 64);
  int fraction_bits = 62 - binary - power.exponent;
  std::uint64_t whole = high >> fraction_bits;
  std::uint64_t rest = high & ((std::uint64_t{1} << fraction_bits) - 1);
  std::uint64_t half = std::uint64_t{1} << (fraction_bits - 1);
  std::uint64_t hair = std::uint64_t{1} << (fraction_bits - 36);
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

}  // namespace

std::string short_number(double value) {
  return sprintf("%.3g", value);
}

const char* non_finite_text(double value) {
  return std::isnan(value) ? "NaN" : (value < 0 ? "-Inf" : "Inf");
}

char* write_g(char* out, double value) {
  if (!std::isfinite(value)) {
    const char* text = non_finite_text(value);
    std::size_t n = std::strlen(text);
    std::memcpy(out, text, n);
    return out + n;
  }
  int exponent = 0;
  std::uint32_t digits = 0;
  double magnitude = std::fabs(value);
  if (magnitude != 0 && !six_digits(magnitude, exponent, digits)) {
    return std::to_chars(out, out + kMaxG, value, std::chars_format::general, 6).ptr;
  }
  if (std::signbit(value)) *out++ = '-';
  if (magnitude == 0) {
    *out++ = '0';
    return out;
  }
  // The six digits, then zeros: the fixed-size copies below may read past the
  // sixth digit and write past the end, which the caller's kMaxG room allows.
  char d[16] = {};
  std::uint32_t rest = digits % 10000;
  std::memcpy(d, &kDigitPairs[2 * (digits / 10000)], 2);
  std::memcpy(d + 2, &kDigitPairs[2 * (rest / 100)], 2);
  std::memcpy(d + 4, &kDigitPairs[2 * (rest % 100)], 2);
  int last = 5;  // trailing zeros are dropped
  while (d[last] == '0') --last;
  if (exponent >= 0 && exponent < 6) {
    std::memcpy(out, d, 8);
    if (last <= exponent) return out + exponent + 1;
    out[exponent + 1] = '.';
    std::memcpy(out + exponent + 2, d + exponent + 1, 8);
    return out + last + 2;
  }
  if (exponent < 0 && exponent >= -4) {
    std::memcpy(out, "0.000000", 8);
    std::memcpy(out + 1 - exponent, d, 8);
    return out + 2 - exponent + last;
  }
  out[0] = d[0];
  out[1] = '.';
  std::memcpy(out + 2, d + 1, 8);
  out += last > 0 ? last + 2 : 1;
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

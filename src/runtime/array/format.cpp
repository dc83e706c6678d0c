#include "runtime/array/format.hpp"

#include <charconv>
#include <cmath>
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

// Exact powers of ten: every one up to 1e22 is a double without rounding.
constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                             1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The six significant digits of |value| and its decimal exponent, when one
// multiplication or division by an exact power of ten decides them safely:
// the product carries at most half a unit of rounding, so only a value within
// a hair of a rounding tie needs the slow exact path.
bool six_digits(double magnitude, int& exponent, long& digits) {
  // The binary exponent gives the decimal one to within one; the scaled value
  // tells which.
  int binary = 0;
  std::frexp(magnitude, &binary);
  int e = static_cast<int>(std::floor((binary - 1) * 0.30102999566398120));
  for (int attempt = 0; attempt < 3; ++attempt) {
    int shift = 5 - e;
    if (shift > 22 || shift < -22) return false;
    double m = shift >= 0 ? magnitude * kPow10[shift] : magnitude / kPow10[-shift];
    if (m < 1e5) {
      --e;
      continue;
    }
    if (m >= 1e6) {
      ++e;
      continue;
    }
    double whole = std::floor(m);
    double fraction = m - whole;
    if (std::fabs(fraction - 0.5) < 1e-7) return false;
    digits = static_cast<long>(whole) + (fraction > 0.5 ? 1 : 0);
    if (digits == 1000000) {
      digits = 100000;
      ++e;
    }
    exponent = e;
    return true;
  }
  return false;
}

}  // namespace

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
  long digits = 0;
  if (value == 0 || !six_digits(std::fabs(value), exponent, digits)) {
    return std::to_chars(out, out + kMaxG, value, std::chars_format::general, 6).ptr;
  }
  char d[6];
  for (int i = 5; i >= 0; --i, digits /= 10) d[i] = static_cast<char>('0' + digits % 10);
  int last = 5;  // trailing zeros are dropped
  while (last > 0 && d[last] == '0') --last;
  if (value < 0) *out++ = '-';
  if (exponent >= -4 && exponent < 6) {
    if (exponent < 0) {
      *out++ = '0';
      *out++ = '.';
      for (int i = 0; i < -exponent - 1; ++i) *out++ = '0';
      for (int i = 0; i <= last; ++i) *out++ = d[i];
    } else {
      for (int i = 0; i <= exponent; ++i) *out++ = d[i];
      if (last > exponent) {
        *out++ = '.';
        for (int i = exponent + 1; i <= last; ++i) *out++ = d[i];
      }
    }
    return out;
  }
  *out++ = d[0];
  if (last > 0) {
    *out++ = '.';
    for (int i = 1; i <= last; ++i) *out++ = d[i];
  }
  *out++ = 'e';
  *out++ = exponent < 0 ? '-' : '+';
  int e = std::abs(exponent);
  if (e >= 100) *out++ = static_cast<char>('0' + e / 100);
  *out++ = static_cast<char>('0' + e / 10 % 10);
  *out++ = static_cast<char>('0' + e % 10);
  return out;
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

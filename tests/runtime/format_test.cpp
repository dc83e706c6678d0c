#include "runtime/array/format.hpp"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iomanip>
#include <limits>
#include <vector>

#include "test_support.hpp"

namespace dg {
namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

TEST(FormatTest, PercentGWritesSixSignificantDigitsAndReadableNonFinite) {
  std::vector<double> values{0.5, 2, 1e-05, 123456, 1234567, kNaN, kInf, -kInf, -kNaN};
  EXPECT_EQ(sprintf("%g ", values), "0.5 2 1e-05 123456 1.23457e+06 NaN Inf -Inf NaN ");
}

TEST(FormatTest, FixedWidthCountsPadWithLeadingBlanks) {
  // " 12 Landmarks" and "  7 Samples" are checked in the window's data box.
  EXPECT_EQ(sprintf("%3.0f Samples", 1158.0), "1158 Samples");
  EXPECT_EQ(sprintf("%3.0f Samples", kNaN), "NaN Samples");
  EXPECT_EQ(sprintf("%5.1f|", -kInf), " -Inf|");
}

TEST(FormatTest, CyclesTheFormatAndStopsAtAConversionWithoutArgument) {
  std::vector<double> two{1, 2};
  EXPECT_EQ(sprintf("[%g]", two), "[1][2]");
  EXPECT_EQ(sprintf("a%gb%gc", std::span<const double>(two.data(), 1)), "a1b");
  EXPECT_EQ(sprintf("%g ", std::span<const double>{}), "");
  EXPECT_EQ(sprintf("Fell through case!  \n", std::span<const double>{}), "Fell through case!  \n");
  EXPECT_EQ(sprintf("100%%", std::span<const double>{}), "100%");
}

TEST(FormatTest, TextAndCharacterConversions) {
  std::vector<FormatArg> args{std::string_view("abc"), 65.0};
  EXPECT_EQ(sprintf("%s-%c", args), "abc-A");
  EXPECT_THROW_HAS(sprintf("%q", 1.0), "unsupported conversion %q");
}

TEST(FormatTest, Num2strGivesLabelsWithoutBlanks) {
  EXPECT_EQ(num2str(1), "1");
  EXPECT_EQ(num2str(12), "12");
  EXPECT_EQ(num2str(-3), "-3");
  EXPECT_EQ(num2str(0.5), "0.5");
  EXPECT_EQ(num2str(M_PI), "3.1416");
  EXPECT_EQ(num2str(kNaN), "NaN");
}

// Compares write_g with the C library's "%g" value by value and reports the
// first differences with the value's exact bits.
struct AgreesWithC {
  std::uint64_t checked = 0;
  int failures = 0;

  void operator()(double v) {
    if (!std::isfinite(v)) return;  // spelled as statistics programs read them, not as C does
    ++checked;
    char expected[64];
    int n = std::snprintf(expected, sizeof expected, "%g", v);
    char got[kMaxG];
    auto length = write_g(got, v) - got;
    if (length == n && std::memcmp(got, expected, static_cast<std::size_t>(n)) == 0) return;
    if (++failures <= 10) {
      ADD_FAILURE() << "value " << std::hexfloat << v << " (" << std::defaultfloat
                    << std::setprecision(17) << v << "): wrote \"" << std::string(got, got + length)
                    << "\", the C library \"" << expected << "\"";
    }
  }
  void both_signs(double v) {
    (*this)(v);
    (*this)(-v);
  }
  void with_neighbours(double v) {
    both_signs(v);
    both_signs(std::nextafter(v, 0.0));
    both_signs(std::nextafter(v, kInf));
  }
};

struct SplitMix {
  std::uint64_t state;
  std::uint64_t operator()() {
    std::uint64_t z = (state += 0x9e3779b97f4a7c15u);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
    return z ^ (z >> 31);
  }
};

double decimal(std::uint64_t digits, int exponent) {
  char text[48];
  int n = std::snprintf(text, sizeof text, "%llue%d", static_cast<unsigned long long>(digits),
                        exponent);
  double v = 0;
  std::from_chars(text, text + n, v);
  return v;
}

// Runs about 15 * rounds values past the check.
void check_against_c(AgreesWithC& check, std::uint64_t rounds, std::uint64_t seed) {
  SplitMix random{seed};
  for (std::uint64_t i = 0; i < rounds; ++i) {
    // Any finite bit pattern: every exponent, subnormals included.
    double bits = std::bit_cast<double>(random());
    if (std::isfinite(bits)) check(bits);
    // The nearest double to a decimal rounding tie d.ddddd5 * 10^e, anywhere
    // from 1e-324 to 1e308, and its neighbours: ties that are not exact.
    std::uint64_t six = 100000 + random() % 900000;
    int exponent = -330 + static_cast<int>(random() % 639);
    check.with_neighbours(decimal(six * 10 + 5, exponent));
    // An exact tie: (2d + 1) / 2 * 10^-q for a power q that keeps it a double.
    int q = -15 + static_cast<int>(random() % 25);
    std::uint64_t five = 1;
    for (int k = 0; k < (q < 0 ? -q : q); ++k) five *= 5;
    std::uint64_t odd = 2 * six + 1;
    if (q > 0) odd = (odd / five / 2 * 2 + 1) * five;  // a multiple of 5^q
    double tie = q > 0 ? static_cast<double>(odd / five) / std::ldexp(1.0, q + 1)
                       : static_cast<double>(odd * five) * std::ldexp(1.0, -q - 1);
    if (odd >= 200001 && odd < 2000000 && (q > 0 || odd * five < (std::uint64_t{1} << 53))) {
      check.with_neighbours(tie);
    }
    // Whole numbers up to 2^53, and the values a dataset holds.
    check(static_cast<double>(random() >> (11 + random() % 53)));
    check(std::ldexp(static_cast<double>(random() >> 11), -53) * 2000.0 - 1000.0);
  }
}

TEST(FormatTest, PercentGAgreesWithTheCLibraryAtEveryBinaryAndDecimalEdge) {
  AgreesWithC check;
  check.both_signs(0.0);
  check.with_neighbours(std::numeric_limits<double>::max());
  check.with_neighbours(std::numeric_limits<double>::min());
  check.with_neighbours(std::numeric_limits<double>::denorm_min());
  for (int b = -1074; b <= 1023; ++b) check.with_neighbours(std::ldexp(1.0, b));
  for (int e = -323; e <= 308; ++e) {
    check.with_neighbours(decimal(1, e));
    check.with_neighbours(decimal(9999995, e - 6));  // rounds up into the next decade
    check.with_neighbours(decimal(99999995, e - 7));
    check.with_neighbours(decimal(9999994999, e - 9));
  }
  for (double v : {1234565.0,     1234575.0,   123456.5,           123457.5,
                   0.5,           2.5,         10000.25,           0.000152587890625,
                   999999.5,      999998.5,    0.0000999999500000, 9.5367431640625e-07,
                   0.00009999995, 999999.4999, 9.999995,           2.5e-5,
                   1e22,          1e-22,       0.1 + 0.2,          100000.0,
                   999995.0,      99999.95}) {
    check.with_neighbours(v);
  }
  EXPECT_EQ(check.failures, 0);
}

TEST(FormatTest, PercentGAgreesWithTheCLibraryOnRandomValuesTiesAndNearTies) {
  AgreesWithC check;
  check_against_c(check, 250000, 20261207);
  EXPECT_GT(check.checked, 3500000u);
  EXPECT_EQ(check.failures, 0);
}

}  // namespace
}  // namespace dg

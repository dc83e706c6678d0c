#include "runtime/array/format.hpp"

#include <cmath>
#include <cstdio>
#include <iomanip>
#include <limits>
#include <random>
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

TEST(FormatTest, DatasetLineOfThreeValues) {
  std::vector<double> row{0.5, 2, 0.00001};
  EXPECT_EQ(sprintf("%g ", row) + sprintf(" \n", std::span<const double>{}), "0.5 2 1e-05  \n");
}

TEST(FormatTest, FixedWidthCountsPadWithLeadingBlanks) {
  EXPECT_EQ(sprintf("%3.0f Landmarks", 12.0), " 12 Landmarks");
  EXPECT_EQ(sprintf("%3.0f Samples", 7.0), "  7 Samples");
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

}  // namespace
}  // namespace dg

namespace dg {
namespace {

// The fast path must agree with the C library's %g for every value.
TEST(FormatTest, PercentGAgreesWithTheCLibraryAcrossMagnitudesAndTies) {
  std::mt19937_64 random(20261206);
  std::uniform_real_distribution<double> mantissa(1.0, 10.0);
  std::uniform_int_distribution<int> exponent(-30, 30);
  std::vector<double> values{0.0,           -0.0,     1e-5,        0.0001,
                             0.00009999995, 999999.5, 999999.4999, 9.999995,
                             1234565,       0.5,      2.5e-5,      123456.5,
                             1e22,          1e-22,    5e-324,      1.7976931348623157e308,
                             0.1 + 0.2,     100000,   999995,      99999.95};
  for (int i = 0; i < 200000; ++i) {
    double v = mantissa(random) * std::pow(10.0, exponent(random));
    values.push_back(i % 2 ? v : -v);
    // Ties at the seventh digit, the hardest case.
    values.push_back(std::round(v * 1e5 / std::pow(10.0, std::floor(std::log10(v)))) + 0.5);
  }
  for (double v : values) {
    char expected[64];
    std::snprintf(expected, sizeof expected, "%g", v);
    std::string got;
    append_g(got, v);
    ASSERT_EQ(got, expected) << "value " << std::setprecision(17) << v;
  }
}

}  // namespace
}  // namespace dg

#include "runtime/array/format.hpp"

#include <cmath>
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

#include "runtime/array/portable_math.hpp"

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

#include "test_support.hpp"

__extension__ typedef __float128 Quad;
extern "C" {
Quad logq(Quad);
Quad atan2q(Quad, Quad);
}

namespace dg {
namespace {

const double kInf = std::numeric_limits<double>::infinity();

// Random doubles of every size: random bits with the sign cleared, NaN and
// infinity left out.
double any_positive(std::mt19937_64& random) {
  for (;;) {
    const double v = std::bit_cast<double>(random() & 0x7fffffffffffffffULL);
    if (std::isfinite(v)) return v;
  }
}

// A few ulps from a boundary of log's table intervals (steps of 2^44 in the
// bits of the fraction, from 0.6884765625), at any exponent.
double near_log_step(std::mt19937_64& random) {
  const std::uint64_t step = random() % 256 << 44;
  const std::uint64_t bits = 0x3fe6080000000000ULL + step + random() % 64 - 32;
  return std::ldexp(std::bit_cast<double>(bits), static_cast<int>(random() % 2044) - 1022);
}

// Both functions give the double nearest to the quadruple precision value,
// bit for bit, across every size of argument and where they lose digits
// most easily: near log's zero at 1, at the edges of its table intervals and
// near the angles' table points.
TEST(PortableMathTest, RoundsLikeQuadruplePrecision) {
  std::mt19937_64 random(20261208);
  std::uniform_real_distribution<double> unit(-1, 1);
  int wrong_log = 0, wrong_angle = 0;
  for (int e = -1022; e <= 1023; ++e) {
    const double power = std::ldexp(1.0, e);
    for (const double x : {power, std::nextafter(power, 0.0), std::nextafter(power, kInf)}) {
      if (portable_log(x) != static_cast<double>(logq(x))) ++wrong_log;
    }
  }
  for (int i = 0; i < 100000; ++i) {
    const double xs[] = {any_positive(random), 1 + unit(random) * 0x1p-20,
                         std::ldexp(1 + std::abs(unit(random)), static_cast<int>(random() % 8) - 4),
                         near_log_step(random)};
    for (const double x : xs) {
      if (portable_log(x) != static_cast<double>(logq(x))) ++wrong_log;
    }
    const double y = unit(random) * any_positive(random) * 0x1p-900;
    const double pairs[][2] = {{y, unit(random) * any_positive(random) * 0x1p-900},
                               {unit(random), unit(random)},
                               {unit(random) * 0x1p-30, -1},
                               {std::nextafter(1.0 / 64 * (random() % 64), 1), 1},
                               {1 + unit(random) * 0x1p-40, 1}};
    for (const auto& p : pairs) {
      if (portable_atan2(p[0], p[1]) != static_cast<double>(atan2q(p[0], p[1]))) ++wrong_angle;
    }
  }
  EXPECT_EQ(wrong_log, 0);
  EXPECT_EQ(wrong_angle, 0);
}

TEST(PortableMathTest, KeepsTheSpecialValuesOfTheCLibrary) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(portable_log(1), 0);
  EXPECT_EQ(portable_log(0), -kInf);
  EXPECT_EQ(portable_log(kInf), kInf);
  EXPECT_TRUE(std::isnan(portable_log(-1)));
  EXPECT_TRUE(std::isnan(portable_log(nan)));
  EXPECT_EQ(portable_log(0x1p-1074), std::log(0x1p-1074));
  const double values[] = {0.0, -0.0, 1.0, -1.0, 3e-320, kInf, -kInf};
  for (const double y : values) {
    for (const double x : values) {
      const double want = std::atan2(y, x), got = portable_atan2(y, x);
      EXPECT_EQ(got, want) << y << ", " << x;
      EXPECT_EQ(std::signbit(got), std::signbit(want)) << y << ", " << x;
    }
  }
  EXPECT_TRUE(std::isnan(portable_atan2(nan, 1)));
  EXPECT_TRUE(std::isnan(portable_atan2(1, nan)));
}

}  // namespace
}  // namespace dg

#include "runtime/array/portable_math.hpp"

#include <atomic>
#include <bit>
#include <cmath>
#include <cstdint>
#include <utility>

// The quadruple precision functions of GCC's libquadmath, declared here since
// not every compiler that links it ships its header.
__extension__ typedef __float128 Quad;
extern "C" {
Quad logq(Quad);
Quad atanq(Quad);
Quad atan2q(Quad, Quad);
}

namespace dg {
namespace {

// A number held as an unevaluated sum hi + lo with |lo| at most half an ulp
// of hi.
struct Pair {
  double hi = 0, lo = 0;
};

Pair two_sum(double a, double b) {
  const double s = a + b;
  const double bb = s - a;
  return {s, (a - (s - bb)) + (b - bb)};
}

// Needs |a| >= |b| (or a zero).
Pair quick_two_sum(double a, double b) {
  const double s = a + b;
  return {s, b - (s - a)};
}

// Splits a into two halves of 26 bits each, exactly (|a| below 2^996).
std::pair<double, double> split(double a) {
  const double t = 134217729.0 * a;  // 2^27 + 1
  const double hi = t - (t - a);
  return {hi, a - hi};
}

// a * b exactly, without a fused multiply-add.
Pair two_prod(double a, double b) {
  const double p = a * b;
  const auto [ah, al] = split(a);
  const auto [bh, bl] = split(b);
  return {p, ((ah * bh - p) + ah * bl + al * bh) + al * bl};
}

Pair add(Pair a, Pair b) {
  const Pair s = two_sum(a.hi, b.hi);
  return quick_two_sum(s.hi, s.lo + a.lo + b.lo);
}

Pair negate(Pair a) {
  return {-a.hi, -a.lo};
}

// a / b with b positive.
Pair divide(Pair a, Pair b) {
  const double q = a.hi / b.hi;
  const Pair p = two_prod(q, b.hi);
  const double r = ((a.hi - p.hi) - p.lo + a.lo - q * b.lo) / b.hi;
  return quick_two_sum(q, r);
}

Pair to_pair(Quad v) {
  const auto hi = static_cast<double>(v);
  return {hi, static_cast<double>(v - hi)};
}

// The sum rounded to the nearest double, when its error bound (a share of its
// size) cannot move it across a rounding boundary.
bool rounds_to(Pair v, double& out) {
  const double err = std::abs(v.hi) * 0x1p-64;
  const double up = v.hi + (v.lo + err);
  const double down = v.hi + (v.lo - err);
  if (up != down) return false;
  out = up;
  return true;
}

// The reduction of log: a positive normal x is z 2^k with z in [0.688, 1.377),
// read off the bits of x as the distance of its bits from those of kLogStart.
// Each of the 256 steps of 2^44 in those bits is one table interval: 2^-9 wide
// below 1, 2^-8 wide above, and the interval [1 - 2^-10, 1 + 2^-9) around 1.
constexpr std::uint64_t kLogStart = 0x3fe6080000000000;

// For each interval, a 26-bit approximation of the inverse of its centre
// (1 exactly for the interval around 1), and -log of that inverse to twice a
// double's precision; and log 2 as a 42-bit head, so that k times it is exact
// for any exponent k, plus a tail.
struct LogTable {
  struct Entry {
    double inverse, hi, lo;
  };
  double ln2_hi, ln2_lo;
  Entry entries[256];
  LogTable() {
    const Quad ln2 = logq(2);
    ln2_hi = std::bit_cast<double>(std::bit_cast<std::uint64_t>(static_cast<double>(ln2)) &
                                   ~((std::uint64_t{1} << 11) - 1));
    ln2_lo = static_cast<double>(ln2 - ln2_hi);
    for (std::uint64_t i = 0; i < 256; ++i) {
      // The centre's bits are 2^43 past the interval's start; every interval
      // lies within one binade except the one around 1, whose centre is 1.
      const double centre = std::bit_cast<double>(kLogStart + (i << 44) + (std::uint64_t{1} << 43));
      const double inverse = std::bit_cast<double>(std::bit_cast<std::uint64_t>(1 / centre) &
                                                   ~((std::uint64_t{1} << 27) - 1));
      const Pair minus_log = to_pair(-logq(inverse));
      entries[i] = {inverse, minus_log.hi, minus_log.lo};
    }
  }
};

// atan(j / 64) for j from 0 to 64, pi / 2 and pi.
struct AtanTable {
  Pair half_pi, pi;
  Pair entries[65];
  AtanTable() {
    const Quad quarter = atanq(1);
    half_pi = to_pair(2 * quarter);
    pi = to_pair(4 * quarter);
    for (int j = 0; j < 65; ++j) entries[j] = to_pair(atanq(static_cast<Quad>(j) / 64));
  }
};

// The log table, built on the first call. The pointer is constant
// initialised, so it reads null before any dynamic initialisation, and the
// table's construction stays out of the fast path.
constinit std::atomic<const LogTable*> built_log_table{nullptr};

[[gnu::noinline, gnu::cold]] const LogTable& build_log_table() {
  static const LogTable table;
  built_log_table.store(&table, std::memory_order_release);
  return table;
}

const LogTable& log_table() {
  const LogTable* table = built_log_table.load(std::memory_order_acquire);
  return table ? *table : build_log_table();
}

const AtanTable& atan_table() {
  static const AtanTable table;
  return table;
}

// atan(s / l) for 0 <= s <= l, l in [1, 2), to about 2^-66 of its size.
Pair atan_pair(double s, double l) {
  const Pair t = divide({s, 0}, {l, 0});
  // atan t = atan c + atan d with c the nearest 64th and d = (t - c) / (1 + t c).
  const int j = static_cast<int>(t.hi * 64 + 0.5);
  const double c = j / 64.0;
  const Pair num = two_sum(t.hi - c, t.lo);
  const Pair tc = two_prod(t.hi, c);
  const Pair den = add(two_sum(1, tc.hi), {tc.lo + t.lo * c, 0});
  const Pair d = divide(num, den);
  // atan d = d - d^3/3 + d^5/5 - ..., the cube and beyond in doubles.
  const double d2 = d.hi * d.hi;
  static constexpr double kAtanTerms[] = {-1.0 / 3, 1.0 / 5,   -1.0 / 7,
                                          1.0 / 9,  -1.0 / 11, 1.0 / 13};
  double tail = 0;
  for (int n = 5; n >= 0; --n) tail = kAtanTerms[n] + d2 * tail;
  tail *= d2 * d.hi;
  const Pair series = quick_two_sum(d.hi, d.lo + tail);
  return add(atan_table().entries[j], series);
}

// The quadruple precision value rounded to a double, out of line so that the
// fast path saves no registers for it.
[[gnu::noinline, gnu::cold]] double quad_log(double x) {
  return static_cast<double>(logq(x));
}

}  // namespace

double portable_log(double x) {
  const auto bits = std::bit_cast<std::uint64_t>(x);
  if (bits - 0x0010000000000000ULL >= 0x7fe0000000000000ULL) {
    // NaN, negative, zero, subnormal and infinite values.
    return quad_log(x);
  }
  const LogTable& t = log_table();
  // x = z 2^k, and z = (1 + r) / inverse with |r| < 2^-9.
  const std::uint64_t offset = bits - kLogStart;
  const auto k = static_cast<double>(static_cast<std::int64_t>(offset) >> 52);
  const LogTable::Entry& c = t.entries[(offset >> 44) & 255];
  const std::uint64_t z_bits = bits - (offset & 0xfff0000000000000ULL);
  // z = z_hi + z_lo with z_hi 27 bits and z_lo 26 bits long, so that both
  // products with the 26-bit inverse are exact, and the first is within 2^-8
  // of 1, so subtracting 1 is exact too: r.hi + r.lo is r exactly.
  const double z_hi = std::bit_cast<double>(z_bits & ~((std::uint64_t{1} << 26) - 1));
  const double z_lo = std::bit_cast<double>(z_bits) - z_hi;
  const Pair r = two_sum(z_hi * c.inverse - 1, z_lo * c.inverse);
  // log(1 + r) = r - r^2/2 + r^3 p(r) with p(r) = 1/3 - r/4 + ... - r^5/8 (the
  // next term, r^9/9, is below 2^-75 |r|). Its head r.hi - r.hi^2/2 is exact;
  // r.lo enters through the derivative 1/(1 + r) = 1 - r + r^2 - ...
  const Pair square = two_prod(r.hi, r.hi);
  const Pair head = quick_two_sum(r.hi, -square.hi / 2);
  const double s = square.hi;
  const double p =
      (1.0 / 3 - 0.25 * r.hi) + s * ((0.2 - 1.0 / 6 * r.hi) + s * (1.0 / 7 - 0.125 * r.hi));
  const double tail = r.hi * s * p;
  const double series_lo = ((head.lo - square.lo / 2) + r.lo * ((1 - r.hi) + s)) + tail;
  // Add k log 2 - log inverse: k ln2_hi is exact and larger than the table
  // value unless k is 0.
  const Pair power = quick_two_sum(k * t.ln2_hi, c.hi);
  const Pair sum = two_sum(power.hi, head.hi);
  const double lo = series_lo + ((sum.lo + power.lo) + (c.lo + k * t.ln2_lo));
  // The error of sum.hi + lo is below 2^-69.7 |r| + 2^-92 |log x|:
  // - p's rounding, with that of 1/3, is below 2^-53.5 and p is above 1/3 -
  //   2^-11; with the two roundings of r.hi^3, tail is within 2^-50.6 of its
  //   size, which is below 2^-19.5 |r|: 2^-70.2 |r|;
  // - the two additions that bring tail in, each within 2^-53 of a sum below
  //   2^-19.5 |r|, and the cut series: 2^-71.6 |r| and 2^-75 |r|;
  // - everything else is far smaller: r.lo and the heads' tails are 2^-53 of
  //   their heads; log 2 and the table are good to 2^-94 |k| and 2^-106, with
  //   |log x| above 0.31 |k| and, off the interval around 1 (whose table value
  //   is 0), above 2^-10.
  // The test below widens sum.hi + lo by more than three times that bound (the
  // roundings of lo +- err give back at most 2^-53 of them, far less). If
  // both ends of the widened range round to the same double, every number in
  // it does (rounding is monotone): log x, and the quadruple precision value
  // within 2^-111 of it, round to that double. The result is the nearest
  // double to log x and never depends on which way the test goes.
  const double err = 0x1p-68 * std::abs(r.hi) + 0x1p-90 * std::abs(sum.hi);
  const double up = sum.hi + (lo + err);
  const double down = sum.hi + (lo - err);
  if (up == down) return up;
  return quad_log(x);
}

double portable_atan2(double y, double x) {
  const double ay = std::abs(y), ax = std::abs(x);
  const bool swapped = ay > ax;
  const double s = swapped ? ax : ay;
  const double l = swapped ? ay : ax;
  if (!std::isfinite(s) || !std::isfinite(l) || s == 0 || l == 0) {
    return static_cast<double>(atan2q(y, x));
  }
  // The angle depends on the ratio only: scale so that l is in [1, 2).
  int e = 0;
  const double lm = 2 * std::frexp(l, &e);
  const double sm = std::ldexp(s, 1 - e);
  if (sm < 0x1p-500) return static_cast<double>(atan2q(y, x));
  Pair a = atan_pair(sm, lm);
  const AtanTable& t = atan_table();
  if (swapped) a = add(t.half_pi, negate(a));
  if (x < 0) a = add(t.pi, negate(a));
  if (y < 0) a = negate(a);
  double out = 0;
  if (rounds_to(a, out)) return out;
  return static_cast<double>(atan2q(y, x));
}

}  // namespace dg

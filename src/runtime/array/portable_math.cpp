#include "runtime/array/portable_math.hpp"

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

// log(i / 128) for i from 90 to 182, and log 2, to twice a double's precision.
struct LogTable {
  Pair ln2;
  Pair entries[93];
  LogTable() {
    ln2 = to_pair(logq(2));
    for (int i = 0; i < 93; ++i) entries[i] = to_pair(logq(static_cast<Quad>(i + 90) / 128));
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

const LogTable& log_table() {
  static const LogTable table;
  return table;
}

const AtanTable& atan_table() {
  static const AtanTable table;
  return table;
}

// log x for a positive normal x, to about 2^-66 of its size.
Pair log_pair(double x) {
  // x = m 2^e with m in [1, 2), read off the bits of the normal number x.
  const auto bits = std::bit_cast<std::uint64_t>(x);
  int e = static_cast<int>(bits >> 52) - 1023;
  double m = std::bit_cast<double>((bits & 0xfffffffffffffULL) | 0x3ff0000000000000ULL);
  if (m > 1.4142135623730951) {
    m /= 2;
    e += 1;
  }
  // m = c (1 + r) with c the nearest 128th: m - c is exact, |r| < 2^-7.
  const int i = static_cast<int>(m * 128 + 0.5);
  const double c = i / 128.0;
  const Pair r = divide({m - c, 0}, {c, 0});
  // log(1 + r) = r - r^2/2 + r^3/3 - ..., the cube and beyond in doubles.
  static constexpr double kLogTerms[] = {1.0 / 3,  -1.0 / 4, 1.0 / 5,   -1.0 / 6, 1.0 / 7,
                                         -1.0 / 8, 1.0 / 9,  -1.0 / 10, 1.0 / 11, -1.0 / 12};
  double tail = 0;
  for (int n = 9; n >= 0; --n) tail = kLogTerms[n] + r.hi * tail;
  tail *= r.hi * r.hi * r.hi;
  const Pair square = two_prod(r.hi, r.hi);
  Pair series = two_sum(r.hi, -square.hi / 2);
  series.lo += r.lo - square.lo / 2 - r.hi * r.lo + tail;
  const LogTable& t = log_table();
  const Pair scaled = two_prod(t.ln2.hi, e);
  const Pair power = {scaled.hi, scaled.lo + t.ln2.lo * e};
  return add(add(power, t.entries[i - 90]), series);
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

}  // namespace

double portable_log(double x) {
  if (!(x >= 0x1p-1022) || std::isinf(x)) {
    // NaN, negative, zero, subnormal and infinite values.
    return static_cast<double>(logq(x));
  }
  double out = 0;
  if (rounds_to(log_pair(x), out)) return out;
  return static_cast<double>(logq(x));
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

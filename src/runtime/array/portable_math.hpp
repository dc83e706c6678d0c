#pragma once
// The natural logarithm and the angle of a point, rounded to the nearest
// double, with the same bits on every system. C libraries differ in the last
// bit of std::log and std::atan2, so a number computed with them on Windows
// could differ from the one computed on Linux; these compute in the basic
// operations alone (which IEEE arithmetic rounds the same way everywhere) with
// twice a double's precision, and, in the rare case where that cannot decide
// the rounding, in quadruple precision.

namespace dg {

// log(x); NaN below zero, -inf at zero.
double portable_log(double x);

// The angle of (x, y) from the positive x axis, in (-pi, pi], with the signs
// and special values of std::atan2.
double portable_atan2(double y, double x);

}  // namespace dg

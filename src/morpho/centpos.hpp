// Centroid of one landmark configuration stored as x1 y1 x2 y2 ... xk yk,
// possibly followed by one trailing value (the size column), which is ignored:
// k = floor(n / 2) landmarks are used for n values.
// Returns {cx, cy}. With k = 0 the result is {NaN, NaN}. Never raises.
#pragma once

#include <array>
#include <span>

namespace dg {

std::array<double, 2> centpos(std::span<const double> x);

}  // namespace dg

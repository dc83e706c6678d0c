// The angle at landmark v between the arms to landmarks a and b of one
// configuration (x y, or x y z with dims 3, per landmark; 0-based landmark
// numbers), in radians from 0 to pi: atan2(|u x w|, u . w) of the arms u and
// w, which keeps every digit near 0 and pi where the arc cosine of the
// normalised dot product loses half of them. An arm of length zero gives NaN.
// Never raises; the caller checks the landmark numbers.
#pragma once

#include <cstddef>
#include <span>

namespace dg {

double landmark_angle(std::span<const double> row, std::size_t a, std::size_t v, std::size_t b,
                      std::size_t dims);

}  // namespace dg

// The number of landmarks k of an r x (2k+1) sample matrix: x and y of each
// landmark, then the size column. Every measurement, drawing and report of a
// sample counts its landmarks with this one rule; a width that is not 2k + 1
// leaves its column before the size unused. The two-argument form counts
// them for `dims` coordinates per landmark (2, or 3: x y z, width 3k + 1).
// Never raises.
#pragma once

#include <cstddef>

namespace dg {

constexpr std::size_t landmark_count(std::size_t width) {
  return width == 0 ? 0 : (width - 1) / 2;
}

constexpr std::size_t landmark_count(std::size_t width, std::size_t dims) {
  return width == 0 || dims == 0 ? 0 : (width - 1) / dims;
}

}  // namespace dg

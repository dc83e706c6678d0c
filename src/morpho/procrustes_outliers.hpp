// Screens a superimposed sample for specimens that sit far from its
// consensus, and for flagged ones looks for the two usual digitising faults
// behind such a distance: two landmarks clicked in each other's order, and a
// photograph taken or scanned mirrored.
//
// Input: the superimposed r x dk coordinates (x y or x y z per landmark, NaN
// for a missing landmark), the 1 x dk consensus they were fitted to, and the
// dimension (2 or 3).
//
// Each specimen's Procrustes distance is the square root of the summed
// squared differences between its coordinates and the consensus's, over its
// present landmarks (all of them for a complete specimen; an incomplete one
// is marked). A specimen is flagged when its distance is above
// Q3 + 1.5 (Q3 - Q1) of the sample's finite distances (quartiles as R's
// quantile() type 7). For each flagged specimen every pair of its present
// landmarks is swapped and the specimen fitted again onto the consensus by
// the best proper rotation about its centroid (a complete specimen keeps its
// unit centroid size; an incomplete one is scaled by least squares, as its
// superimposition fitted it); the best swap is kept when it at least halves
// the distance. Its mirror image (the first coordinate negated) is fitted the
// same way. Raises a RuntimeError for a consensus that does not match the
// coordinates' width.
#pragma once

#include <cstddef>
#include <limits>
#include <span>
#include <vector>

#include "runtime/array/matrix.hpp"

namespace dg {

struct SpecimenDistance {
  static constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

  double distance = kNone;  // NaN when no landmark is present
  bool incomplete = false;  // measured over its present landmarks only
  std::size_t rank = 0;     // 1 for the largest distance; 0 for a NaN distance
  bool flagged = false;
  std::size_t worst_landmark = 0;  // 1-based; 0 when the distance is 0 or NaN
  double worst_share = kNone;      // its share of the squared distance, 0 to 1
  // Flagged specimens only: the landmarks (1-based) of the swap that at least
  // halves the distance, 0 when none does, and the distance after it.
  std::size_t swap_first = 0, swap_second = 0;
  double distance_after_swap = kNone;
  // Flagged specimens only: the distance of the mirror image refitted, and
  // whether it is at most half the distance.
  double mirror_distance = kNone;
  bool mirrored = false;
};

struct OutlierScreen {
  std::vector<SpecimenDistance> specimens;  // in row order
  double q1 = SpecimenDistance::kNone, q3 = SpecimenDistance::kNone;
  double threshold = SpecimenDistance::kNone;  // q3 + 1.5 (q3 - q1)
  std::size_t flagged = 0;
};

OutlierScreen procrustes_outliers(const Matrix& superimposed, const Matrix& consensus,
                                  std::size_t dims);

// The p-quantile (0 <= p <= 1) of values sorted in increasing order, by
// linear interpolation between order statistics (R's quantile() type 7);
// NaN for no values.
double quantile_type7(std::span<const double> sorted, double p);

}  // namespace dg

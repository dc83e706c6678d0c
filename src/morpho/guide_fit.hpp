// The guide a digitiser draws while landmarks are placed: a mean shape moved,
// turned and scaled onto the landmarks placed so far.
#pragma once

#include <optional>
#include <span>
#include <vector>

namespace dg {

// `shape` (x1 y1 ... xk yk) fitted by least squares over the landmarks
// `placed` (x y each, in order, the first placed.size() / 2 of k; NaN for
// one marked missing) with a translation, a rotation and a scale, never a
// reflection. Nothing with fewer than two placed landmarks, or when the
// shape's own landmarks at those places coincide.
std::optional<std::vector<double>> fit_guide(std::span<const double> shape,
                                             std::span<const double> placed);

}  // namespace dg

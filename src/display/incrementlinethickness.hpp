// Adds `weight` to the "LineWidth" of every drawn line child of `fighandle`:
// lines whose "LineStyle" starts with n ("none", marker-only points) keep
// their width.
#pragma once

#include "runtime/graphics/graphics.hpp"

namespace dg {

void incrementlinethickness(Graphics& graphics, Handle fighandle, double weight);

}  // namespace dg

// Adds `increment` (which may be negative) to the "MarkerSize" of every line
// child of `handle`. A size that would not be positive is refused by the
// graphics tree with an error naming the value.
#pragma once

#include "runtime/graphics/graphics.hpp"

namespace dg {

void incrementsymbolsize(Graphics& graphics, Handle handle, double increment);

}  // namespace dg

// Makes the markers of every line child of `handle` black: edge, then face.
#pragma once

#include "runtime/graphics/graphics.hpp"

namespace dg {

void setsymbolbw(Graphics& graphics, Handle handle);

}  // namespace dg

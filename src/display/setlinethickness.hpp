// Sets the "LineWidth" of every line child of `handle`, marker-only or not.
#pragma once

#include "runtime/graphics/graphics.hpp"

namespace dg {

void setlinethickness(Graphics& graphics, Handle handle, double vlinewidth);

}  // namespace dg

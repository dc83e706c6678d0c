// Fills or empties the markers of the line children of `handle` (normally the
// axes holding the drawing): with isfilled 0 the face colour becomes "none",
// otherwise each line's markers are filled in its own "Color". Other children
// are left alone.
#pragma once

#include "runtime/graphics/graphics.hpp"

namespace dg {

void setsymbolfill(Graphics& graphics, Handle handle, double isfilled);

}  // namespace dg

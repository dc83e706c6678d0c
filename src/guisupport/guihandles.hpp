// The handles structure of the figure that holds h, or of the current figure
// when h is not given: one field per distinct usable tag (see isvarname), in the
// order the tags are first met, holding the 1 x n row of the handles of every
// object bearing that tag, in the order findall visits them (the figure first,
// parents before children). Gives the empty value when no object has a usable
// tag. Raises the message of guidata when h is not a live object in a figure.
#pragma once

#include "runtime/array/value.hpp"
#include "runtime/graphics/graphics.hpp"

namespace dg {

Value guihandles(Graphics& graphics);
Value guihandles(const Graphics& graphics, Handle h);

}  // namespace dg

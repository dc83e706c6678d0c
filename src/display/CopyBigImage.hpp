// Copies the current figure's plot to the clipboard, enlarged: the current
// axes' limits are widened by 3 % of their range on each side, the axes are
// stretched over the figure (12 characters from its left, 3 from its bottom,
// ending 4 characters inside its right edge and 2 inside its top), the figure
// is printed without its controls ("-noui", "-dmeta"), and the units and
// position are put back — also when the print fails, whose error is then
// raised. The axes end with automatic limits and equal units (a view the user
// zoomed or panned to is given back). Called by name, a successful copy is
// reported as "Plot copied to the clipboard". The argument is not used.
#pragma once

#include <functional>

#include "runtime/graphics/graphics.hpp"

namespace dg {

void CopyBigImage(Graphics& graphics);

// Runs `paint` (given the current figure) while the current axes are
// enlarged as for the plot copy, then puts them back, also when `paint`
// raises: every picture of the plot (the copy, a saved plot file) shows the
// axes with their tick labels and no blank room where the controls are.
void with_enlarged_plot(Graphics& graphics, const std::function<void(Handle figure)>& paint);

}  // namespace dg

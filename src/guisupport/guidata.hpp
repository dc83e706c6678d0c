// GUI data: one value kept on a figure for its callbacks, stored as the
// figure's application data "UsedByGUIData_m". h may be the figure or any object
// inside it. Reading a figure never given data gives the empty value; storing
// replaces what was there. Both raise "H must be the handle to a figure or
// figure descendent." when h is not a live object inside a figure.
#pragma once

#include "runtime/array/value.hpp"
#include "runtime/graphics/graphics.hpp"

namespace dg {

inline constexpr const char* kGuiDataName = "UsedByGUIData_m";

Value guidata(const Graphics& graphics, Handle h);
void guidata(Graphics& graphics, Handle h, Value data);

}  // namespace dg

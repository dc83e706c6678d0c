// The parent-figure search shared by guidata, guihandles and movegui: from h up
// through the parents to the first object of type "figure". Gives nullopt when
// the walk passes the root (h is the root, whose parent is empty). h must be a
// live handle; the graphics tree raises otherwise.
//
// holder_figure is the check guidata and guihandles make on their input: h must
// be one live handle whose parent chain holds a figure, else it raises "H must
// be the handle to a figure or figure descendent.".
#pragma once

#include <optional>

#include "runtime/array/value.hpp"
#include "runtime/graphics/graphics.hpp"

namespace dg {

std::optional<Handle> getParentFigure(const Graphics& graphics, Handle h);

Handle holder_figure(const Graphics& graphics, Handle h);
Handle holder_figure(const Graphics& graphics, const Value& h);

}  // namespace dg

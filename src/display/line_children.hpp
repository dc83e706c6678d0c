// Applies a change to every direct child of a handle whose "Type" starts with
// the letter l (lines), in the order the children are listed; other children
// are skipped. The styling commands share it.
#pragma once

#include <functional>

#include "runtime/graphics/graphics.hpp"

namespace dg {

void for_each_line_child(Graphics& graphics, Handle handle,
                         const std::function<void(Handle)>& change);

}  // namespace dg

// Clears the current axes of the current figure: removes every drawn child.
// Options are passed on to the clearing operation; "reset" also turns hold off
// and the axis modes back to automatic. Returns the current axes afterwards.
// Raises for an unknown option.
#pragma once

#include <span>
#include <string>

#include "runtime/graphics/graphics.hpp"

namespace dg {

Handle cla(Graphics& graphics, std::span<const std::string> options = {});

}  // namespace dg

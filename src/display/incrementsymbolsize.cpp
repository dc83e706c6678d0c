#include "display/incrementsymbolsize.hpp"

#include "display/line_children.hpp"

namespace dg {

void incrementsymbolsize(Graphics& graphics, Handle handle, double increment) {
  for_each_line_child(graphics, handle, [&](Handle line) {
    graphics.set(line, "MarkerSize", Value(graphics.get(line, "MarkerSize").scalar() + increment));
  });
}

}  // namespace dg

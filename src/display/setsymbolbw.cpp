#include "display/setsymbolbw.hpp"

#include "display/line_children.hpp"

namespace dg {

void setsymbolbw(Graphics& graphics, Handle handle) {
  Value black("k");
  for_each_line_child(graphics, handle, [&](Handle line) {
    graphics.set(line, "MarkerEdgeColor", black);
    graphics.set(line, "MarkerFaceColor", black);
  });
}

}  // namespace dg

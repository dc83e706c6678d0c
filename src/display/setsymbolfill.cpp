#include "display/setsymbolfill.hpp"

#include "display/line_children.hpp"

namespace dg {

void setsymbolfill(Graphics& graphics, Handle handle, double isfilled) {
  for_each_line_child(graphics, handle, [&](Handle line) {
    if (isfilled == 0) {
      graphics.set(line, "MarkerFaceColor", Value("none"));
    } else {
      graphics.set(line, "MarkerFaceColor", graphics.get(line, "Color"));
    }
  });
}

}  // namespace dg

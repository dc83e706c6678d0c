#include "display/setlinethickness.hpp"

#include "display/line_children.hpp"

namespace dg {

void setlinethickness(Graphics& graphics, Handle handle, double vlinewidth) {
  Value width(vlinewidth);
  for_each_line_child(graphics, handle,
                      [&](Handle line) { graphics.set(line, "LineWidth", width); });
}

}  // namespace dg

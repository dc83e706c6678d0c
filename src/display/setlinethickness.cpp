#include "display/setlinethickness.hpp"

namespace dg {

void setlinethickness(Graphics& graphics, Handle handle, double vlinewidth) {
  graphics.restyle_line_children(handle, [&](LineLook& look) { look.line_width = vlinewidth; });
}

}  // namespace dg

#include "display/setsymbolfill.hpp"

namespace dg {

void setsymbolfill(Graphics& graphics, Handle handle, double isfilled) {
  graphics.restyle_line_children(
      handle, [&](LineLook& look) { look.face_color = isfilled == 0 ? kNoneColor : look.color; });
}

}  // namespace dg

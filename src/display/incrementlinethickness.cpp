#include "display/incrementlinethickness.hpp"

namespace dg {

void incrementlinethickness(Graphics& graphics, Handle fighandle, double weight) {
  graphics.restyle_line_children(fighandle, [&](LineLook& look) {
    if (look.style != LineStyle::None) look.line_width += weight;
  });
}

}  // namespace dg

#include "display/incrementsymbolsize.hpp"

namespace dg {

void incrementsymbolsize(Graphics& graphics, Handle handle, double increment) {
  graphics.restyle_line_children(handle, [&](LineLook& look) { look.marker_size += increment; });
}

}  // namespace dg

#include "display/setsymbolbw.hpp"

#include "runtime/graphics/style.hpp"

namespace dg {

void setsymbolbw(Graphics& graphics, Handle handle) {
  const std::uint32_t black = graphics.palette().index(parse_color(Value("k"), false, false));
  graphics.restyle_line_children(handle, [&](LineLook& look) {
    look.edge_color = black;
    look.face_color = black;
  });
}

}  // namespace dg

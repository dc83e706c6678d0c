#include "guisupport/getParentFigure.hpp"

#include "runtime/array/error.hpp"

namespace dg {

std::optional<Handle> getParentFigure(const Graphics& graphics, Handle h) {
  std::optional<Handle> fig = h;
  while (fig && graphics.type(*fig) != ObjectType::Figure) fig = graphics.parent(*fig);
  return fig;
}

Handle holder_figure(const Graphics& graphics, Handle h) {
  std::optional<Handle> fig;
  if (graphics.is_handle(h)) fig = getParentFigure(graphics, h);
  if (!fig) raise("H must be the handle to a figure or figure descendent.");
  return *fig;
}

Handle holder_figure(const Graphics& graphics, const Value& h) {
  if (!h.is_double() || h.numel() != 1) {
    raise("H must be the handle to a figure or figure descendent.");
  }
  return holder_figure(graphics, h.scalar());
}

}  // namespace dg

#include "guisupport/guidata.hpp"

#include "guisupport/getParentFigure.hpp"

namespace dg {

Value guidata(const Graphics& graphics, Handle h) {
  return graphics.getappdata(holder_figure(graphics, h), kGuiDataName);
}

void guidata(Graphics& graphics, Handle h, Value data) {
  graphics.setappdata(holder_figure(graphics, h), kGuiDataName, std::move(data));
}

}  // namespace dg

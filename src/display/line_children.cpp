#include "display/line_children.hpp"

namespace dg {

void for_each_line_child(Graphics& graphics, Handle handle,
                         const std::function<void(Handle)>& change) {
  for (Handle child : graphics.children(handle)) {
    std::string type = graphics.get(child, "Type").text();
    if (!type.empty() && type[0] == 'l') change(child);
  }
}

}  // namespace dg

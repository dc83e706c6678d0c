#include "display/incrementlinethickness.hpp"

#include "display/line_children.hpp"

namespace dg {

void incrementlinethickness(Graphics& graphics, Handle fighandle, double weight) {
  for_each_line_child(graphics, fighandle, [&](Handle line) {
    std::string style = graphics.get(line, "LineStyle").text();
    if (!style.empty() && style[0] == 'n') return;
    graphics.set(line, "LineWidth", Value(weight + graphics.get(line, "LineWidth").scalar()));
  });
}

}  // namespace dg

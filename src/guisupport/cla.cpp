#include "guisupport/cla.hpp"

#include "runtime/array/error.hpp"

namespace dg {

Handle cla(Graphics& graphics, std::span<const std::string> options) {
  Handle axes = graphics.gca();
  bool reset = false;
  for (const auto& option : options) {
    if (lower(option) != "reset") {
      raise("Unknown option \"" + option + "\" for clearing axes; the only option is \"reset\".");
    }
    reset = true;
  }
  graphics.clear_axes(axes);
  if (reset) {
    graphics.set(axes, "NextPlot", Value("replace"));
    graphics.set(axes, "XLimMode", Value("auto"));
    graphics.set(axes, "YLimMode", Value("auto"));
    graphics.set(axes, "DataAspectRatioMode", Value("auto"));
  }
  return graphics.gca();
}

}  // namespace dg

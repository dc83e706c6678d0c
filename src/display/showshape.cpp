#include "display/showshape.hpp"

#include "morpho/landmark_count.hpp"

namespace dg {

double showshape(Graphics& graphics, const Matrix& x, std::string_view xform) {
  graphics.hold(true);
  const std::size_t landmarks = landmark_count(x.cols());
  for (std::size_t i = 0; i < x.rows(); ++i) {
    for (std::size_t j = 0; j < landmarks; ++j) {
      double px = x(i, 2 * j), py = x(i, 2 * j + 1);
      Handle point = graphics.plot({&px, 1}, {&py, 1}, xform);
      graphics.set(point, "MarkerSize", Value(3.0));
    }
  }
  graphics.axis_auto();
  graphics.axis_equal();
  return 1;
}

}  // namespace dg

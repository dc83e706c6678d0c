#include "display/showshape.hpp"

#include <vector>

#include "morpho/landmark_count.hpp"
#include "runtime/array/progress.hpp"

namespace dg {

double showshape(Graphics& graphics, const Matrix& x, std::string_view xform) {
  return showshape(graphics, x, landmark_count(x.cols()), xform);
}

double showshape(Graphics& graphics, const Matrix& x, std::size_t landmarks,
                 std::string_view xform) {
  graphics.hold(true);
  graphics.reserve_points(x.rows() * landmarks);
  std::vector<double> px(landmarks), py(landmarks);
  for (std::size_t i = 0; i < x.rows(); ++i) {
    for (std::size_t j = 0; j < landmarks; ++j) {
      px[j] = x(i, 2 * j);
      py[j] = x(i, 2 * j + 1);
    }
    graphics.plot_points(px, py, xform, 3.0);
    progress_every(i);
  }
  graphics.axis_auto();
  graphics.axis_equal();
  return 1;
}

}  // namespace dg

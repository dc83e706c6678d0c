// Draws landmark configurations into the current axes as points: every
// landmark of every row becomes one single-point line object with the plot
// style `xform` ("k." by default) and marker size 3, row by row. Rows are
// x1 y1 ... xk yk followed by a trailing size value, which is not drawn. Leaves
// hold on, then sets the axes to automatic limits and equal units. Returns 1.
#pragma once

#include <string_view>

#include "runtime/array/matrix.hpp"
#include "runtime/graphics/graphics.hpp"

namespace dg {

double showshape(Graphics& graphics, const Matrix& x, std::string_view xform = "k.");

// The same for configurations of `landmarks` landmarks of x y each, the
// first 2 landmarks columns of every row (a sample's coordinates, or as the
// plot shows them).
double showshape(Graphics& graphics, const Matrix& x, std::size_t landmarks,
                 std::string_view xform);

}  // namespace dg

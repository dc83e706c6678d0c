// The angular dataset: for every specimen of an r x dk coordinate matrix (x y,
// or x y z with dims 3, of each landmark), the angle at the vertex of each
// triple, in radians from 0 to pi (landmark_angle). `triples` holds 0-based
// landmark indices, three per triple (arm end, vertex, arm end), checked by
// the caller. tradangle gives r x t angles, one column per triple (none for
// no triples); angle_row fills `out` (t values) with row i of it. Never raises.
#pragma once

#include <cstddef>
#include <span>

#include "runtime/array/matrix.hpp"

namespace dg {

Matrix tradangle(const Matrix& x, std::span<const std::size_t> triples, std::size_t dims);
void angle_row(const Matrix& x, std::span<const std::size_t> triples, std::size_t dims,
               std::size_t i, std::span<double> out);

}  // namespace dg

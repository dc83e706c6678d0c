// Superimposes a sample: centres every configuration on its centroid, scales
// it to unit centroid size and rotates all of them, pass after pass, onto
// their mean shape until the mean stops changing (a generalised Procrustes
// fit without reflection and without further size adjustment).
//
// Input: an r x dk matrix of coordinates, x1 y1 ... xk yk (dims 2) or
// x1 y1 z1 ... xk yk zk (dims 3), each specimen turned by the proper rotation
// (determinant +1) that fits it best to the mean in the least-squares sense;
// in 3-D from the singular value decomposition of their cross-covariance.
// Outputs: the consensus (1 x dk, unit centroid size), the superimposed r x dk
// matrix in input row order, and the factor the last pass divided the mean by
// (`scale`). Raises a RuntimeError for a matrix without rows or whose width is
// not a multiple of dims. Degenerate specimens (NaN coordinates or zero size)
// do not raise: the result is non-finite and non_finite is set.
#pragma once

#include <cstddef>

#include "runtime/array/matrix.hpp"

namespace dg {

struct ConsensusResult {
  Matrix consensus;     // 1 x dk
  Matrix superimposed;  // r x dk
  double scale = 1;     // the centroid size of the last pass's mean, which it was divided by
  std::size_t passes = 0;
  bool reached_pass_limit = false;  // stopped by the limit, not by convergence
  bool non_finite = false;  // the change measure became non-finite (NaN or zero-size specimen)
  // The largest turn of a row in the last pass (radians; in 3-D the size of
  // the rotation, |R - I| / sqrt(2)).
  double last_turn = 0;
};

// A guard against a sample that never settles; real samples need a handful of passes.
inline constexpr std::size_t kConsensusPassLimit = 10000;

// `dims` is 2 or 3, the coordinates of each landmark. `pass_limit` bounds
// the iteration; the default is far above what real samples need.
ConsensusResult getconsensus(Matrix x, std::size_t dims,
                             std::size_t pass_limit = kConsensusPassLimit);

// A turn of at most a few units in the last place of unit-size coordinates:
// a pass that turns no row by more has converged.
inline constexpr double kSettledTurn = 8 * 2.220446049250313e-16;

// Goes on with the passes of a superimposition that getconsensus stopped by
// its rule on the change of the consensus, which leaves rows up to about
// 1e-5 radians short of their best rotation, until no row turns by more than
// kSettledTurn in a pass, or, below 1e-12 radians, the largest turn no longer
// shrinks (rounding alone then turns the rows). `fit` is getconsensus's
// result for the same `dims`; its rows and consensus are updated, and the
// passes added are counted in `passes` and returned. A fit that stopped
// non-finite is left as it is.
std::size_t converge_consensus(ConsensusResult& fit, std::size_t dims,
                               std::size_t pass_limit = kConsensusPassLimit);

}  // namespace dg

// Superimposes a sample: centres every configuration on its centroid, scales
// it to unit centroid size and rotates all of them, pass after pass, onto
// their mean shape until the mean stops changing (a generalised Procrustes
// fit without reflection and without further size adjustment).
//
// Input: an r x (2k+1) landmark matrix, coordinates x1 y1 ... xk yk followed
// by a trailing size column, which is carried along and never treated as a
// coordinate; with dims 3, an r x (3k+1) matrix, x1 y1 z1 ... xk yk zk and the
// size, each specimen turned by the proper rotation (determinant +1) that
// fits it best to the mean in the least-squares sense, taken from the
// singular value decomposition of their cross-covariance. Outputs: the consensus (1 x n; unit
// centroid size; its last element is the mean trailing value divided by the same normalising
// factor) and the superimposed r x n matrix (input row order, trailing column unchanged). Raises a
// RuntimeError for a matrix without rows or with an even number of columns (with dims 3: a width
// that is not 3k + 1). Degenerate specimens (NaN coordinates or zero size) do not raise: the result
// is non-finite and non_finite is set.
#pragma once

#include <cstddef>

#include "runtime/array/matrix.hpp"

namespace dg {

struct ConsensusResult {
  Matrix consensus;     // 1 x n
  Matrix superimposed;  // r x n, trailing column unchanged
  std::size_t passes = 0;
  bool reached_pass_limit = false;  // stopped by the limit, not by convergence
  bool non_finite = false;  // the change measure became non-finite (NaN or zero-size specimen)
};

// A guard against a sample that never settles; real samples need a handful of passes.
inline constexpr std::size_t kConsensusPassLimit = 10000;

// `pass_limit` bounds the iteration; the default is far above what real
// samples need. `dims` is 2 or 3, the coordinates of each landmark.
ConsensusResult getconsensus(Matrix x, std::size_t pass_limit = kConsensusPassLimit,
                             std::size_t dims = 2);

}  // namespace dg

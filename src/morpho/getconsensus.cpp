#include "morpho/getconsensus.hpp"

#include <Eigen/Dense>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "morpho/centpos.hpp"
#include "morpho/centsize.hpp"
#include "runtime/array/error.hpp"
#include "runtime/array/parallel.hpp"
#include "runtime/array/portable_math.hpp"
#include "runtime/array/progress.hpp"

namespace dg {
namespace {

// The iteration stops once the summed squared change of the consensus
// coordinates between two passes is at most this (0.1 * 2^-27).
constexpr double kConvergence = 7.450580596923829e-10;

// Below this largest turn of a pass (radians), the rows' turns are rounding
// rather than fitting, and a converging superimposition stops once they no
// longer shrink.
constexpr double kRoundingFloor = 1e-12;

// Rows rotated between two summing steps, and the least a thread is given.
constexpr std::size_t kChunkRows = 4096;
constexpr std::size_t kMinBlock = 512;

// Centres one configuration on its centroid, then divides its coordinates by
// its centroid size.
void normalise_row(std::span<double> row) {
  const std::size_t coords = row.size();
  const auto [cx, cy] = centpos(row);
  for (std::size_t c = 0; c < coords; c += 2) row[c] -= cx;
  for (std::size_t c = 1; c < coords; c += 2) row[c] -= cy;
  const double size = centsize(std::span<const double>(row));
  for (std::size_t c = 0; c < coords; ++c) row[c] /= size;
}

// Rotates one row about the origin by the angle that best fits it to ref in
// the least-squares sense and returns that angle's size. Only proper
// rotations are used, so a mirror image stays mirrored.
double rotate_onto(std::span<double> row, const std::vector<double>& ref) {
  const std::size_t k = row.size() / 2;
  double ct = 0.0;
  double st = 0.0;
  for (std::size_t j = 0; j < k; ++j) {
    const double u = row[2 * j];
    const double v = row[2 * j + 1];
    const double a = ref[2 * j];
    const double b = ref[2 * j + 1];
    ct += a * u + b * v;
    st += u * b - v * a;
  }
  // The cosine and sine of the angle straight from its two sums, so that no
  // C library's trigonometry (which differs between systems in the last bit)
  // is on the coordinates' road.
  const double r = std::sqrt(ct * ct + st * st);
  const double c = r > 0 ? ct / r : 1.0;
  const double s = r > 0 ? st / r : 0.0;
  for (std::size_t j = 0; j < k; ++j) {
    const double u = row[2 * j];
    const double v = row[2 * j + 1];
    row[2 * j] = u * c - v * s;
    row[2 * j + 1] = u * s + v * c;
  }
  return portable_atan2(std::abs(st), ct);
}

// The same for x y z landmarks.
void normalise_row_3d(std::span<double> row) {
  const std::size_t coords = row.size();
  const std::size_t k = coords / 3;
  double centre[3] = {0.0, 0.0, 0.0};
  for (std::size_t j = 0; j < k; ++j) {
    for (std::size_t d = 0; d < 3; ++d) centre[d] += row[3 * j + d];
  }
  for (double& c : centre) c /= static_cast<double>(k);
  for (std::size_t j = 0; j < k; ++j) {
    for (std::size_t d = 0; d < 3; ++d) row[3 * j + d] -= centre[d];
  }
  const double size = centsize(std::span<const double>(row), 3);
  for (std::size_t c = 0; c < coords; ++c) row[c] /= size;
}

// Turns one x y z row about the origin by the proper rotation that best fits
// it to ref: with the cross-covariance M = X' Ref = U S V', the rotation is
// U diag(1, 1, d) V', d = det(U V'), so a mirror image stays mirrored.
// Returns the size of the turn, |R - I| / sqrt(2) (the angle, for a small
// one), taken from the matrix itself so that a tiny turn is not lost.
double rotate_onto_3d(std::span<double> row, const std::vector<double>& ref) {
  const std::size_t k = row.size() / 3;
  Eigen::Matrix3d m = Eigen::Matrix3d::Zero();
  for (std::size_t j = 0; j < k; ++j) {
    for (int a = 0; a < 3; ++a) {
      const double u = row[3 * j + a];
      for (int b = 0; b < 3; ++b) m(a, b) += u * ref[3 * j + b];
    }
  }
  if (!m.allFinite()) {
    // A NaN or zero-size specimen has no rotation; it stays non-finite, as in 2-D.
    for (std::size_t c = 0; c < 3 * k; ++c) row[c] = std::nan("");
    return std::nan("");
  }
  const Eigen::JacobiSVD<Eigen::Matrix3d> svd(m, Eigen::ComputeFullU | Eigen::ComputeFullV);
  const Eigen::Matrix3d& u = svd.matrixU();
  const Eigen::Matrix3d& v = svd.matrixV();
  Eigen::Vector3d d(1.0, 1.0, (u * v.transpose()).determinant() < 0 ? -1.0 : 1.0);
  const Eigen::Matrix3d rotation = u * d.asDiagonal() * v.transpose();
  for (std::size_t j = 0; j < k; ++j) {
    const Eigen::RowVector3d p(row[3 * j], row[3 * j + 1], row[3 * j + 2]);
    const Eigen::RowVector3d q = p * rotation;
    for (int a = 0; a < 3; ++a) row[3 * j + a] = q(a);
  }
  return (rotation - Eigen::Matrix3d::Identity()).norm() / std::sqrt(2.0);
}

// The passes of a superimposition over its rotated rows and their
// reference, the normalised mean of the last pass.
class Passes {
 public:
  Passes(Matrix& rows, std::vector<double>& reference, std::size_t dims)
      : xpt_(rows),
        xref_(reference),
        spatial_(dims == 3),
        xrefold_(rows.cols()),
        sums_(rows.cols()) {}

  // Fits every row to the reference, then takes their normalised mean as the
  // new one. Returns the summed squared change of the reference; `scale` is
  // what the mean was divided by, `largest_turn` the largest turn of a row
  // (NaN when a row has no finite turn).
  double run(double& scale, double& largest_turn) {
    const std::size_t r = xpt_.rows();
    const std::size_t n = xpt_.cols();
    // Every row is fitted to the same reference, rows in blocks over the
    // threads; the column sums for the new mean are gathered on one thread in
    // row order, so they are the same bits for every thread count. A chunk is
    // summed while the next one is rotated, still warm in the cache.
    std::fill(sums_.begin(), sums_.end(), 0.0);
    const auto add_rows = [&](std::size_t begin, std::size_t end) {
      for (std::size_t i = begin; i < end; ++i) {
        const auto row = xpt_.row(i);
        for (std::size_t c = 0; c < n; ++c) sums_[c] += row[c];
      }
    };
    std::atomic<double> turn{0.0};
    std::size_t summed = 0;
    for (std::size_t chunk = 0; chunk < r; chunk += kChunkRows) {
      const std::size_t rows_here = std::min(kChunkRows, r - chunk);
      parallel_blocks(rows_here, kMinBlock, [&](std::size_t begin, std::size_t end) {
        // The first block runs on this thread, which alone touches the sums.
        if (begin == 0) {
          add_rows(summed, chunk);
          summed = chunk;
        }
        double largest = 0.0;
        for (std::size_t i = chunk + begin; i < chunk + end; ++i) {
          const double t =
              spatial_ ? rotate_onto_3d(xpt_.row(i), xref_) : rotate_onto(xpt_.row(i), xref_);
          // A NaN turn is kept: it is larger than any settled one.
          if (!(t <= largest)) largest = t;
          progress_every(i);
        }
        double seen = turn.load();
        while (!(largest <= seen) && !std::isnan(seen) &&
               !turn.compare_exchange_weak(seen, largest)) {
        }
      });
    }
    add_rows(summed, r);
    largest_turn = turn.load();

    xrefold_.swap(xref_);
    const double rows = static_cast<double>(r);
    for (std::size_t c = 0; c < n; ++c) xref_[c] = sums_[c] / rows;
    double squares = 0.0;
    for (std::size_t c = 0; c < n; ++c) squares += xref_[c] * xref_[c];
    scale = std::sqrt(squares);
    for (std::size_t c = 0; c < n; ++c) xref_[c] /= scale;

    double xd = 0.0;
    for (std::size_t c = 0; c < n; ++c) {
      const double d = xref_[c] - xrefold_[c];
      xd += d * d;
    }
    return xd;
  }

 private:
  Matrix& xpt_;
  std::vector<double>& xref_;
  bool spatial_;
  std::vector<double> xrefold_;
  std::vector<double> sums_;
};

}  // namespace

ConsensusResult getconsensus(Matrix x, std::size_t dims, std::size_t pass_limit) {
  const std::size_t r = x.rows();
  const std::size_t n = x.cols();
  if (r == 0) raise("The landmark matrix has no specimens; a consensus needs at least one.");
  const bool spatial = dims == 3;
  if (n % dims != 0) {
    raise("The coordinates have " + std::to_string(n) + " columns, which is not " +
          std::to_string(dims) + " per landmark.");
  }

  ConsensusResult result;
  result.superimposed = std::move(x);
  Matrix& xpt = result.superimposed;
  parallel_blocks(r, kMinBlock, [&](std::size_t begin, std::size_t end) {
    for (std::size_t i = begin; i < end; ++i) {
      spatial ? normalise_row_3d(xpt.row(i)) : normalise_row(xpt.row(i));
      progress_every(i);
    }
  });

  // The first specimen is the first reference, so the results take its orientation.
  const auto first = xpt.row(0);
  std::vector<double> xref(first.begin(), first.end());
  Passes passes(xpt, xref, dims);
  double xd = 1.0;
  while (xd > kConvergence) {
    if (result.passes == pass_limit) {
      result.reached_pass_limit = true;
      break;
    }
    ++result.passes;
    xd = passes.run(result.scale, result.last_turn);
  }

  result.non_finite = !std::isfinite(xd);
  result.consensus = Matrix::row_vector(xref);
  return result;
}

std::size_t converge_consensus(ConsensusResult& fit, std::size_t dims, std::size_t pass_limit) {
  if (fit.non_finite || fit.superimposed.rows() == 0) return 0;
  const auto consensus = fit.consensus.row(0);
  // A consensus that a degenerate specimen made non-finite would take every
  // row with it.
  for (const double v : consensus) {
    if (!std::isfinite(v)) return 0;
  }
  std::vector<double> xref(consensus.begin(), consensus.end());
  Passes passes(fit.superimposed, xref, dims);
  std::size_t added = 0;
  double previous = std::numeric_limits<double>::infinity();
  for (;;) {
    if (added == pass_limit) {
      fit.reached_pass_limit = true;
      break;
    }
    ++added;
    double turn = 0.0;
    const double xd = passes.run(fit.scale, turn);
    fit.last_turn = turn;
    if (!std::isfinite(xd) || std::isnan(turn)) {
      fit.non_finite = true;
      break;
    }
    // Settled, or at the floor where rounding alone turns the rows and the
    // turns no longer shrink.
    if (turn <= kSettledTurn || (turn < kRoundingFloor && turn > 0.9 * previous)) break;
    previous = turn;
  }
  fit.passes += added;
  fit.consensus = Matrix::row_vector(xref);
  return added;
}

}  // namespace dg

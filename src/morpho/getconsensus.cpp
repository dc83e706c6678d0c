#include "morpho/getconsensus.hpp"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "morpho/centpos.hpp"
#include "morpho/centsize.hpp"
#include "runtime/array/error.hpp"
#include "runtime/array/parallel.hpp"
#include "runtime/array/progress.hpp"

namespace dg {
namespace {

// The iteration stops once the summed squared change of the consensus
// coordinates between two passes is at most this (0.1 * 2^-27).
constexpr double kConvergence = 7.450580596923829e-10;

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
// the least-squares sense. Only proper rotations are used, so a mirror image
// stays mirrored.
void rotate_onto(std::span<double> row, const std::vector<double>& ref) {
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
  const double theta = std::atan2(st, ct);
  const double c = std::cos(theta);
  const double s = std::sin(theta);
  for (std::size_t j = 0; j < k; ++j) {
    const double u = row[2 * j];
    const double v = row[2 * j + 1];
    row[2 * j] = u * c - v * s;
    row[2 * j + 1] = u * s + v * c;
  }
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
void rotate_onto_3d(std::span<double> row, const std::vector<double>& ref) {
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
    return;
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
}

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
  std::vector<double> xrefold(n);
  std::vector<double> sums(n);
  const double rows = static_cast<double>(r);
  double xd = 1.0;

  while (xd > kConvergence) {
    if (result.passes == pass_limit) {
      result.reached_pass_limit = true;
      break;
    }
    ++result.passes;

    // Every row is fitted to the same reference, rows in blocks over the
    // threads; the column sums for the new mean are gathered on one thread in
    // row order, so they are the same bits for every thread count. A chunk is
    // summed while the next one is rotated, still warm in the cache.
    std::fill(sums.begin(), sums.end(), 0.0);
    const auto add_rows = [&](std::size_t begin, std::size_t end) {
      for (std::size_t i = begin; i < end; ++i) {
        const auto row = xpt.row(i);
        for (std::size_t c = 0; c < n; ++c) sums[c] += row[c];
      }
    };
    std::size_t summed = 0;
    for (std::size_t chunk = 0; chunk < r; chunk += kChunkRows) {
      const std::size_t rows_here = std::min(kChunkRows, r - chunk);
      parallel_blocks(rows_here, kMinBlock, [&](std::size_t begin, std::size_t end) {
        // The first block runs on this thread, which alone touches the sums.
        if (begin == 0) {
          add_rows(summed, chunk);
          summed = chunk;
        }
        for (std::size_t i = chunk + begin; i < chunk + end; ++i) {
          spatial ? rotate_onto_3d(xpt.row(i), xref) : rotate_onto(xpt.row(i), xref);
          progress_every(i);
        }
      });
    }
    add_rows(summed, r);

    xrefold.swap(xref);
    for (std::size_t c = 0; c < n; ++c) xref[c] = sums[c] / rows;
    double squares = 0.0;
    for (std::size_t c = 0; c < n; ++c) squares += xref[c] * xref[c];
    const double f = std::sqrt(squares);
    for (std::size_t c = 0; c < n; ++c) xref[c] /= f;
    result.scale = f;

    xd = 0.0;
    for (std::size_t c = 0; c < n; ++c) {
      const double d = xref[c] - xrefold[c];
      xd += d * d;
    }
  }

  result.non_finite = !std::isfinite(xd);
  result.consensus = Matrix::row_vector(xref);
  return result;
}

}  // namespace dg

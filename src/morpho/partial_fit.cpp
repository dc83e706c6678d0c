#include "morpho/partial_fit.hpp"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <limits>
#include <span>
#include <string>
#include <utility>

#include "runtime/array/error.hpp"

namespace dg {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

bool has_missing_coordinate(std::span<const double> row, std::size_t coords) {
  for (std::size_t c = 0; c < coords; ++c) {
    if (std::isnan(row[c])) return true;
  }
  return false;
}

// Fits one row onto the consensus by its present landmarks (translation,
// scale, proper rotation) and returns the fit's scale, or NaN when the row
// cannot be fitted, in which case all its coordinates become NaN.
double fit_present_landmarks(std::span<double> row, std::span<const double> consensus,
                             std::size_t k) {
  std::size_t m = 0;
  double sx = 0.0, sy = 0.0, cx = 0.0, cy = 0.0;
  for (std::size_t j = 0; j < k; ++j) {
    if (!landmark_present(row, j, 2)) continue;
    ++m;
    sx += row[2 * j];
    sy += row[2 * j + 1];
    cx += consensus[2 * j];
    cy += consensus[2 * j + 1];
  }
  if (m >= 2) {
    const auto count = static_cast<double>(m);
    sx /= count;
    sy /= count;
    cx /= count;
    cy /= count;
    double ct = 0.0, st = 0.0, squares = 0.0;
    for (std::size_t j = 0; j < k; ++j) {
      if (!landmark_present(row, j, 2)) continue;
      const double u = row[2 * j] - sx;
      const double v = row[2 * j + 1] - sy;
      const double a = consensus[2 * j] - cx;
      const double b = consensus[2 * j + 1] - cy;
      ct += a * u + b * v;
      st += u * b - v * a;
      squares += u * u + v * v;
    }
    // Coinciding landmarks (here or in the consensus) leave no size or
    // direction to fit, and a non-finite sum leaves nothing to trust.
    const double r = std::sqrt(ct * ct + st * st);
    const double s = r / squares;
    if (s > 0.0 && std::isfinite(s)) {
      // The angle's cosine and sine from the sums themselves, free of the C
      // library's trigonometry.
      const double c = ct / r;
      const double sn = st / r;
      for (std::size_t j = 0; j < k; ++j) {
        if (!landmark_present(row, j, 2)) {
          row[2 * j] = kNaN;
          row[2 * j + 1] = kNaN;
          continue;
        }
        const double u = row[2 * j] - sx;
        const double v = row[2 * j + 1] - sy;
        row[2 * j] = s * (u * c - v * sn) + cx;
        row[2 * j + 1] = s * (u * sn + v * c) + cy;
      }
      return s;
    }
  }
  for (std::size_t c = 0; c < 2 * k; ++c) row[c] = kNaN;
  return kNaN;
}

// fit_present_landmarks for x y z landmarks: the proper rotation from the
// SVD of the cross-covariance of the centred present landmarks, as the 3-D
// superimposition turns its specimens, and the least-squares scale.
double fit_present_landmarks_3d(std::span<double> row, std::span<const double> consensus,
                                std::size_t k) {
  Eigen::Vector3d s = Eigen::Vector3d::Zero(), c = Eigen::Vector3d::Zero();
  std::size_t m = 0;
  const auto at = [](std::span<const double> v, std::size_t j) {
    return Eigen::Vector3d(v[3 * j], v[3 * j + 1], v[3 * j + 2]);
  };
  for (std::size_t j = 0; j < k; ++j) {
    if (!landmark_present(row, j, 3)) continue;
    ++m;
    s += at(row, j);
    c += at(consensus, j);
  }
  if (m >= 2) {
    s /= static_cast<double>(m);
    c /= static_cast<double>(m);
    Eigen::Matrix3d cross = Eigen::Matrix3d::Zero();
    double squares = 0.0;
    for (std::size_t j = 0; j < k; ++j) {
      if (!landmark_present(row, j, 3)) continue;
      const Eigen::Vector3d u = at(row, j) - s;
      cross += u * (at(consensus, j) - c).transpose();
      squares += u.squaredNorm();
    }
    if (cross.allFinite()) {
      const Eigen::JacobiSVD<Eigen::Matrix3d> svd(cross, Eigen::ComputeFullU | Eigen::ComputeFullV);
      const Eigen::Matrix3d& u = svd.matrixU();
      const Eigen::Matrix3d& v = svd.matrixV();
      const double d = (u * v.transpose()).determinant() < 0 ? -1.0 : 1.0;
      const Eigen::Matrix3d rotation =
          u * Eigen::Vector3d(1.0, 1.0, d).asDiagonal() * v.transpose();
      // trace(R' M) = trace(D S): the sum of the singular values, the last one
      // signed as the rotation's determinant.
      const double scale = (rotation.transpose() * cross).trace() / squares;
      if (scale > 0.0 && std::isfinite(scale)) {
        for (std::size_t j = 0; j < k; ++j) {
          const bool here = landmark_present(row, j, 3);
          const Eigen::RowVector3d q =
              scale * (at(row, j) - s).transpose() * rotation + c.transpose();
          for (int a = 0; a < 3; ++a) row[3 * j + a] = here ? q(a) : kNaN;
        }
        return scale;
      }
    }
  }
  for (std::size_t i = 0; i < 3 * k; ++i) row[i] = kNaN;
  return kNaN;
}

}  // namespace

std::string no_complete_specimen(std::size_t rows, const std::string& source) {
  const std::string from = source.empty() ? "" : " " + source;
  return (rows == 1 ? "The only specimen" + from + " misses landmarks"
                    : "None of the " + std::to_string(rows) + " specimens" + from +
                          " has every landmark") +
         "; the superimposition needs at least one complete specimen.";
}

// Fits one row by its present landmarks, as fit_present_landmarks(_3d).
double fit_present(std::span<double> row, std::span<const double> consensus, std::size_t dims) {
  const std::size_t k = row.size() / dims;
  return dims == 3 ? fit_present_landmarks_3d(row, consensus, k)
                   : fit_present_landmarks(row, consensus, k);
}

PartialFitResult superimpose_with_missing(Matrix x, std::size_t dims) {
  PartialFitResult result;
  const std::size_t r = x.rows();
  const std::size_t coords = x.cols();
  // getconsensus names these shape errors itself.
  if (r == 0 || coords % dims != 0) {
    result.fit = getconsensus(std::move(x), dims);
    return result;
  }

  for (std::size_t i = 0; i < r; ++i) {
    if (has_missing_coordinate(x.row(i), coords)) ++result.incomplete;
  }
  if (result.incomplete == 0) {
    result.fit = getconsensus(std::move(x), dims);
    return result;
  }
  if (result.incomplete == r) raise(no_complete_specimen(r));

  Matrix complete(r - result.incomplete, coords);
  for (std::size_t i = 0, to = 0; i < r; ++i) {
    const auto row = x.row(i);
    if (has_missing_coordinate(row, coords)) continue;
    std::copy(row.begin(), row.end(), complete.row(to++).begin());
  }
  ConsensusResult fit = getconsensus(std::move(complete), dims);

  // The input becomes the output: complete rows take their superimposed
  // values back, incomplete ones are fitted where they stand.
  const auto consensus = fit.consensus.row(0);
  result.partial_size.assign(r, kNaN);
  for (std::size_t i = 0, from = 0; i < r; ++i) {
    const auto row = x.row(i);
    if (has_missing_coordinate(row, coords)) {
      result.partial_size[i] = 1.0 / fit_present(row, consensus, dims);
    } else {
      const auto fitted = fit.superimposed.row(from++);
      std::copy(fitted.begin(), fitted.end(), row.begin());
    }
  }
  fit.superimposed = std::move(x);
  result.fit = std::move(fit);
  return result;
}

std::size_t converge_with_missing(PartialFitResult& result, std::size_t dims) {
  ConsensusResult& fit = result.fit;
  if (result.incomplete == 0) return converge_consensus(fit, dims);
  // The complete rows converge on their own, as they were superimposed.
  Matrix x = std::move(fit.superimposed);
  const std::size_t r = x.rows();
  const std::size_t coords = x.cols();
  fit.superimposed = Matrix(r - result.incomplete, coords);
  for (std::size_t i = 0, to = 0; i < r; ++i) {
    const auto row = x.row(i);
    if (!has_missing_coordinate(row, coords)) {
      std::copy(row.begin(), row.end(), fit.superimposed.row(to++).begin());
    }
  }
  const std::size_t added = converge_consensus(fit, dims);
  const auto consensus = fit.consensus.row(0);
  for (std::size_t i = 0, from = 0; i < r; ++i) {
    const auto row = x.row(i);
    if (has_missing_coordinate(row, coords)) {
      // The row was fitted at 1 / partial_size of its size as read; the new
      // fit scales it by its own factor once more.
      result.partial_size[i] /= fit_present(row, consensus, dims);
    } else {
      const auto fitted = fit.superimposed.row(from++);
      std::copy(fitted.begin(), fitted.end(), row.begin());
    }
  }
  fit.superimposed = std::move(x);
  return added;
}

}  // namespace dg

#include "morpho/procrustes_outliers.hpp"

#include <Eigen/Dense>
#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>
#include <string>

#include "morpho/partial_fit.hpp"
#include "runtime/array/error.hpp"
#include "runtime/array/parallel.hpp"

namespace dg {
namespace {

constexpr double kNoDistance = SpecimenDistance::kNone;
// Rows measured per thread at least; the swap search is split by specimen.
constexpr std::size_t kMinScreenBlock = 2048;
constexpr std::size_t kMinSearchBlock = 4;

// The distance of one row to the consensus over its present landmarks, and
// the landmark that adds most to its square.
void measure(std::span<const double> row, std::span<const double> consensus, std::size_t dims,
             SpecimenDistance& out) {
  const std::size_t k = row.size() / dims;
  double total = 0.0, worst = -1.0;
  std::size_t worst_j = 0, count = 0;
  for (std::size_t j = 0; j < k; ++j) {
    if (!landmark_present(row, j, dims)) {
      out.incomplete = true;
      continue;
    }
    double squares = 0.0;
    for (std::size_t d = 0; d < dims; ++d) {
      const double diff = row[dims * j + d] - consensus[dims * j + d];
      squares += diff * diff;
    }
    total += squares;
    ++count;
    if (squares > worst) {
      worst = squares;
      worst_j = j;
    }
  }
  if (count == 0 || std::isnan(total)) return;
  out.distance = std::sqrt(total);
  if (total > 0.0) {
    out.worst_landmark = worst_j + 1;
    out.worst_share = worst / total;
  }
}

// A dims x dims cross-covariance, row-major: m[a * dims + b] sums x_a c_b
// over the landmarks, x the specimen's and c the consensus's coordinates.
using Cross = std::array<double, 9>;

// The largest trace(R M) over proper rotations R: the sum of M's singular
// values, the last one signed as M's determinant.
double best_rotation_trace(const Cross& m, std::size_t dims) {
  if (dims == 2) {
    // A square root of the sum of squares, which every C library rounds alike
    // (std::hypot does not).
    const double a = m[0] + m[3], b = m[1] - m[2];
    return std::sqrt(a * a + b * b);
  }
  const Eigen::Matrix3d cross =
      Eigen::Map<const Eigen::Matrix<double, 3, 3, Eigen::RowMajor>>(m.data());
  if (!cross.allFinite()) return kNoDistance;
  const Eigen::Vector3d s = Eigen::JacobiSVD<Eigen::Matrix3d>(cross).singularValues();
  return s(0) + s(1) + (cross.determinant() < 0 ? -s(2) : s(2));
}

// One specimen's present landmarks about their centroid, beside the
// consensus's same landmarks about theirs, for fitting it again.
struct Centred {
  std::size_t dims = 2;
  std::vector<double> x, c;  // m landmarks of dims coordinates each
  std::vector<std::size_t> landmarks;
  double xx = 0.0, cc = 0.0;  // their summed squares
  bool scaled = false;        // fitted with a least-squares scale (an incomplete specimen)

  std::size_t size() const { return landmarks.size(); }

  // The distance after the best proper rotation (and scale, when scaled)
  // for the cross-covariance m.
  double distance(const Cross& m) const {
    const double t = best_rotation_trace(m, dims);
    const double squares = scaled ? cc - t * t / xx : xx + cc - 2.0 * t;
    return std::sqrt(std::max(0.0, squares));
  }
};

Centred centre(std::span<const double> row, std::span<const double> consensus, std::size_t dims,
               bool scaled) {
  Centred f;
  f.dims = dims;
  f.scaled = scaled;
  const std::size_t k = row.size() / dims;
  double xm[3] = {0.0, 0.0, 0.0}, cm[3] = {0.0, 0.0, 0.0};
  for (std::size_t j = 0; j < k; ++j) {
    if (!landmark_present(row, j, dims)) continue;
    f.landmarks.push_back(j);
    for (std::size_t d = 0; d < dims; ++d) {
      f.x.push_back(row[dims * j + d]);
      f.c.push_back(consensus[dims * j + d]);
      xm[d] += row[dims * j + d];
      cm[d] += consensus[dims * j + d];
    }
  }
  const auto m = static_cast<double>(f.size());
  for (std::size_t i = 0; i < f.x.size(); ++i) {
    const std::size_t d = i % dims;
    f.x[i] -= xm[d] / m;
    f.c[i] -= cm[d] / m;
    f.xx += f.x[i] * f.x[i];
    f.cc += f.c[i] * f.c[i];
  }
  return f;
}

Cross cross_of(const Centred& f) {
  Cross m{};
  const std::size_t dims = f.dims;
  for (std::size_t j = 0; j < f.size(); ++j) {
    for (std::size_t a = 0; a < dims; ++a) {
      for (std::size_t b = 0; b < dims; ++b)
        m[a * dims + b] += f.x[dims * j + a] * f.c[dims * j + b];
    }
  }
  return m;
}

// Tries every swap of two present landmarks and the mirror image of a
// flagged specimen. Swapping landmarks i and j leaves the centroid and the
// summed squares as they were and changes the cross-covariance by
// (x_j - x_i)(c_i - c_j)', so each swap costs one small fit.
void search(std::span<const double> row, std::span<const double> consensus, std::size_t dims,
            SpecimenDistance& s) {
  const Centred f = centre(row, consensus, dims, s.incomplete);
  if (f.size() < 2 || !(f.xx > 0.0)) return;
  const Cross m = cross_of(f);

  double best = std::numeric_limits<double>::infinity();
  std::size_t best_i = 0, best_j = 0;
  for (std::size_t i = 0; i < f.size(); ++i) {
    const double* xi = &f.x[dims * i];
    const double* ci = &f.c[dims * i];
    for (std::size_t j = i + 1; j < f.size(); ++j) {
      const double* xj = &f.x[dims * j];
      const double* cj = &f.c[dims * j];
      Cross swapped = m;
      for (std::size_t a = 0; a < dims; ++a) {
        for (std::size_t b = 0; b < dims; ++b) {
          swapped[a * dims + b] += (xj[a] - xi[a]) * (ci[b] - cj[b]);
        }
      }
      const double d = f.distance(swapped);
      if (d < best) {
        best = d;
        best_i = i;
        best_j = j;
      }
    }
  }
  if (best <= 0.5 * s.distance) {
    s.swap_first = f.landmarks[best_i] + 1;
    s.swap_second = f.landmarks[best_j] + 1;
    s.distance_after_swap = best;
  }

  // The mirror image negates the first coordinate of every landmark: the
  // first row of the cross-covariance.
  Cross mirror = m;
  for (std::size_t b = 0; b < dims; ++b) mirror[b] = -mirror[b];
  s.mirror_distance = f.distance(mirror);
  s.mirrored = s.mirror_distance <= 0.5 * s.distance;
}

}  // namespace

double quantile_type7(std::span<const double> sorted, double p) {
  if (sorted.empty()) return kNoDistance;
  const double h = static_cast<double>(sorted.size() - 1) * p;
  const auto lo = static_cast<std::size_t>(std::floor(h));
  const std::size_t hi = std::min(lo + 1, sorted.size() - 1);
  const double g = h - static_cast<double>(lo);
  return g == 0.0 ? sorted[lo] : (1.0 - g) * sorted[lo] + g * sorted[hi];
}

OutlierScreen procrustes_outliers(const Matrix& superimposed, const Matrix& consensus,
                                  std::size_t dims) {
  const std::size_t r = superimposed.rows();
  const std::size_t n = superimposed.cols();
  if (consensus.rows() != 1 || consensus.cols() != n || n % dims != 0) {
    raise("The consensus has " + std::to_string(consensus.cols()) + " coordinates where the " +
          std::to_string(r) + " specimens have " + std::to_string(n) +
          "; the outlier screen needs the consensus they were fitted to.");
  }
  OutlierScreen screen;
  screen.specimens.resize(r);
  const auto c = consensus.row(0);
  parallel_blocks(r, kMinScreenBlock, [&](std::size_t begin, std::size_t end) {
    for (std::size_t i = begin; i < end; ++i)
      measure(superimposed.row(i), c, dims, screen.specimens[i]);
  });

  // Ranks from the largest distance down, ties in row order; the quartiles
  // of the same finite distances.
  std::vector<std::size_t> order;
  order.reserve(r);
  for (std::size_t i = 0; i < r; ++i) {
    if (!std::isnan(screen.specimens[i].distance)) order.push_back(i);
  }
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return screen.specimens[a].distance > screen.specimens[b].distance;
  });
  std::vector<double> sorted(order.size());
  for (std::size_t i = 0; i < order.size(); ++i) {
    screen.specimens[order[i]].rank = i + 1;
    sorted[order.size() - 1 - i] = screen.specimens[order[i]].distance;
  }
  screen.q1 = quantile_type7(sorted, 0.25);
  screen.q3 = quantile_type7(sorted, 0.75);
  screen.threshold = screen.q3 + 1.5 * (screen.q3 - screen.q1);

  std::vector<std::size_t> flagged;
  for (std::size_t i = 0; i < r; ++i) {
    SpecimenDistance& s = screen.specimens[i];
    s.flagged = s.distance > screen.threshold;
    if (s.flagged) flagged.push_back(i);
  }
  screen.flagged = flagged.size();
  parallel_blocks(flagged.size(), kMinSearchBlock, [&](std::size_t begin, std::size_t end) {
    for (std::size_t f = begin; f < end; ++f) {
      const std::size_t i = flagged[f];
      search(superimposed.row(i), c, dims, screen.specimens[i]);
    }
  });
  return screen;
}

}  // namespace dg

#include "morpho/size_shape.hpp"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <limits>

#include "runtime/array/error.hpp"

namespace dg {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::size_t group_of(std::span<const std::size_t> group, std::size_t row) {
  return group.empty() ? 0 : group[row];
}

void check_groups(std::span<const std::size_t> group, std::size_t rows, std::size_t groups) {
  if (!group.empty() && group.size() != rows) {
    raise("The groups name " + std::to_string(group.size()) + " specimens, the dataset has " +
          std::to_string(rows) + ".");
  }
  for (std::size_t g : group) {
    if (g >= groups)
      raise("A specimen's group is beyond the " + std::to_string(groups) + " named.");
  }
}

// The logarithm of a value a fit can take: positive and finite.
double fit_log(double v) {
  return v > 0 && std::isfinite(v) ? std::log(v) : kNaN;
}

}  // namespace

std::vector<ColumnSummary> summarise_columns(const Matrix& values,
                                             std::span<const std::size_t> group,
                                             std::size_t groups) {
  groups = std::max<std::size_t>(groups, 1);
  check_groups(group, values.rows(), groups);
  const std::size_t p = values.cols(), all = groups;
  std::vector<ColumnSummary> out((groups + 1) * p);
  std::vector<double> sum(out.size(), 0.0);
  // Calls f(at, value) for every value, in its group's summary and in all's.
  const auto each_value = [&](const auto& f) {
    for (std::size_t i = 0; i < values.rows(); ++i) {
      const std::size_t g = group_of(group, i);
      const std::span<const double> row = values.row(i);
      for (std::size_t j = 0; j < p; ++j) {
        f(g * p + j, row[j]);
        f(all * p + j, row[j]);
      }
    }
  };
  for (ColumnSummary& s : out) {
    s.min = std::numeric_limits<double>::infinity();
    s.max = -std::numeric_limits<double>::infinity();
  }
  const auto add = [&](std::size_t at, double v) {
    ColumnSummary& s = out[at];
    if (!std::isfinite(v)) {
      ++s.missing;
      return;
    }
    ++s.n;
    sum[at] += v;
    s.min = std::min(s.min, v);
    s.max = std::max(s.max, v);
  };
  each_value(add);
  for (std::size_t at = 0; at < out.size(); ++at) {
    out[at].mean = out[at].n == 0 ? kNaN : sum[at] / static_cast<double>(out[at].n);
  }
  // The squares of the deviations from the means, with the sum of the
  // deviations refining each mean (as R's mean() does).
  std::vector<double> squares(out.size(), 0.0), deviations(out.size(), 0.0);
  const auto deviate = [&](std::size_t at, double v) {
    if (!std::isfinite(v)) return;
    const double d = v - out[at].mean;
    deviations[at] += d;
    squares[at] += d * d;
  };
  each_value(deviate);
  for (std::size_t at = 0; at < out.size(); ++at) {
    ColumnSummary& s = out[at];
    const double n = static_cast<double>(s.n);
    if (s.n == 0) {
      s.min = s.max = kNaN;
    } else {
      s.mean += deviations[at] / n;
    }
    s.sd =
        s.n < 2 ? kNaN : std::sqrt((squares[at] - deviations[at] * deviations[at] / n) / (n - 1));
    s.cv_percent = s.n < 2 ? kNaN : 100 * s.sd / s.mean;
  }
  return out;
}

Allometry allometric_normalisation(const Matrix& y, std::span<const double> x,
                                   std::span<const std::size_t> group, std::size_t groups,
                                   std::optional<double> x0) {
  groups = std::max<std::size_t>(groups, 1);
  const std::size_t n = y.rows(), p = y.cols();
  if (x.size() != n)
    raise("The size variable has " + std::to_string(x.size()) + " values for " + std::to_string(n) +
          " specimens.");
  check_groups(group, n, groups);
  Allometry a;
  if (x0) {
    if (!(*x0 > 0) || !std::isfinite(*x0)) {
      raise("The reference size X0 must be a positive number, not " + std::to_string(*x0) + ".");
    }
    a.x0 = *x0;
  } else {
    double sum = 0;
    std::size_t count = 0;
    for (double v : x) {
      if (std::isfinite(v)) sum += v, ++count;
    }
    if (count == 0) raise("The size variable has no value to take the mean of.");
    a.x0 = sum / static_cast<double>(count);
  }
  std::vector<double> lx(n);
  for (std::size_t i = 0; i < n; ++i) lx[i] = fit_log(x[i]);

  a.slopes.resize(p);
  a.corrected = Matrix(n, p);
  std::vector<double> ly(n), mean_x(groups), mean_y(groups), count(groups);
  for (std::size_t j = 0; j < p; ++j) {
    // Each group's means over the specimens that have both logarithms.
    std::fill(mean_x.begin(), mean_x.end(), 0.0);
    std::fill(mean_y.begin(), mean_y.end(), 0.0);
    std::fill(count.begin(), count.end(), 0.0);
    for (std::size_t i = 0; i < n; ++i) {
      ly[i] = fit_log(y(i, j));
      if (std::isnan(ly[i]) || std::isnan(lx[i])) continue;
      const std::size_t g = group_of(group, i);
      mean_x[g] += lx[i];
      mean_y[g] += ly[i];
      ++count[g];
    }
    std::size_t used = 0, fitted_groups = 0;
    for (std::size_t g = 0; g < groups; ++g) {
      if (count[g] == 0) continue;
      mean_x[g] /= count[g];
      mean_y[g] /= count[g];
      used += static_cast<std::size_t>(count[g]);
      ++fitted_groups;
    }
    double sxx = 0, sxy = 0, syy = 0;
    for (std::size_t i = 0; i < n; ++i) {
      if (std::isnan(ly[i]) || std::isnan(lx[i])) continue;
      const std::size_t g = group_of(group, i);
      const double dx = lx[i] - mean_x[g], dy = ly[i] - mean_y[g];
      sxx += dx * dx;
      sxy += dx * dy;
      syy += dy * dy;
    }
    AllometricSlope& s = a.slopes[j];
    s.n = used;
    s.df = static_cast<double>(used) - static_cast<double>(fitted_groups) - 1;
    s.slope = sxx > 0 ? sxy / sxx : kNaN;
    s.r_squared = sxx > 0 && syy > 0 ? sxy * sxy / (sxx * syy) : kNaN;
    s.se = s.df > 0 && sxx > 0 ? std::sqrt(std::max(0.0, syy - s.slope * sxy) / s.df / sxx) : kNaN;
    for (std::size_t i = 0; i < n; ++i) {
      const bool usable = !std::isnan(ly[i]) && !std::isnan(lx[i]);
      a.corrected(i, j) = usable ? y(i, j) * std::pow(a.x0 / x[i], s.slope) : kNaN;
    }
  }
  return a;
}

Matrix log_shape_ratios(const Matrix& y) {
  Matrix out(y.rows(), y.cols());
  for (std::size_t i = 0; i < y.rows(); ++i) {
    const std::span<const double> row = y.row(i);
    const std::span<double> to = out.row(i);
    double mean = 0;
    for (std::size_t j = 0; j < row.size(); ++j) {
      to[j] = std::log(row[j]);
      mean += to[j];
    }
    mean /= static_cast<double>(row.size());
    for (double& v : to) v = std::isfinite(mean) ? v - mean : kNaN;
  }
  return out;
}

Burnaby burnaby_correction(const Matrix& y, BurnabyVector which) {
  const std::size_t n = y.rows(), p = y.cols();
  if (p < 2) raise("Burnaby's correction needs at least two distances.");
  Matrix z(n, p);
  std::vector<std::size_t> complete;
  for (std::size_t i = 0; i < n; ++i) {
    bool all = true;
    for (std::size_t j = 0; j < p; ++j) {
      z(i, j) = std::log(y(i, j));
      all = all && std::isfinite(z(i, j));
    }
    if (all) complete.push_back(i);
  }
  Burnaby b;
  b.used = complete.size();
  if (b.used < 2) {
    raise("Burnaby's correction needs two specimens with every distance; the sample has " +
          std::to_string(b.used) + ".");
  }
  // The covariance matrix of the complete specimens' rows of `m`.
  const auto covariance = [&](const Matrix& m) {
    Eigen::MatrixXd c(b.used, p);
    for (std::size_t r = 0; r < b.used; ++r) {
      for (std::size_t j = 0; j < p; ++j)
        c(static_cast<Eigen::Index>(r), static_cast<Eigen::Index>(j)) = m(complete[r], j);
    }
    c.rowwise() -= c.colwise().mean();
    return Eigen::MatrixXd((c.transpose() * c) / static_cast<double>(b.used - 1));
  };
  Eigen::VectorXd v = Eigen::VectorXd::Ones(static_cast<Eigen::Index>(p));
  if (which == BurnabyVector::first_component) {
    Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> solver(covariance(z));
    v = solver.eigenvectors().col(static_cast<Eigen::Index>(p) - 1);
    Eigen::Index largest = 0;
    v.cwiseAbs().maxCoeff(&largest);
    if (v(largest) < 0) v = -v;
  }
  v.normalize();
  b.vector.assign(v.data(), v.data() + p);
  b.corrected = Matrix(n, p);
  for (std::size_t i = 0; i < n; ++i) {
    double along = 0;
    for (std::size_t j = 0; j < p; ++j) along += z(i, j) * b.vector[j];
    for (std::size_t j = 0; j < p; ++j) b.corrected(i, j) = z(i, j) - along * b.vector[j];
  }
  // The rank counts the eigenvalues above the rounding of the largest.
  Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> corrected(covariance(b.corrected),
                                                           Eigen::EigenvaluesOnly);
  const Eigen::VectorXd values = corrected.eigenvalues();
  const double tolerance = values.cwiseAbs().maxCoeff() * static_cast<double>(p) * 1e-12;
  for (Eigen::Index k = 0; k < values.size(); ++k) b.rank += values(k) > tolerance ? 1 : 0;
  return b;
}

}  // namespace dg

// Describing variables and separating size from shape in a dataset of
// distances, one specimen a row (n x p, NaN for a missing value):
//
// summarise_columns: per group and all together, each column's count, mean,
// standard deviation (n - 1), coefficient of variation (100 sd / mean),
// minimum, maximum and missing (non-finite) count.
//
// allometric_normalisation (Lleonart, Rubio & Salat 2000, J. Theor. Biol.
// 205:85-93): Y* = Y (X0 / X)^b for each distance Y, with X a size variable,
// b the ordinary least-squares slope of ln Y on ln X (pooled within groups:
// each group's logarithms centred on their own means, as lm(log(Y) ~ group +
// log(X)) fits it) and X0 the mean of X unless given. A specimen whose Y or
// X is missing or not positive is left out of the slope and gets NaN.
//
// log_shape_ratios (Mosimann 1970, J. Am. Stat. Assoc. 65:930-945): ln Y_j
// minus the mean of ln Y over the specimen's distances; NaN for every
// distance of a specimen with one missing.
//
// burnaby_correction (Burnaby 1966, Biometrics 22:96-110): Z (I - V (V'V)^-1
// V') of the log distances Z, with V the isometric vector (1, ..., 1) or the
// first principal component of Z's covariance matrix (specimens with a
// missing distance left out of it); the corrected covariance matrix has lost
// at least one dimension, and the result says how many.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "runtime/array/matrix.hpp"

namespace dg {

struct ColumnSummary {
  std::size_t n = 0, missing = 0;
  double mean, sd, cv_percent, min, max;  // NaN where there is no value (sd: fewer than two)
};

// A summary per column for each group (rows by `group`, 0 to groups - 1; an
// empty `group` puts every row in group 0), then one of all rows together:
// (groups + 1) x p, group-major, the last p all rows'. With one group the
// last p are the same as the first.
std::vector<ColumnSummary> summarise_columns(const Matrix& values,
                                             std::span<const std::size_t> group,
                                             std::size_t groups);

struct AllometricSlope {
  double slope, se, r_squared;  // r_squared: of ln Y within groups
  std::size_t n = 0;            // specimens of the fit
  double df;                    // residual degrees of freedom: n - groups - 1
};

struct Allometry {
  Matrix corrected;  // n x p
  std::vector<AllometricSlope> slopes;
  double x0;
};

Allometry allometric_normalisation(const Matrix& y, std::span<const double> x,
                                   std::span<const std::size_t> group, std::size_t groups,
                                   std::optional<double> x0 = std::nullopt);

Matrix log_shape_ratios(const Matrix& y);

enum class BurnabyVector { isometric, first_component };

struct Burnaby {
  Matrix corrected;            // n x p: the corrected log distances
  std::vector<double> vector;  // V, of unit length
  std::size_t rank = 0;        // of the corrected covariance matrix, of p
  std::size_t used = 0;        // specimens without a missing distance
};

Burnaby burnaby_correction(const Matrix& y, BurnabyVector v);

}  // namespace dg

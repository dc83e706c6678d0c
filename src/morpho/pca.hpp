// Principal components of a dataset (n x p, one specimen a row), from the
// eigenvectors of its covariance matrix, or of its correlation matrix (each
// variable scaled by its standard deviation first), as R's prcomp() gives
// them: the variables centred on their means, n - 1 in the variances,
// min(n, p) components in the order of their variances. Specimens with a
// missing value are left out of the fit and get NaN scores.
//
// The sign of a component is arbitrary; here its loading of largest
// magnitude is positive, so the same data give the same signs every time.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "runtime/array/matrix.hpp"

namespace dg {

struct Pca {
  bool correlation = false;
  std::vector<double> centre, scale;  // per variable; scale 1 for the covariance
  Matrix loadings;                    // p x m, a component a column
  std::vector<double> sdev;           // m: the square roots of the eigenvalues
  Matrix scores;                      // n x m
  std::size_t used = 0;               // specimens of the fit
};

// `names` name the variables in errors: fewer than two complete specimens,
// and for the correlation matrix a variable that does not vary.
Pca principal_components(const Matrix& data, bool correlation,
                         const std::vector<std::string>& names);

}  // namespace dg

#include "morpho/pca.hpp"

#include <Eigen/Dense>
#include <cmath>
#include <limits>

#include "runtime/array/error.hpp"

namespace dg {

Pca principal_components(const Matrix& data, bool correlation,
                         const std::vector<std::string>& names) {
  using Eigen::Index;
  const std::size_t n = data.rows(), p = data.cols();
  std::vector<std::size_t> complete;
  for (std::size_t i = 0; i < n; ++i) {
    bool all = true;
    for (double v : data.row(i)) all = all && std::isfinite(v);
    if (all) complete.push_back(i);
  }
  if (p == 0) raise("A principal component analysis needs at least one variable.");
  if (complete.size() < 2) {
    raise("A principal component analysis needs two specimens with every value; the dataset has " +
          std::to_string(complete.size()) + ".");
  }
  Pca pca;
  pca.correlation = correlation;
  pca.used = complete.size();
  Eigen::MatrixXd x(static_cast<Index>(pca.used), static_cast<Index>(p));
  for (std::size_t r = 0; r < pca.used; ++r) {
    const std::span<const double> row = data.row(complete[r]);
    for (std::size_t j = 0; j < p; ++j) x(static_cast<Index>(r), static_cast<Index>(j)) = row[j];
  }
  const Eigen::RowVectorXd centre = x.colwise().mean();
  x.rowwise() -= centre;
  Eigen::RowVectorXd scale = Eigen::RowVectorXd::Ones(static_cast<Index>(p));
  const double df = static_cast<double>(pca.used - 1);
  if (correlation) {
    scale = (x.colwise().squaredNorm() / df).cwiseSqrt();
    for (std::size_t j = 0; j < p; ++j) {
      if (!(scale(static_cast<Index>(j)) > 0)) {
        raise("The variable " + (j < names.size() ? names[j] : std::to_string(j + 1)) +
              " does not vary, so the correlation matrix cannot be formed; use the covariance "
              "matrix or leave it out.");
      }
    }
    x.array().rowwise() /= scale.array();
  }
  const Eigen::MatrixXd covariance = (x.transpose() * x) / df;
  const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> solver(covariance);
  if (solver.info() != Eigen::Success) raise("The principal components could not be computed.");

  const std::size_t m = std::min(pca.used, p);
  pca.centre.assign(centre.data(), centre.data() + p);
  pca.scale.assign(scale.data(), scale.data() + p);
  pca.loadings = Matrix(p, m);
  pca.sdev.resize(m);
  Eigen::MatrixXd vectors(static_cast<Index>(p), static_cast<Index>(m));
  for (std::size_t c = 0; c < m; ++c) {
    // The solver orders the eigenvalues upwards; components go downwards.
    const Index from = static_cast<Index>(p - 1 - c);
    Eigen::VectorXd v = solver.eigenvectors().col(from);
    Index largest = 0;
    v.cwiseAbs().maxCoeff(&largest);
    if (v(largest) < 0) v = -v;
    vectors.col(static_cast<Index>(c)) = v;
    pca.sdev[c] = std::sqrt(std::max(0.0, solver.eigenvalues()(from)));
    for (std::size_t j = 0; j < p; ++j) pca.loadings(j, c) = v(static_cast<Index>(j));
  }
  const Eigen::MatrixXd scores = x * vectors;
  pca.scores = Matrix(n, m, std::numeric_limits<double>::quiet_NaN());
  for (std::size_t r = 0; r < pca.used; ++r) {
    for (std::size_t c = 0; c < m; ++c) {
      pca.scores(complete[r], c) = scores(static_cast<Index>(r), static_cast<Index>(c));
    }
  }
  return pca;
}

}  // namespace dg

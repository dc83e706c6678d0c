// Times the summary and the principal components of a dataset of distances:
//
//   size_bench [SPECIMENS] [DISTANCES] [RUNS]
//
// A lognormal dataset of SPECIMENS x DISTANCES (default 100,000 x 50) in two
// groups, sharing a size factor so the components are not all alike. Prints
// the median and best seconds of the runs for summarise_columns (every
// column, per group and all together), principal_components on the
// covariance and on the correlation matrix, and the three size corrections.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "morpho/pca.hpp"
#include "morpho/size_shape.hpp"

namespace {

void time(const char* name, int runs, const std::function<void()>& body) {
  std::vector<double> seconds;
  for (int r = 0; r < runs; ++r) {
    const auto start = std::chrono::steady_clock::now();
    body();
    seconds.push_back(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(seconds.begin(), seconds.end());
  std::printf("%-28s median %.4f s  best %.4f s\n", name, seconds[seconds.size() / 2], seconds[0]);
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t n = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100000;
  const std::size_t p = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 50;
  const int runs = argc > 3 ? std::atoi(argv[3]) : 5;
  std::mt19937_64 random(3);
  std::normal_distribution<double> normal(0.0, 1.0);
  dg::Matrix y(n, p);
  std::vector<double> size(n);
  std::vector<std::size_t> group(n);
  for (std::size_t i = 0; i < n; ++i) {
    group[i] = i % 2;
    const double factor = 0.3 * normal(random) + 0.1 * static_cast<double>(group[i]);
    size[i] = std::exp(4 + factor);
    for (std::size_t j = 0; j < p; ++j) {
      y(i, j) = std::exp(1 + 0.02 * static_cast<double>(j) +
                         factor * (0.8 + 0.01 * static_cast<double>(j)) + 0.05 * normal(random));
    }
  }
  std::printf("%zu specimens x %zu distances, %d runs\n", n, p, runs);
  std::vector<std::string> names(p, "d");
  double sink = 0;
  time("summary (2 groups + all)", runs,
       [&] { sink += dg::summarise_columns(y, group, 2)[0].mean; });
  time("pca covariance", runs, [&] { sink += dg::principal_components(y, false, names).sdev[0]; });
  time("pca correlation", runs, [&] { sink += dg::principal_components(y, true, names).sdev[0]; });
  time("summary + pca covariance", runs, [&] {
    sink += dg::summarise_columns(y, group, 2)[0].mean;
    sink += dg::principal_components(y, false, names).sdev[0];
  });
  time("allometric (2 groups)", runs,
       [&] { sink += dg::allometric_normalisation(y, size, group, 2).x0; });
  time("log-shape ratios", runs, [&] { sink += dg::log_shape_ratios(y)(0, 0); });
  time("burnaby (pc1)", runs, [&] {
    sink += static_cast<double>(dg::burnaby_correction(y, dg::BurnabyVector::first_component).rank);
  });
  return sink == 0.12345 ? 1 : 0;
}

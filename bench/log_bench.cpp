// Times portable_log against the C library's std::log:
//
//   log_bench [VALUES] [RUNS]
//
// Three mixes of VALUES numbers each (default 5,000,000) of the kinds the
// batch tool takes logarithms of: "distance" (lognormal, mu 3, sigma 1),
// "ratio" (constrained distances, 0.01 to 1) and "size" (centroid sizes, 100
// to 2000). Prints the median and best nanoseconds per call of the runs.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "runtime/array/portable_math.hpp"

namespace {

template <class Distribution>
std::vector<double> mix(std::size_t n, Distribution distribution) {
  std::mt19937_64 random(13);
  std::vector<double> values(n);
  for (double& v : values) v = distribution(random);
  return values;
}

// The sum keeps the calls from being optimised away.
template <class Log>
void time_log(const char* name, const std::vector<double>& values, int runs, Log log) {
  std::vector<double> seconds;
  double sum = 0;
  for (int r = 0; r < runs; ++r) {
    sum = 0;
    auto start = std::chrono::steady_clock::now();
    for (double v : values) sum += log(v);
    seconds.push_back(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(seconds.begin(), seconds.end());
  double per = 1e9 / static_cast<double>(values.size());
  std::printf("%-22s median %5.1f ns/call, best %5.1f ns/call (sum %.6g)\n", name,
              seconds[seconds.size() / 2] * per, seconds.front() * per, sum);
}

void time_mix(const char* name, const std::vector<double>& values, int runs) {
  char label[64];
  std::snprintf(label, sizeof label, "%s portable_log", name);
  time_log(label, values, runs, [](double v) { return dg::portable_log(v); });
  std::snprintf(label, sizeof label, "%s std::log", name);
  time_log(label, values, runs, [](double v) { return std::log(v); });
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t n = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 5000000;
  int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  time_mix("distance", mix(n, std::lognormal_distribution<double>(3.0, 1.0)), runs);
  time_mix("ratio", mix(n, std::uniform_real_distribution<double>(0.01, 1.0)), runs);
  time_mix("size", mix(n, std::uniform_real_distribution<double>(100.0, 2000.0)), runs);
}

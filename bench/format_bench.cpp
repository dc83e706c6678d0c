// Times write_g, the "%g" writer behind every dataset value:
//
//   format_bench [VALUES] [RUNS]
//
// Two mixes of VALUES numbers each (default 5,000,000): "dataset" holds what
// the batch tool writes (distances, their logarithms, angles, superimposed
// coordinates), "wide" holds random bit patterns over every exponent. Prints
// the median and best nanoseconds per value of the runs.
#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "runtime/array/format.hpp"

namespace {

std::vector<double> dataset_mix(std::size_t n) {
  std::mt19937_64 random(7);
  std::lognormal_distribution<double> distance(3.0, 1.0);
  std::uniform_real_distribution<double> angle(0.0, 180.0);
  std::normal_distribution<double> coordinate(0.0, 0.1);
  std::vector<double> values(n);
  for (std::size_t i = 0; i < n; ++i) {
    switch (i % 4) {
      case 0:
        values[i] = distance(random);
        break;
      case 1:
        values[i] = std::log(distance(random));
        break;
      case 2:
        values[i] = angle(random);
        break;
      default:
        values[i] = coordinate(random);
        break;
    }
  }
  return values;
}

std::vector<double> wide_mix(std::size_t n) {
  std::mt19937_64 random(11);
  std::vector<double> values;
  values.reserve(n);
  while (values.size() < n) {
    double v = std::bit_cast<double>(random());
    if (std::isfinite(v)) values.push_back(v);
  }
  return values;
}

void time_mix(const char* name, const std::vector<double>& values, int runs) {
  std::vector<double> seconds;
  std::size_t bytes = 0;
  char buffer[dg::kMaxG];
  for (int r = 0; r < runs; ++r) {
    bytes = 0;
    auto start = std::chrono::steady_clock::now();
    for (double v : values) bytes += static_cast<std::size_t>(dg::write_g(buffer, v) - buffer);
    seconds.push_back(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(seconds.begin(), seconds.end());
  double per = 1e9 / static_cast<double>(values.size());
  std::printf("%-8s %zu values, %zu bytes: median %.1f ns/value, best %.1f ns/value\n", name,
              values.size(), bytes, seconds[seconds.size() / 2] * per, seconds.front() * per);
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t n = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 5000000;
  int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  time_mix("dataset", dataset_mix(n), runs);
  time_mix("wide", wide_mix(n), runs);
}

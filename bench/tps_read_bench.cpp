// Times reading a TPS file into the landmark matrix (with its size column), as
// a load does before the superimposition:
//
//   tps_read_bench FILE [RUNS] [THREADS]
//
// Prints the median and best time of the runs and the reading speed in MB/s.
// THREADS is the thread count (default: the machine's cores).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "input/tps_scan.hpp"
#include "morpho/centsize.hpp"
#include "runtime/array/parallel.hpp"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: tps_read_bench FILE [RUNS] [THREADS]\n");
    return 2;
  }
  int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  if (argc > 3) dg::set_thread_count(static_cast<std::size_t>(std::max(1, std::atoi(argv[3]))));
  double megabytes = static_cast<double>(std::filesystem::file_size(argv[1])) / 1e6;
  std::vector<double> seconds;
  std::size_t rows = 0;
  for (int r = 0; r < runs; ++r) {
    auto start = std::chrono::steady_clock::now();
    dg::TpsData data = dg::read_tps_file(argv[1], false, dg::centsize);
    seconds.push_back(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    rows = data.coordinates.rows();
  }
  std::sort(seconds.begin(), seconds.end());
  double median = seconds[seconds.size() / 2];
  std::printf(
      "reading %.1f MB (%zu specimens, %zu threads): median %.3f s, best %.3f s, %.0f MB/s\n",
      megabytes, rows, dg::thread_count(), median, seconds.front(), megabytes / median);
}

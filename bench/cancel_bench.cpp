// Times how soon a load of a TPS file stops once it is cancelled, as the
// window cancels one on Esc, a second load, Clear or Exit:
//
//   cancel_bench FILE [RUNS]
//
// Runs load_sample on FILE off the calling thread RUNS times (3 by default)
// for each of several moments, cancels it then, and prints the median and the
// longest wait from the cancel to the work's end. Target: under 0.1 s at any
// moment of the load.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "pipeline/load_sample.hpp"
#include "runtime/array/background.hpp"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: cancel_bench FILE [RUNS]\n");
    return 2;
  }
  const std::string file = argv[1];
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  using Clock = std::chrono::steady_clock;
  std::vector<double> waits;
  for (int run = 0; run < runs; ++run) {
    for (const int after : {1, 10, 50, 100, 150, 200, 300, 500, 800, 1200}) {
      std::vector<std::string> warnings;
      dg::BackgroundWork work([&] { dg::load_sample({file}, dg::LoadOptions{}, warnings); });
      std::this_thread::sleep_for(std::chrono::milliseconds(after));
      const auto cancelled = Clock::now();
      work.cancel(dg::BackgroundWork::Reason::user);
      try {
        work.wait();
      } catch (const dg::WorkCancelled&) {
      }
      waits.push_back(std::chrono::duration<double>(Clock::now() - cancelled).count());
    }
  }
  std::sort(waits.begin(), waits.end());
  std::printf(
      "cancelling a load of %s (%zu times from 1 ms to 1.2 s in): median %.1f ms, "
      "longest %.1f ms\n",
      file.c_str(), waits.size(), 1e3 * waits[waits.size() / 2], 1e3 * waits.back());
}

// Times the graphics object tree the way a drawn sample uses it: one
// single-point line per landmark, restyled by name afterwards.
//
//   graphics_bench [--objects N] [--runs R]
//
// Steps, each run on a fresh tree (one axes, hold on):
//   create   plot(x, y, "ko") N times, then set "MarkerSize" 3 on each
//   walk     children of the axes, get(h, "Type") on each
//   restyle  for each line: set "MarkerSize" to get(h, "MarkerSize") + 1
// Reports the median of the runs per step and the peak resident memory growth
// per object; the peak includes the handle lists the benchmark itself holds
// (at most 16 bytes per object).
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/graphics/graphics.hpp"
#include "runtime/graphics/headless_platform.hpp"

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// A field of /proc/self/status in kB, or -1 when unavailable.
long status_kb(std::string_view field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.compare(0, field.size(), field) == 0 && line.size() > field.size() &&
        line[field.size()] == ':') {
      return std::strtol(line.c_str() + field.size() + 1, nullptr, 10);
    }
  }
  return -1;
}

// Resets the peak resident size (VmHWM) to the current one; false when the
// kernel does not allow it.
bool reset_peak_rss() {
  std::ofstream out("/proc/self/clear_refs");
  out << "5";
  out.flush();
  return static_cast<bool>(out);
}

// Bytes allocated with malloc and still in use, small and mapped blocks alike.
std::size_t heap_in_use() {
  struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
}

struct RunResult {
  double create = 0, walk = 0, restyle = 0;
  double plot = 0;         // the plot calls alone, part of create
  double peak_bytes = -1;  // peak resident growth over the run, -1 when unknown
  double heap_bytes = 0;   // heap in use by the tree after creation
  std::size_t lines = 0;
};

RunResult run_once(std::size_t n, bool& peak_reset) {
  RunResult r;
  malloc_trim(0);
  peak_reset = reset_peak_rss();
  long rss_before = status_kb("VmRSS");
  std::size_t heap_before = heap_in_use();

  auto platform = std::make_unique<dg::HeadlessPlatform>();
  auto g = std::make_unique<dg::Graphics>(*platform);
  dg::Handle axes = g->gca();
  g->hold(true);

  auto t = Clock::now();
  std::vector<dg::Handle> made(n);
  for (std::size_t i = 0; i < n; ++i) {
    double x = static_cast<double>(i % 1000), y = static_cast<double>(i / 1000);
    made[i] = g->plot(std::span<const double>(&x, 1), std::span<const double>(&y, 1), "ko");
  }
  r.plot = seconds_since(t);
  const dg::Value three(3.0);
  for (dg::Handle h : made) g->set(h, "MarkerSize", three);
  r.create = seconds_since(t);
  std::vector<dg::Handle>().swap(made);
  r.heap_bytes = static_cast<double>(heap_in_use() - heap_before);

  t = Clock::now();
  std::vector<dg::Handle> kids = g->children(axes);
  std::vector<dg::Handle> lines;
  lines.reserve(kids.size());
  for (dg::Handle h : kids) {
    if (g->get(h, "Type").text().starts_with('l')) lines.push_back(h);
  }
  r.walk = seconds_since(t);

  t = Clock::now();
  for (dg::Handle h : lines) {
    g->set(h, "MarkerSize", dg::Value(g->get(h, "MarkerSize").scalar() + 1));
  }
  r.restyle = seconds_since(t);
  r.lines = lines.size();

  long peak = status_kb("VmHWM");
  if (peak >= 0 && rss_before >= 0) r.peak_bytes = 1024.0 * static_cast<double>(peak - rss_before);

  // Check the work was done, so nothing above can be skipped.
  if (lines.size() != n || g->get(lines.back(), "MarkerSize").scalar() != 4.0) {
    std::fprintf(stderr, "graphics_bench: the tree does not hold what was drawn\n");
    std::exit(1);
  }
  return r;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  std::size_t m = v.size() / 2;
  return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
}

const char* verdict(bool ok) {
  return ok ? "ok" : "MISSED";
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t n = 1'000'000;
  int runs = 5;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg == "--objects" && i + 1 < argc) {
      n = std::strtoull(argv[++i], nullptr, 10);
    } else if (arg == "--runs" && i + 1 < argc) {
      runs = std::atoi(argv[++i]);
    } else {
      std::fprintf(stderr, "usage: graphics_bench [--objects N] [--runs R]\n");
      return 2;
    }
  }
  if (n == 0 || runs < 1) {
    std::fprintf(stderr, "graphics_bench: need at least one object and one run\n");
    return 2;
  }

  std::vector<double> create, plot, walk, restyle, peak, heap;
  bool all_reset = true;
  for (int run = 0; run < runs; ++run) {
    bool reset = false;
    RunResult r = run_once(n, reset);
    all_reset = all_reset && reset;
    create.push_back(r.create);
    plot.push_back(r.plot);
    walk.push_back(r.walk);
    restyle.push_back(r.restyle);
    heap.push_back(r.heap_bytes);
    if (r.peak_bytes >= 0) peak.push_back(r.peak_bytes);
    std::fprintf(stderr, "run %d: create %.3f s (plot %.3f s), walk %.3f s, restyle %.3f s\n",
                 run + 1, r.create, r.plot, r.walk, r.restyle);
  }

  double per = static_cast<double>(n);
  double c = median(create), w = median(walk), s = median(restyle);
  std::printf("graphics tree: %zu single-point lines in one axes, median of %d runs\n", n, runs);
  std::printf("  %-44s %10s %10s  %s\n", "step", "median", "target", "");
  std::printf("  %-44s %8.3f s %8s s  %s\n", "create (plot \"ko\" + MarkerSize 3 on each)", c, "1",
              verdict(c < 1));
  std::printf("  %-44s %8.3f s\n", "  of which plot calls", median(plot));
  std::printf("  %-44s %8.3f s\n", "  of which set MarkerSize 3", median(create) - median(plot));
  std::printf("  %-44s %8.3f s %8s s  %s\n", "walk (children + get Type on each)", w, "1",
              verdict(w < 1));
  std::printf("  %-44s %8.3f s %8s s  %s\n", "restyle (get + set MarkerSize on each line)", s, "1",
              verdict(s < 1));
  // Without a peak reset between runs only the first run's peak is its own.
  if (!all_reset && !peak.empty()) peak.resize(1);
  if (!peak.empty()) {
    double b = median(peak) / per;
    std::printf("  %-44s %8.1f B %8s B  %s\n", "peak RSS growth per object", b, "200",
                verdict(b < 200));
  } else {
    std::printf("  %-44s %10s\n", "peak RSS growth per object", "unavailable");
  }
  std::printf("  %-44s %8.1f B\n", "heap in use per object after create", median(heap) / per);
  return 0;
}

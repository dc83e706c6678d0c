// Times drawing a sample and restyling it as the window's menu does:
//
//   styling_bench [--specimens N] [--landmarks K] [--runs R]
//
// Draws N x K single-point lines with showshape (as a load does), then runs
// each styling command over the axes' children. Reports the median of R runs,
// each on a fresh tree.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "display/incrementlinethickness.hpp"
#include "display/incrementsymbolsize.hpp"
#include "display/setlinethickness.hpp"
#include "display/setsymbolbw.hpp"
#include "display/setsymbolfill.hpp"
#include "display/showshape.hpp"
#include "runtime/graphics/headless_platform.hpp"

namespace {

using Clock = std::chrono::steady_clock;

struct Step {
  const char* name;
  std::function<void(dg::Graphics&, dg::Handle)> run;
  std::vector<double> seconds;
};

}  // namespace

int main(int argc, char** argv) {
  std::size_t specimens = 10000, landmarks = 50, runs = 3;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string flag = argv[i];
    std::size_t value = std::strtoul(argv[i + 1], nullptr, 10);
    if (flag == "--specimens") specimens = value;
    if (flag == "--landmarks") landmarks = value;
    if (flag == "--runs") runs = value;
  }
  dg::Matrix sample(specimens, 2 * landmarks + 1);
  for (std::size_t i = 0; i < sample.size(); ++i) sample.data()[i] = (i * 7919 % 1000) / 1000.0;

  std::vector<Step> steps{
      {"showshape (draw)", nullptr, {}},
      {"setsymbolfill 1", [](dg::Graphics& g, dg::Handle a) { dg::setsymbolfill(g, a, 1); }, {}},
      {"setsymbolfill 0", [](dg::Graphics& g, dg::Handle a) { dg::setsymbolfill(g, a, 0); }, {}},
      {"incrementsymbolsize +1",
       [](dg::Graphics& g, dg::Handle a) { dg::incrementsymbolsize(g, a, 1); },
       {}},
      {"incrementlinethickness +0.5",
       [](dg::Graphics& g, dg::Handle a) { dg::incrementlinethickness(g, a, 0.5); },
       {}},
      {"setlinethickness 1",
       [](dg::Graphics& g, dg::Handle a) { dg::setlinethickness(g, a, 1); },
       {}},
      {"setsymbolbw", [](dg::Graphics& g, dg::Handle a) { dg::setsymbolbw(g, a); }, {}},
  };
  for (std::size_t r = 0; r < runs; ++r) {
    dg::HeadlessPlatform platform;
    dg::Graphics graphics(platform);
    auto start = Clock::now();
    dg::showshape(graphics, sample, "ko");
    steps[0].seconds.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    dg::Handle axes = graphics.gca();
    for (std::size_t s = 1; s < steps.size(); ++s) {
      start = Clock::now();
      steps[s].run(graphics, axes);
      steps[s].seconds.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
  }
  std::printf("%zu specimens x %zu landmarks = %zu line objects, median of %zu runs\n", specimens,
              landmarks, specimens * landmarks, runs);
  for (auto& step : steps) {
    std::sort(step.seconds.begin(), step.seconds.end());
    std::printf("  %-30s %7.3f s\n", step.name, step.seconds[step.seconds.size() / 2]);
  }
}

// Replays every seed of fuzz/corpus/<target>/ and every fixed fault of
// fuzz/regressions/<target>/ through the check its fuzz target runs, so the
// faults fuzzing found stay fixed in every build, without libFuzzer.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz_checks.hpp"

namespace dg::fuzz {
namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> bytes_of(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(FuzzReplay, EverySeedAndRegressionCasePassesItsCheck) {
  const fs::path root = fs::path(DISTANGLER_SOURCE_DIR) / "fuzz";
  run_every_mode(true);
  for (const Check& check : checks()) {
    std::size_t seeds = 0;
    for (const char* folder : {"corpus", "regressions"}) {
      const fs::path dir = root / folder / check.name;
      if (!fs::is_directory(dir)) continue;
      for (const auto& entry : fs::directory_iterator(dir)) {
        if (!entry.is_regular_file()) continue;
        SCOPED_TRACE(entry.path().string());
        // A trap would end the run silently; name the file first.
        std::fprintf(stderr, "%s\n", entry.path().string().c_str());
        std::vector<std::uint8_t> data = bytes_of(entry.path());
        EXPECT_NO_THROW(check.run(data.data(), data.size()));
        if (folder == std::string_view("corpus")) ++seeds;
      }
    }
    EXPECT_GT(seeds, 0u) << "no seeds for fuzz_" << check.name;
  }
}

}  // namespace
}  // namespace dg::fuzz

#include "runtime/array/parallel.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "runtime/array/background.hpp"

namespace dg {
namespace {

// Restores the machine's thread count after each test.
class ParallelTest : public ::testing::Test {
 protected:
  void TearDown() override { set_thread_count(0); }
};

// Each index of [0, n) visited once, as a count per index.
std::vector<int> visits(std::size_t n, std::size_t min_block) {
  std::vector<std::atomic<int>> seen(n);
  parallel_blocks(n, min_block, [&](std::size_t begin, std::size_t end) {
    for (std::size_t i = begin; i < end; ++i) ++seen[i];
  });
  std::vector<int> counts;
  for (auto& s : seen) counts.push_back(s.load());
  return counts;
}

TEST_F(ParallelTest, BlocksCoverEveryRowOnceOnEveryCallAndThreadCount) {
  for (std::size_t threads : {1, 2, 3, 5}) {
    set_thread_count(threads);
    for (int call = 0; call < 50; ++call) {
      const std::size_t n = 1 + static_cast<std::size_t>(call) * 7;
      EXPECT_EQ(visits(n, 1), std::vector<int>(n, 1)) << threads << " threads, n = " << n;
    }
  }
}

TEST_F(ParallelTest, WorkInsideWorkAndWorkFromTwoThreadsAtOnceEnd) {
  set_thread_count(3);
  // Each outer block splits its own rows again.
  std::atomic<std::size_t> inner{0};
  parallel_blocks(6, 1, [&](std::size_t begin, std::size_t end) {
    for (std::size_t i = begin; i < end; ++i) {
      parallel_blocks(10, 1, [&](std::size_t b, std::size_t e) { inner += e - b; });
    }
  });
  EXPECT_EQ(inner.load(), 60u);
  // Two callers at once: one uses the kept threads, the other threads of its own.
  std::vector<int> first, second;
  std::thread other([&] {
    for (int i = 0; i < 20; ++i) first = visits(1000, 1);
  });
  for (int i = 0; i < 20; ++i) second = visits(1000, 1);
  other.join();
  EXPECT_EQ(first, std::vector<int>(1000, 1));
  EXPECT_EQ(second, std::vector<int>(1000, 1));
}

TEST_F(ParallelTest, TheFirstFailingBlockIsRethrownAndTheThreadsServeTheNextCall) {
  set_thread_count(4);
  try {
    parallel_blocks(8, 1, [](std::size_t begin, std::size_t) {
      if (begin >= 2) throw std::runtime_error("block at " + std::to_string(begin));
    });
    FAIL() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "block at 2");
  }
  EXPECT_EQ(visits(100, 1), std::vector<int>(100, 1));
}

TEST_F(ParallelTest, OrderedBlocksWriteInRowOrderAndStopAtAFailure) {
  set_thread_count(3);
  const auto format = [](std::size_t begin, std::size_t end, std::string& out) {
    for (std::size_t i = begin; i < end; ++i) out += std::to_string(i) + ",";
  };
  std::string written, expected;
  for (std::size_t i = 0; i < 1000; ++i) expected += std::to_string(i) + ",";
  ordered_blocks(1000, 7, format, [&](const std::string& text) { written += text; });
  EXPECT_EQ(written, expected);

  written.clear();
  EXPECT_THROW(ordered_blocks(
                   1000, 7,
                   [&](std::size_t begin, std::size_t end, std::string& out) {
                     if (begin >= 700) throw std::runtime_error("row " + std::to_string(begin));
                     format(begin, end, out);
                   },
                   [&](const std::string& text) { written += text; }),
               std::runtime_error);
  EXPECT_LE(written.size(), expected.find("700,"));
  EXPECT_EQ(written, expected.substr(0, written.size()));
}

// Background work cancelled while every thread of its parallel blocks spins
// on progress steps: each block stops at its next step, and the work ends
// with WorkCancelled rather than running out its time.
TEST_F(ParallelTest, CancelledBackgroundWorkStopsOnEveryThreadOfItsBlocks) {
  set_thread_count(4);
  std::atomic<int> started{0};
  std::atomic<bool> ran_out{false};
  BackgroundWork work([&] {
    parallel_blocks(4, 1, [&](std::size_t, std::size_t) {
      ++started;
      const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
      while (std::chrono::steady_clock::now() < until) progress();
      ran_out = true;
    });
  });
  while (started.load() < 4) std::this_thread::yield();
  EXPECT_FALSE(work.finished());
  work.cancel(BackgroundWork::Reason::user);
  EXPECT_THROW(work.wait(), WorkCancelled);
  EXPECT_FALSE(ran_out);
  EXPECT_EQ(work.reason(), BackgroundWork::Reason::user);
  work.cancel(BackgroundWork::Reason::superseded);  // the first reason stays
  EXPECT_EQ(work.reason(), BackgroundWork::Reason::user);
}

}  // namespace
}  // namespace dg

#include "runtime/array/parallel.hpp"

#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>
#include <vector>

namespace dg {
namespace {

std::atomic<std::size_t> chosen_threads{0};

std::size_t machine_threads() {
  static const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
  return cores;
}

// Runs jobs 1..count-1 on threads of their own and job 0 here; rethrows the
// first failure in job order.
void run_jobs(std::size_t count, const std::function<void(std::size_t job)>& job) {
  std::vector<std::exception_ptr> errors(count);
  std::vector<std::thread> threads;
  threads.reserve(count - 1);
  for (std::size_t j = 1; j < count; ++j) {
    threads.emplace_back([&, j] {
      try {
        job(j);
      } catch (...) {
        errors[j] = std::current_exception();
      }
    });
  }
  try {
    job(0);
  } catch (...) {
    errors[0] = std::current_exception();
  }
  for (auto& t : threads) t.join();
  for (auto& e : errors) {
    if (e) std::rethrow_exception(e);
  }
}

}  // namespace

std::size_t thread_count() {
  std::size_t n = chosen_threads.load();
  return n == 0 ? machine_threads() : n;
}

void set_thread_count(std::size_t threads) {
  chosen_threads.store(threads);
}

void parallel_blocks(std::size_t n, std::size_t min_block,
                     const std::function<void(std::size_t, std::size_t)>& body) {
  std::size_t parts =
      std::min(thread_count(), std::max<std::size_t>(1, n / std::max<std::size_t>(1, min_block)));
  if (parts <= 1) {
    body(0, n);
    return;
  }
  run_jobs(parts, [&](std::size_t j) { body(n * j / parts, n * (j + 1) / parts); });
}

void ordered_blocks(std::size_t n, std::size_t block,
                    const std::function<void(std::size_t, std::size_t, std::string&)>& format,
                    const std::function<void(const std::string&)>& write) {
  block = std::max<std::size_t>(1, block);
  const std::size_t threads = thread_count();
  std::vector<std::string> texts(threads);
  for (std::size_t begin = 0; begin < n; begin += threads * block) {
    const std::size_t count = std::min(threads, (n - begin + block - 1) / block);
    auto one = [&](std::size_t j) {
      texts[j].clear();
      const std::size_t b = begin + j * block;
      format(b, std::min(n, b + block), texts[j]);
    };
    if (count == 1) {
      one(0);
    } else {
      run_jobs(count, one);
    }
    for (std::size_t j = 0; j < count; ++j) write(texts[j]);
  }
}

}  // namespace dg

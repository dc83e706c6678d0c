#include "runtime/array/parallel.hpp"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "runtime/array/progress.hpp"

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
  const std::size_t blocks = (n + block - 1) / block;
  const std::size_t threads = std::min(thread_count(), blocks);
  const auto rows = [&](std::size_t b, std::string& out) {
    format(b * block, std::min(n, (b + 1) * block), out);
  };
  if (threads <= 1) {
    std::string text;
    for (std::size_t b = 0; b < blocks; ++b) {
      text.clear();
      rows(b, text);
      write(text);
    }
    return;
  }
  // The workers take blocks in turn and format each into its slot of a ring;
  // this thread hands the slots to `write` in row order while the next blocks
  // are formatted. A worker waits while its block's slot still holds a block
  // that is not written.
  struct Slot {
    std::string text;
    bool ready = false;
    std::exception_ptr error;
  };
  const std::size_t window = 2 * threads;
  std::vector<Slot> slots(window);
  std::mutex mutex;
  std::condition_variable changed;
  std::size_t next = 0;     // the next block a worker takes
  std::size_t written = 0;  // blocks handed to write
  bool stop = false;
  const auto work = [&] {
    std::unique_lock lock(mutex);
    while (true) {
      changed.wait(lock, [&] { return stop || next >= blocks || next < written + window; });
      if (stop || next >= blocks) return;
      const std::size_t b = next++;
      Slot& slot = slots[b % window];
      lock.unlock();
      std::exception_ptr error;
      try {
        slot.text.clear();
        rows(b, slot.text);
      } catch (...) {
        error = std::current_exception();
      }
      lock.lock();
      slot.error = error;
      slot.ready = true;
      changed.notify_all();
    }
  };
  std::vector<std::thread> workers;
  workers.reserve(threads);
  for (std::size_t t = 0; t < threads; ++t) workers.emplace_back(work);
  std::exception_ptr failure;
  try {
    for (std::size_t b = 0; b < blocks; ++b) {
      Slot& slot = slots[b % window];
      {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return slot.ready; });
      }
      if (slot.error) std::rethrow_exception(slot.error);
      write(slot.text);
      progress();
      std::lock_guard lock(mutex);
      slot.ready = false;
      ++written;
      changed.notify_all();
    }
  } catch (...) {
    failure = std::current_exception();
  }
  {
    std::lock_guard lock(mutex);
    stop = true;
  }
  changed.notify_all();
  for (auto& worker : workers) worker.join();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace dg

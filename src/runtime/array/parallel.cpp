#include "runtime/array/parallel.hpp"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
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

// Runs job(j) for every j in [1, count) on a thread of its own, adding to
// `errors` what each one threw.
void run_on_new_threads(std::size_t count, const std::function<void(std::size_t job)>& job,
                        std::vector<std::exception_ptr>& errors,
                        const std::function<void()>& meanwhile) {
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
  meanwhile();
  for (auto& t : threads) t.join();
}

#if !defined(_WIN32)
// Threads kept for the jobs of every call after the first, so that work
// split over the threads starts none: the workers wait for a call's jobs,
// worker i running job i + 1, and the pool grows when a call has more jobs
// than it has workers. One call uses it at a time; a call that finds it in
// use (from one of its own jobs, or from another thread) starts threads of
// its own. It is never destroyed: its workers wait until the process ends.
class Pool {
 public:
  // Runs jobs 1..count-1 on the workers and `meanwhile` here; false (and
  // nothing run) when the pool is in use.
  bool run(std::size_t count, const std::function<void(std::size_t job)>& job,
           std::vector<std::exception_ptr>& errors, const std::function<void()>& meanwhile) {
    if (busy_.exchange(true)) return false;
    {
      std::lock_guard lock(mutex_);
      try {
        while (workers_ + 1 < count) {
          std::thread(&Pool::work, this, workers_, generation_).detach();
          ++workers_;
        }
      } catch (...) {  // no thread to be had: the pool stays as it was
        busy_.store(false);
        throw;
      }
      job_ = &job;
      errors_ = &errors;
      count_ = count;
      pending_ = count - 1;
      ++generation_;
    }
    wake_.notify_all();
    meanwhile();
    {
      std::unique_lock lock(mutex_);
      done_.wait(lock, [&] { return pending_ == 0; });
      job_ = nullptr;
      errors_ = nullptr;
    }
    busy_.store(false);
    return true;
  }

 private:
  void work(std::size_t index, std::uint64_t seen) {
    std::unique_lock lock(mutex_);
    for (;;) {
      wake_.wait(lock, [&] { return generation_ != seen; });
      seen = generation_;
      if (index + 1 >= count_) continue;
      const auto* job = job_;
      auto* errors = errors_;
      lock.unlock();
      try {
        (*job)(index + 1);
      } catch (...) {
        (*errors)[index + 1] = std::current_exception();
      }
      lock.lock();
      if (--pending_ == 0) done_.notify_one();
    }
  }

  std::atomic<bool> busy_{false};
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  std::size_t workers_ = 0;
  std::uint64_t generation_ = 0;
  const std::function<void(std::size_t)>* job_ = nullptr;
  std::vector<std::exception_ptr>* errors_ = nullptr;
  std::size_t count_ = 0;
  std::size_t pending_ = 0;
};

Pool& pool() {
  static Pool* const kept = new Pool;  // never freed: see Pool
  return *kept;
}
#endif

// Runs jobs 1..count-1 on other threads and job 0 here; rethrows the first
// failure in job order once all have ended.
void run_jobs(std::size_t count, const std::function<void(std::size_t job)>& job) {
  std::vector<std::exception_ptr> errors(count);
  // The jobs on other threads can be cancelled as this one can.
  const std::atomic<bool>* const cancel = detail::cancel_flag;
  const std::function<void(std::size_t)> other = [&](std::size_t j) {
    CancelScope scope(cancel);
    job(j);
  };
  const std::function<void()> first = [&] {
    try {
      job(0);
    } catch (...) {
      errors[0] = std::current_exception();
    }
  };
#if defined(_WIN32)
  // Threads left waiting when the process ends are not safe with the
  // Windows runtime's threads: there every call starts its own.
  run_on_new_threads(count, other, errors, first);
#else
  if (!pool().run(count, other, errors, first)) run_on_new_threads(count, other, errors, first);
#endif
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
  std::exception_ptr failure;
  const auto hand_on = [&] {
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
  };
  // Job 0, here, hands the blocks on; the others format them.
  run_jobs(threads + 1, [&](std::size_t job) {
    if (job == 0) {
      hand_on();
    } else {
      work();
    }
  });
  if (failure) std::rethrow_exception(failure);
}

}  // namespace dg

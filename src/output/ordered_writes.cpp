#include "output/ordered_writes.hpp"

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "runtime/array/parallel.hpp"

namespace dg {
namespace {

// Blocks waiting for the writer; the formatting threads wait beyond this.
constexpr std::size_t kWaiting = 4;

// Writes the texts handed to it, in order, on a thread of its own.
class Writer {
 public:
  explicit Writer(AtomicFile& file) : file_(file), thread_([this] { run(); }) {}
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;

  // Stops without writing what still waits (an error ended the work).
  ~Writer() {
    if (!thread_.joinable()) return;
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
      queue_.clear();
    }
    changed_.notify_all();
    thread_.join();
  }

  // Queues a copy of `text`; raises the writer's error, if it failed.
  void push(const std::string& text) {
    if (text.empty()) return;
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return queue_.size() < kWaiting || error_; });
    if (error_) std::rethrow_exception(error_);
    std::string copy;
    if (!spare_.empty()) {
      copy = std::move(spare_.back());
      spare_.pop_back();
    }
    copy.assign(text);
    queue_.push_back(std::move(copy));
    changed_.notify_all();
  }

  // Writes everything queued, then raises the writer's error, if any.
  void finish() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
    if (error_) std::rethrow_exception(error_);
  }

 private:
  void run() {
    std::unique_lock lock(mutex_);
    while (true) {
      changed_.wait(lock, [&] { return !queue_.empty() || stop_; });
      if (queue_.empty()) return;
      std::string text = std::move(queue_.front());
      queue_.pop_front();
      lock.unlock();
      try {
        file_.write(text);
      } catch (...) {
        lock.lock();
        error_ = std::current_exception();
        queue_.clear();
        changed_.notify_all();
        return;
      }
      lock.lock();
      text.clear();
      spare_.push_back(std::move(text));
      changed_.notify_all();
    }
  }

  AtomicFile& file_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::string> queue_;
  std::vector<std::string> spare_;  // emptied texts, their memory kept
  std::exception_ptr error_;
  bool stop_ = false;
  std::thread thread_;  // last: starts once the rest is ready
};

}  // namespace

void write_ordered_blocks(
    AtomicFile& file, std::size_t n, std::size_t block,
    const std::function<void(std::size_t begin, std::size_t end, std::string& out)>& format) {
  if (thread_count() == 1) {
    ordered_blocks(n, block, format, [&](const std::string& text) { file.write(text); });
    return;
  }
  Writer writer(file);
  ordered_blocks(n, block, format, [&](const std::string& text) { writer.push(text); });
  writer.finish();
}

}  // namespace dg

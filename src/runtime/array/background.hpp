// Work run on a thread of its own, so that the thread that starts it stays
// free: a window's event loop goes on repainting and answering the user
// while a large sample is read. The work's progress steps (progress.hpp), on
// its thread and on those of its parallel work, are where it can be
// cancelled: after cancel(), the next one throws WorkCancelled, which unwinds
// the work like any error. The work must not touch what the starting thread
// changes meanwhile; it hands its result over through what it captured, read
// after wait().
#pragma once

#include <atomic>
#include <exception>
#include <functional>
#include <thread>

#include "runtime/array/progress.hpp"

namespace dg {

class BackgroundWork {
 public:
  // Starts `work` on a new thread.
  explicit BackgroundWork(std::function<void()> work);
  // Cancels the work if it still runs and waits for its thread.
  ~BackgroundWork();
  BackgroundWork(const BackgroundWork&) = delete;
  BackgroundWork& operator=(const BackgroundWork&) = delete;

  // True once the work has returned or thrown.
  bool finished() const { return finished_.load(std::memory_order_acquire); }
  // Asks the work to stop at its next progress step; the first reason given
  // is kept. A work that has finished keeps its result, but cancelled()
  // still says it was asked.
  enum class Reason { none, user, superseded };
  void cancel(Reason reason);
  bool cancelled() const { return cancelled_.load(std::memory_order_acquire); }
  Reason reason() const { return reason_.load(std::memory_order_acquire); }
  // Waits for the work's end; rethrows what it threw (WorkCancelled when it
  // stopped at a progress step after cancel()).
  void wait();

 private:
  std::function<void()> work_;
  std::exception_ptr error_;
  std::atomic<bool> finished_{false};
  std::atomic<Reason> reason_{Reason::none};
  std::atomic<bool> cancelled_{false};  // set after reason_
  std::thread thread_;
};

}  // namespace dg

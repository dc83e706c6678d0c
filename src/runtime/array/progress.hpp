// Progress steps of long work. Loops that can run for seconds on a large
// sample (reading a file, superimposing, drawing, writing a dataset) call
// progress() every few thousand rows. A front end that must stay responsive
// installs a handler for the length of the work (the window repaints and shows
// a busy cursor); with none installed, progress() is two loads and two
// branches. The handler belongs to the thread that installed it: work on
// other threads never calls it. A progress step is also where work can be
// cancelled (CancelScope), on the thread that runs it and on the threads its
// parallel work starts.
#pragma once

#include <atomic>
#include <cstddef>

namespace dg {

// Thrown by a progress step of cancelled work. Not an error: it derives from
// nothing that code catching errors to add context would take.
struct WorkCancelled {};

using ProgressHandler = void (*)(void* context);

// Installs a handler on this thread for the scope's life; scopes nest.
class ProgressScope {
 public:
  ProgressScope(ProgressHandler handler, void* context);
  ~ProgressScope();
  ProgressScope(const ProgressScope&) = delete;
  ProgressScope& operator=(const ProgressScope&) = delete;

 private:
  ProgressHandler saved_handler_;
  void* saved_context_;
};

// Makes progress() on this thread throw WorkCancelled once `flag` is set,
// for the scope's life (none: not cancelled here); scopes nest. The jobs of
// parallel_blocks and ordered_blocks take on the flag of the thread that
// started them.
class CancelScope {
 public:
  explicit CancelScope(const std::atomic<bool>* flag);
  ~CancelScope();
  CancelScope(const CancelScope&) = delete;
  CancelScope& operator=(const CancelScope&) = delete;

 private:
  const std::atomic<bool>* saved_flag_;
};

namespace detail {
extern thread_local ProgressHandler progress_handler;
extern thread_local void* progress_context;
extern thread_local const std::atomic<bool>* cancel_flag;
}  // namespace detail

inline void progress() {
  if (detail::cancel_flag && detail::cancel_flag->load(std::memory_order_relaxed)) {
    throw WorkCancelled{};
  }
  if (detail::progress_handler) detail::progress_handler(detail::progress_context);
}

// Calls progress() on every 4,096th step of a loop.
inline void progress_every(std::size_t step) {
  if ((step & 4095) == 4095) progress();
}

}  // namespace dg

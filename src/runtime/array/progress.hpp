// Progress steps of long work. Loops that can run for seconds on a large
// sample (reading a file, superimposing, drawing, writing a dataset) call
// progress() every few thousand rows. A front end that must stay responsive
// installs a handler for the length of the work (the window repaints and shows
// a busy cursor); with none installed, progress() is a load and a branch. The
// handler belongs to the thread that installed it: work on other threads
// never calls it.
#pragma once

#include <cstddef>

namespace dg {

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

namespace detail {
extern thread_local ProgressHandler progress_handler;
extern thread_local void* progress_context;
}  // namespace detail

inline void progress() {
  if (detail::progress_handler) detail::progress_handler(detail::progress_context);
}

// Calls progress() on every 4,096th step of a loop.
inline void progress_every(std::size_t step) {
  if ((step & 4095) == 4095) progress();
}

}  // namespace dg

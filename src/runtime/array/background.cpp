#include "runtime/array/background.hpp"

namespace dg {

BackgroundWork::BackgroundWork(std::function<void()> work) : work_(std::move(work)) {
  thread_ = std::thread([this] {
    try {
      CancelScope steps(&cancelled_);
      work_();
    } catch (...) {
      error_ = std::current_exception();
    }
    finished_.store(true, std::memory_order_release);
  });
}

BackgroundWork::~BackgroundWork() {
  cancel(Reason::superseded);
  if (thread_.joinable()) thread_.join();
}

void BackgroundWork::cancel(Reason reason) {
  Reason none = Reason::none;
  reason_.compare_exchange_strong(none, reason, std::memory_order_acq_rel);
  cancelled_.store(true, std::memory_order_release);
}

void BackgroundWork::wait() {
  if (thread_.joinable()) thread_.join();
  if (error_) std::rethrow_exception(error_);
}

}  // namespace dg

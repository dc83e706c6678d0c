#include "runtime/array/progress.hpp"

namespace dg {
namespace detail {
thread_local ProgressHandler progress_handler = nullptr;
thread_local void* progress_context = nullptr;
thread_local const std::atomic<bool>* cancel_flag = nullptr;
}  // namespace detail

ProgressScope::ProgressScope(ProgressHandler handler, void* context)
    : saved_handler_(detail::progress_handler), saved_context_(detail::progress_context) {
  detail::progress_handler = handler;
  detail::progress_context = context;
}

ProgressScope::~ProgressScope() {
  detail::progress_handler = saved_handler_;
  detail::progress_context = saved_context_;
}

CancelScope::CancelScope(const std::atomic<bool>* flag) : saved_flag_(detail::cancel_flag) {
  detail::cancel_flag = flag;
}

CancelScope::~CancelScope() {
  detail::cancel_flag = saved_flag_;
}

}  // namespace dg

#include "runtime/array/error.hpp"

namespace dg {

void raise(std::string message) {
  throw RuntimeError(std::move(message));
}

}  // namespace dg

#include "runtime/array/error.hpp"

#include <iostream>
#include <new>

namespace dg {

void raise(std::string message) {
  throw RuntimeError(std::move(message));
}

int run_program(const char* program, const std::function<int()>& body) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    std::cerr << program << ": stopped: there is not enough memory.\n";
  } catch (const std::exception& error) {
    std::cerr << program << ": stopped by an unexpected error: " << error.what() << "\n";
  }
  return 1;
}

}  // namespace dg

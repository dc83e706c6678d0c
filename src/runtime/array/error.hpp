// The one error type of the system and the one helper that raises it.
// Every failure a user can see is a RuntimeError whose message names what was
// wrong and where (file, line, specimen, value). raise() never returns.
#pragma once

#include <stdexcept>
#include <string>

namespace dg {

class RuntimeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

[[noreturn]] void raise(std::string message);

}  // namespace dg

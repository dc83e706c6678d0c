// The one error type of the system and the one helper that raises it.
// Every failure a user can see is a RuntimeError whose message names what was
// wrong and where (file, line, specimen, value). raise() never returns.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>

namespace dg {

class RuntimeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

[[noreturn]] void raise(std::string message);

// Runs a program's body. Errors of the actions are reported where they
// happen; anything else that ends the run (running out of memory, a failure
// inside a library) is named here in one line on standard error,
// "<program>: stopped ...", and gives exit status 1.
int run_program(const char* program, const std::function<int()>& body);

}  // namespace dg

#include "runtime/array/error.hpp"

#include <gtest/gtest.h>

#include <iostream>
#include <new>
#include <sstream>

namespace dg {
namespace {

// What run_program writes on standard error, and its exit status.
std::pair<std::string, int> run_captured(const std::function<int()>& body) {
  std::ostringstream captured;
  std::streambuf* previous = std::cerr.rdbuf(captured.rdbuf());
  const int status = run_program("prog", body);
  std::cerr.rdbuf(previous);
  return {captured.str(), status};
}

TEST(RunProgramTest, AnyEscapingExceptionBecomesOneLineAndStatusOne) {
  EXPECT_EQ(run_captured([] { return 3; }), (std::pair<std::string, int>{"", 3}));
  EXPECT_EQ(run_captured([]() -> int { throw std::bad_alloc(); }),
            (std::pair<std::string, int>{"prog: stopped: there is not enough memory.\n", 1}));
  EXPECT_EQ(
      run_captured([]() -> int { throw std::out_of_range("number overflow"); }),
      (std::pair<std::string, int>{"prog: stopped by an unexpected error: number overflow\n", 1}));
}

}  // namespace
}  // namespace dg

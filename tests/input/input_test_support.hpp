// Helpers shared by the input tests.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "runtime/array/error.hpp"

// Runs f and returns the message of the RuntimeError it raises, or
// "(no error)" when it raises none.
template <class F>
std::string error_message(F&& f) {
  try {
    f();
  } catch (const dg::RuntimeError& e) {
    return e.what();
  }
  return "(no error)";
}

#define EXPECT_ERROR_MSG(statement, message) EXPECT_EQ(error_message([&] { statement; }), message)

#include <cmath>
#include <ostream>

#include "runtime/array/matrix.hpp"

namespace dg {

// Lets failed matrix comparisons show the values.
inline void PrintTo(const Matrix& m, std::ostream* os) {
  *os << m.rows() << " x " << m.cols() << " {";
  for (std::size_t r = 0; r < m.rows(); ++r) {
    *os << (r ? "; " : "");
    for (std::size_t c = 0; c < m.cols(); ++c) *os << (c ? " " : "") << m(r, c);
  }
  *os << "}";
}

// Equal sizes and values, NaN equal to NaN.
inline bool same_values(const Matrix& a, const Matrix& b) {
  if (a.rows() != b.rows() || a.cols() != b.cols()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const double x = a.values()[i], y = b.values()[i];
    if (!(x == y || (std::isnan(x) && std::isnan(y)))) return false;
  }
  return true;
}

}  // namespace dg

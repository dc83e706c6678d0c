// Small pieces shared by the text readers: reading one number from a byte
// range. Whole files are read with read_whole_file (runtime/array/file_io.hpp).
#pragma once

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>

#include <fast_float/fast_float.h>

#include "runtime/array/file_io.hpp"

namespace dg {

// Reads a number at p: an optional sign ("+" included), digits, a decimal point
// and an exponent, or nan / inf in any letter case. Returns the end of the
// number, or nullptr when no number starts at p. Overflow gives +-inf.
inline const char* parse_number(const char* p, const char* end, double& value) {
  if (p != end && *p == '+') {
    ++p;
    if (p == end || *p == '-' || *p == '+') return nullptr;
  }
  if (p == end) return nullptr;
  const auto result = fast_float::from_chars(p, end, value);
  if (result.ec != std::errc() && result.ec != std::errc::result_out_of_range) return nullptr;
  return result.ptr;
}

}  // namespace dg

// The runtime's checks of how many inputs and outputs a function was called
// with, shared by the by-name function table and the functions that accept a
// range of counts and check it in their body.
#pragma once

#include <cstddef>

namespace dg {

// A declared count that accepts any number of inputs or outputs.
inline constexpr int kAnyCount = -1;

// Raise "Not enough input arguments.", "Too many input arguments.", "Not
// enough output arguments." or "Too many output arguments." when the count
// lies outside [low, high].
void check_nargin(std::size_t nargin, std::size_t low, std::size_t high);
void check_nargout(int nargout, int low, int high);

}  // namespace dg

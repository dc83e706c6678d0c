#include "runtime/array/arg_counts.hpp"

#include "runtime/array/error.hpp"

namespace dg {

void check_nargin(std::size_t nargin, std::size_t low, std::size_t high) {
  if (nargin < low) raise("Not enough input arguments.");
  if (nargin > high) raise("Too many input arguments.");
}

void check_nargout(int nargout, int low, int high) {
  if (nargout < low) raise("Not enough output arguments.");
  if (nargout > high) raise("Too many output arguments.");
}

}  // namespace dg

// The main-window function. With a function name as its first argument it is
// the window's callback dispatcher: it calls that function (first among the
// window's own placeholder callbacks, then in the table of functions callable
// by name) with the other arguments, and prints the message of any error on a
// line of its own instead of letting it escape. With a first argument that is
// not a text it does nothing.
#pragma once

#include <span>

#include "actions/session.hpp"
#include "runtime/array/value.hpp"

namespace dg {

Values distangler(Session& session, std::span<const Value> args, int nargout);

}  // namespace dg

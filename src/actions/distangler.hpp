// The main-window function.
//
// Without arguments it opens the main window from the layout file
// "Distangler.fig" (policy "reuse", so a second call brings back the open
// window instead of making another), gives the figure the platform's control
// background colour, and stores the handles structure of its tagged objects as
// the figure's GUI data. Asked for a result, it returns the figure's handle.
// Errors of this role (a broken layout file) reach the caller.
//
// With a function name as its first argument it is the window's callback
// dispatcher: it calls that function (first among the window's placeholder
// callbacks, then in the table of functions callable by name) with the other
// arguments, asking for as many results as its caller did, and prints the
// message of any error on a line of its own instead of letting it escape. With
// a first argument that is not a text it does nothing.
#pragma once

#include <span>

#include "actions/session.hpp"
#include "runtime/array/value.hpp"

namespace dg {

Values distangler(Session& session, std::span<const Value> args, int nargout);

}  // namespace dg

// Runs the callback text of a control or menu item: parses it (see
// callback_text.hpp), then, with the object's callback running (gcbo and gcbf
// name the object and its figure), turns gcbo, gcbf, gcf and gca into handles
// and calls the named function through the function table asking for no
// result. An empty text does nothing. No error leaves: the message of a
// RuntimeError is printed on the console on a line of its own.
#pragma once

#include <string>

#include "actions/session.hpp"

namespace dg {

void run_callback(Session& session, Handle object, const std::string& text);
// The text parsed and resolved (Session::callbacks), once; raises the
// parser's error for a text that is not a call.
const ResolvedCallback& resolved_callback(Session& session, const std::string& text);
// Resolves the callbacks of a figure's objects, as its layout loads.
void resolve_callbacks(Session& session, Handle figure);
// The same with the object's own "Callback" property.
void run_callback(Session& session, Handle object);

}  // namespace dg

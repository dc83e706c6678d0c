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
// The same with the object's own "Callback" property.
void run_callback(Session& session, Handle object);

}  // namespace dg

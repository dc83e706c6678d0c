// The actions of the handler, one function each, and the helpers they share
// for finding controls by tag. Only dahand calls these.
#pragma once

#include <string_view>

#include "actions/session.hpp"
#include "runtime/array/value.hpp"

namespace dg::actions {

// Sets a property on every object carrying the tag; none found changes nothing.
void set_tagged(Session& session, std::string_view tag, std::string_view property,
                const Value& value);
void enable(Session& session, std::string_view tag, bool on);

void clear(Session& session);
void exit(Session& session);

}  // namespace dg::actions

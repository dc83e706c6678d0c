// The action handler: performs one action on the loaded sample, named by an
// action word matched exactly and case-sensitively, in a fixed order. The
// handler's state lives in the session. A word that matches no action writes
// "Fell through case!  " and a line end to the console and changes nothing.
// Errors of an action end it where they happen; what it stored stays stored.
// After an action that ends without an error the window's enabling and title
// are recomputed from the state.
#pragma once

#include <array>
#include <string_view>

#include "actions/session.hpp"
#include "runtime/array/value.hpp"

namespace dg {

// One action word and what it runs. The table below is the one place that
// pairs them: the handler searches it in order, and whatever lists the words
// reads them from it.
struct ActionEntry {
  std::string_view word;
  void (*run)(Session& session);
  // Whether the window's enabling is recomputed after it; the pointer's
  // highlight runs at every move and changes nothing the enabling follows.
  bool refreshes = true;
};

extern const std::array<ActionEntry, 47> kActions;

void dahand(Session& session, const Value& action);

}  // namespace dg

#include "actions/dahand_actions.hpp"

#include "guisupport/cla.hpp"

namespace dg::actions {

void set_tagged(Session& session, std::string_view tag, std::string_view property,
                const Value& value) {
  auto handles = session.graphics.find_by_tag(tag);
  session.graphics.set_all(handles, property, value);
}

void enable(Session& session, std::string_view tag, bool on) {
  set_tagged(session, tag, "Enable", Value(on ? "On" : "Off"));
}

void clear(Session& session) {
  session.handler.data = Matrix();
  session.handler.records.clear();
  session.handler.partial_size.clear();
  session.handler.consensus = Matrix();
  session.handler.consensus_passes = 0;
  set_tagged(session, "DataBox", "String", Value("   "));
  cla(session.graphics);
  enable(session, "Load", true);
  enable(session, "Calc", true);
  enable(session, "Save", false);
  enable(session, "GetPairs", false);
}

void exit(Session& session) {
  if (auto figure = session.graphics.gcbf()) session.graphics.close(*figure);
}

}  // namespace dg::actions

#include "actions/distangler.hpp"

#include "actions/run_callback.hpp"

#include <array>
#include <limits>
#include <string>

#include "actions/dahand_actions.hpp"
#include "guisupport/guidata.hpp"
#include "guisupport/guihandles.hpp"
#include "guisupport/openfig.hpp"
#include "runtime/array/error.hpp"

namespace dg {
namespace {

// The window's placeholder callbacks: three fixed inputs, any further ones.
constexpr std::array<const char*, 3> kPlaceholders{"pushbutton5", "pushbutton6", "pushbutton7"};

bool run_placeholder(Session& session, const std::string& name, std::size_t nargin) {
  for (const char* button : kPlaceholders) {
    if (name == std::string(button) + "_Callback") {
      check_nargin(nargin, 3, std::numeric_limits<std::size_t>::max());
      session.print(std::string(button) + " Callback not implemented yet.\n");
      return true;
    }
  }
  return false;
}

Values open_main_window(Session& session, int nargout) {
  Graphics& g = session.graphics;
  Handle fig = openfig(g, "Distangler", "reuse");
  g.set(fig, "Color", g.get(0, "defaultUicontrolBackgroundColor"));
  guidata(g, fig, guihandles(g, fig));
  resolve_callbacks(session, fig);
  actions::refresh_window(session);  // a window opened again shows the state as it is
  if (nargout > 0) return {Value(fig)};
  return {};
}

}  // namespace

Values distangler(Session& session, std::span<const Value> args, int nargout) {
  if (args.empty()) return open_main_window(session, nargout);
  if (!args[0].is_char()) return {};
  std::string name = args[0].text();
  try {
    if (run_placeholder(session, name, args.size() - 1)) return {};
    return session.functions.call(session, name, args.subspan(1), nargout);
  } catch (const RuntimeError& error) {
    session.fail(error.what());
  }
  return {};
}

}  // namespace dg

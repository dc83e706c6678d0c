#include "actions/distangler.hpp"

#include <array>
#include <string>

#include "runtime/array/error.hpp"

namespace dg {
namespace {

// The window's placeholder callbacks: three fixed inputs, any further ones.
constexpr std::array<const char*, 3> kPlaceholders{"pushbutton5", "pushbutton6", "pushbutton7"};

bool run_placeholder(Session& session, const std::string& name, std::size_t nargin) {
  for (const char* button : kPlaceholders) {
    if (name == std::string(button) + "_Callback") {
      (void)nargin;
      session.print(std::string(button) + " Callback not implemented yet.\n");
      return true;
    }
  }
  return false;
}

}  // namespace

Values distangler(Session& session, std::span<const Value> args, int nargout) {
  if (args.empty()) raise("The main window is not available yet.");
  if (!args[0].is_char()) return {};
  std::string name = args[0].text();
  try {
    if (run_placeholder(session, name, args.size() - 1)) return {};
    return session.functions.call(session, name, args.subspan(1), nargout);
  } catch (const RuntimeError& error) {
    session.print(std::string(error.what()) + "\n");
  }
  return {};
}

}  // namespace dg

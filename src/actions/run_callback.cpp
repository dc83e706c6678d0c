#include "actions/run_callback.hpp"

#include "runtime/array/error.hpp"
#include "runtime/graphics/callback_text.hpp"

namespace dg {
namespace {

Value resolve(Graphics& graphics, const CallbackArg& arg) {
  if (const auto* text = std::get_if<std::string>(&arg)) return Value(*text);
  if (const auto* number = std::get_if<double>(&arg)) return Value(*number);
  std::optional<Handle> h;
  switch (std::get<CallbackWord>(arg)) {
    case CallbackWord::Gcbo:
      h = graphics.gcbo();
      break;
    case CallbackWord::Gcbf:
      h = graphics.gcbf();
      break;
    case CallbackWord::Gcf:
      h = graphics.gcf();
      break;
    case CallbackWord::Gca:
      h = graphics.gca();
      break;
  }
  return h ? Value(*h) : Value(Matrix());
}

}  // namespace

void run_callback(Session& session, Handle object, const std::string& text) {
  if (text.find_first_not_of(" \t") == std::string::npos) return;
  try {
    CallbackCall call = parse_callback(text);
    Graphics::CallbackScope running(session.graphics, object);
    // A click makes its window the current one, so gcf and gca name it. A
    // docked panel is part of the window it is docked to, which stays current.
    if (auto figure = session.graphics.gcbf(); figure && !session.graphics.figure(*figure).docked) {
      session.graphics.raise_figure(*figure);
    }
    Values args;
    for (const CallbackArg& arg : call.args) args.push_back(resolve(session.graphics, arg));
    session.functions.call(session, call.function, args, 0);
  } catch (const RuntimeError& error) {
    session.fail(error.what());
  }
}

void run_callback(Session& session, Handle object) {
  std::string text;
  try {
    text = session.graphics.get(object, "Callback").text();
  } catch (const RuntimeError& error) {
    session.fail(error.what());
    return;
  }
  run_callback(session, object, text);
}

}  // namespace dg

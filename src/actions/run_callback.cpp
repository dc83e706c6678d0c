#include "actions/run_callback.hpp"

#include "actions/dahand.hpp"

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

const ResolvedCallback& resolved_callback(Session& session, const std::string& text) {
  if (auto found = session.callbacks.find(text); found != session.callbacks.end()) {
    return found->second;
  }
  ResolvedCallback resolved{parse_callback(text), std::nullopt};
  const CallbackCall& call = resolved.call;
  const auto* target = call.args.empty() ? nullptr : std::get_if<std::string>(&call.args[0]);
  const auto* word = call.args.size() == 2 ? std::get_if<std::string>(&call.args[1]) : nullptr;
  if (call.function == "distangler" && target && *target == "dahand" && word) {
    if (auto action = action_named(*word)) resolved.action = static_cast<std::size_t>(*action);
  }
  return session.callbacks.emplace(text, std::move(resolved)).first->second;
}

void resolve_callbacks(Session& session, Handle figure) {
  Graphics& g = session.graphics;
  const auto resolve_property = [&](Handle h, const char* property) {
    const Value text = g.get(h, property);
    if (text.is_char() && text.text().find_first_not_of(" \t") != std::string::npos) {
      resolved_callback(session, text.text());
    }
  };
  for (const char* property : {"CloseRequestFcn", "FileDropFcn"})
    resolve_property(figure, property);
  for (Handle h : g.findall(figure)) {
    const ObjectType type = g.type(h);
    if (type == ObjectType::UIControl || type == ObjectType::UIMenu)
      resolve_property(h, "Callback");
  }
}

void run_callback(Session& session, Handle object, const std::string& text) {
  if (text.find_first_not_of(" \t") == std::string::npos) return;
  try {
    const ResolvedCallback& resolved = resolved_callback(session, text);
    Graphics::CallbackScope running(session.graphics, object);
    // A click makes its window the current one, so gcf and gca name it. A
    // docked panel is part of the window it is docked to, which stays current.
    if (auto figure = session.graphics.gcbf(); figure && !session.graphics.figure(*figure).docked) {
      session.graphics.raise_figure(*figure);
    }
    // An action runs at once, as the dispatcher would run it.
    if (resolved.action) return run_action(session, static_cast<Action>(*resolved.action));
    Values args;
    for (const CallbackArg& arg : resolved.call.args) {
      args.push_back(resolve(session.graphics, arg));
    }
    session.functions.call(session, resolved.call.function, args, 0);
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

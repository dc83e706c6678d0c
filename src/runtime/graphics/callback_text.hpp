// Callback texts: what a control or menu item runs when used. A callback is a
// call of one function of the by-name table, `name(arg, ...)` or a bare
// `name`, whose arguments are single-quoted texts ('' stands for a quote inside
// the text), numbers (123, -0.5, 1e-3), or one of the words gcbo, gcbf, gcf
// and gca, which stand for the running callback's object and figure and the
// current figure and axes, looked up when the callback runs. A trailing ";" is
// allowed. Nothing else is accepted, so a layout file can never run anything
// but a call by name.
//
// parse_callback raises a RuntimeError naming the text and the 1-based
// position of the first character it cannot accept.
#pragma once

#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace dg {

enum class CallbackWord { Gcbo, Gcbf, Gcf, Gca };
const char* callback_word_name(CallbackWord word);

using CallbackArg = std::variant<std::string, double, CallbackWord>;

struct CallbackCall {
  std::string function;
  std::vector<CallbackArg> args;
};

CallbackCall parse_callback(std::string_view text);

// The call written back as a callback text that parses to the same call:
// `name` without arguments, else `name(arg, ...)` with texts quoted and
// numbers in their shortest exact form.
std::string format_callback(const CallbackCall& call);

}  // namespace dg

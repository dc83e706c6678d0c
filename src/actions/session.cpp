#include "actions/session.hpp"

#include <string>

#include "actions/function_table.hpp"
#include "display/incrementlinethickness.hpp"
#include "display/incrementsymbolsize.hpp"

namespace dg {

Session::Session(Platform& p, TreeObserver& observer)
    : platform(p), graphics(observer), functions(make_function_table()) {}

void Session::remember_styling(const Styling& call) {
  if (!styling.empty() && styling.back().command == call.command &&
      styling.back().axes == call.axes) {
    const bool adds = call.command == incrementsymbolsize || call.command == incrementlinethickness;
    styling.back().value = adds ? styling.back().value + call.value : call.value;
    return;
  }
  styling.push_back(call);
}

void Session::warn(std::string_view text) {
  warnings.emplace_back(text);
  dg::warn(platform, text);
}

void Session::fail(std::string_view text) {
  print(std::string(text) + "\n");
  platform.message(MessageKind::Error, text);
}

}  // namespace dg

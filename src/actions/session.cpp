#include "actions/session.hpp"

#include <string>

#include "actions/function_table.hpp"

namespace dg {

Session::Session(Platform& p) : platform(p), graphics(p), functions(make_function_table()) {}

void Session::warn(std::string_view text) {
  dg::warn(platform, text);
}

void Session::fail(std::string_view text) {
  print(std::string(text) + "\n");
  platform.message(MessageKind::Error, text);
}

}  // namespace dg

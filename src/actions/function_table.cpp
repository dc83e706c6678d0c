#include "actions/function_table.hpp"

#include "actions/dahand.hpp"
#include "actions/distangler.hpp"
#include "actions/session.hpp"
#include "guisupport/cla.hpp"
#include "runtime/array/error.hpp"

namespace dg {
namespace {

std::vector<std::string> texts(std::span<const Value> args, const char* function) {
  std::vector<std::string> out;
  for (const Value& arg : args) {
    if (!arg.is_char()) {
      raise(std::string("The function \"") + function + "\" takes texts as inputs, not " +
            arg.kind_name() + ".");
    }
    out.push_back(arg.text());
  }
  return out;
}

}  // namespace

FunctionTable make_function_table() {
  FunctionTable table;
  table.add("distangler", kAnyCount, kAnyCount,
            [](Session& s, std::span<const Value> args, int nargout) {
              return distangler(s, args, nargout);
            });
  table.add("dahand", 1, 0, [](Session& s, std::span<const Value> args, int) -> Values {
    if (args.empty()) {
      raise(
          "Not enough input arguments: \"dahand\" needs an action word such as "
          "\"GetTPSData\".");
    }
    dahand(s, args[0]);
    return {};
  });
  table.add("cla", kAnyCount, 1,
            [](Session& s, std::span<const Value> args, int nargout) -> Values {
              Handle axes = cla(s.graphics, texts(args, "cla"));
              if (nargout > 0) return {Value(axes)};
              return {};
            });
  return table;
}

Values text_arguments(int argc, const char* const* argv) {
  Values out;
  for (int i = 0; i < argc; ++i) out.emplace_back(std::string(argv[i]));
  return out;
}

}  // namespace dg

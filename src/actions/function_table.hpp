// The table of functions callable by name: callbacks, the command line and
// calls through the main-window dispatcher reach the system's functions only
// through it. Each entry declares how many inputs and outputs it accepts (or
// any number); call() checks the outputs first, then the inputs, before the
// body runs, and raises the runtime's declared-count message on a violation.
// make_function_table builds the table of the system's functions, in their
// fixed order, each with a thin adapter between dynamic values and the typed
// function.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/array/arg_counts.hpp"
#include "runtime/array/value.hpp"

namespace dg {

class Session;

using FunctionBody = std::function<Values(Session&, std::span<const Value> args, int nargout)>;

struct FunctionEntry {
  std::string name;
  int inputs = kAnyCount;   // declared number of inputs, or kAnyCount
  int outputs = kAnyCount;  // declared number of outputs, or kAnyCount
  FunctionBody body;
};

class FunctionTable {
 public:
  void add(FunctionEntry entry);
  void add(std::string name, int inputs, int outputs, FunctionBody body) {
    add(FunctionEntry{std::move(name), inputs, outputs, std::move(body)});
  }
  const FunctionEntry* find(std::string_view name) const;
  const std::vector<FunctionEntry>& entries() const { return entries_; }

  // Calls the named function after checking its declared counts. An unknown
  // name raises "Undefined function "name"."
  Values call(Session& session, std::string_view name, std::span<const Value> args,
              int nargout) const;

 private:
  std::vector<FunctionEntry> entries_;
};

FunctionTable make_function_table();

// Converts call arguments given as values into the texts of a command line.
Values text_arguments(int argc, const char* const* argv);

}  // namespace dg

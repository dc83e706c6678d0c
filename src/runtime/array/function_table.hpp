// The table of functions callable by name: callbacks, the command line and
// calls through the main-window dispatcher reach the system's functions only
// through it. Each entry declares how many inputs and outputs it accepts (or
// any number); call() checks the outputs first, then the inputs, before the
// body runs, and raises the runtime's declared-count message on a violation.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/array/value.hpp"

namespace dg {

class Session;  // the process's state, defined by the action layer

inline constexpr int kAnyCount = -1;

using FunctionBody = std::function<Values(Session&, std::span<const Value> args, int nargout)>;

struct FunctionEntry {
  std::string name;
  int inputs = kAnyCount;   // declared number of inputs, or kAnyCount
  int outputs = kAnyCount;  // declared number of outputs, or kAnyCount
  FunctionBody body;
  std::string file;  // the file named in messages; the name when empty
  int line = 1;      // the function's line in its file
};

// Raises the declared-count message when nargout or nargin exceeds the entry's
// declared counts, checking outputs first.
void check_declared_counts(const FunctionEntry& entry, std::size_t nargin, int nargout);

// The runtime's count checks for functions that accept a range of counts and
// check it in their body: "Not enough input arguments.", "Too many input
// arguments.", "Not enough output arguments." and "Too many output arguments.".
void check_nargin(std::size_t nargin, std::size_t low, std::size_t high);
void check_nargout(int nargout, int low, int high);

class FunctionTable {
 public:
  void add(FunctionEntry entry);
  void add(std::string name, int inputs, int outputs, FunctionBody body) {
    add(FunctionEntry{std::move(name), inputs, outputs, std::move(body), {}, 1});
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

}  // namespace dg

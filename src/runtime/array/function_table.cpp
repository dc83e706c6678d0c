#include "runtime/array/function_table.hpp"

#include "runtime/array/error.hpp"

namespace dg {
namespace {

[[noreturn]] void count_error(const FunctionEntry& entry, const char* what, int declared) {
  std::string file = entry.file.empty() ? entry.name : entry.file;
  raise("Run-time Error: File: " + file + " Line: " + std::to_string(entry.line) +
        " Column: 1 The function \"" + entry.name +
        "\" was called with more than the declared number of " + what + " (" +
        std::to_string(declared) + ").");
}

}  // namespace

void check_declared_counts(const FunctionEntry& entry, std::size_t nargin, int nargout) {
  if (entry.outputs != kAnyCount && nargout > entry.outputs) {
    count_error(entry, "outputs", entry.outputs);
  }
  if (entry.inputs != kAnyCount && nargin > static_cast<std::size_t>(entry.inputs)) {
    count_error(entry, "inputs", entry.inputs);
  }
}

void check_nargin(std::size_t nargin, std::size_t low, std::size_t high) {
  if (nargin < low) raise("Not enough input arguments.");
  if (nargin > high) raise("Too many input arguments.");
}

void check_nargout(int nargout, int low, int high) {
  if (nargout < low) raise("Not enough output arguments.");
  if (nargout > high) raise("Too many output arguments.");
}

void FunctionTable::add(FunctionEntry entry) {
  if (find(entry.name)) raise("The function \"" + entry.name + "\" is registered twice.");
  entries_.push_back(std::move(entry));
}

const FunctionEntry* FunctionTable::find(std::string_view name) const {
  for (const auto& entry : entries_) {
    if (entry.name == name) return &entry;
  }
  return nullptr;
}

Values FunctionTable::call(Session& session, std::string_view name, std::span<const Value> args,
                           int nargout) const {
  const FunctionEntry* entry = find(name);
  if (!entry) raise("Undefined function \"" + std::string(name) + "\".");
  check_declared_counts(*entry, args.size(), nargout);
  return entry->body(session, args, nargout);
}

}  // namespace dg

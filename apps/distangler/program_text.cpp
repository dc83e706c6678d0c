#include "program_text.hpp"

#include "actions/function_table.hpp"
#include "actions/run_callback.hpp"

#ifndef DISTANGLER_VERSION
#error "DISTANGLER_VERSION is set by CMake from the project's version"
#endif

namespace dg {
namespace {

constexpr const char* kUsage =
    "Usage: distangler\n"
    "   or: distangler NAME [ARGUMENT...]\n"
    "   or: distangler --open [FILE...]\n"
    "\n"
    "Distangler turns 2-D and 3-D landmark data (TPS files, TPS files with a\n"
    "scale factor per specimen, plain numeric matrices) into datasets of distances\n"
    "and angles, one line per specimen, for statistics programs.\n"
    "\n"
    "Without arguments, distangler opens its window.\n"
    "\n"
    "With arguments, the first names a function and the others are passed to it as\n"
    "texts, as the window's controls call it; for example \"distangler dahand Clear\".\n"
    "Errors are printed on a line of their own. When the call opens a window, the\n"
    "program runs until it is closed; without a display the call runs without one.\n"
    "\n"
    "To run the actions without a window, use distangler-batch (see its --help).\n";

constexpr const char* kOptions =
    "Options:\n"
    "  --open [FILE...]  open the window and load each file as if dropped on it\n"
    "  --help            print this help and exit\n"
    "  --version         print the version and exit\n";

}  // namespace

std::string program_help() {
  std::string text = kUsage;
  text += "\nFunctions that can be called by name:\n";
  const FunctionTable table = make_function_table();
  std::string line = " ";
  for (const FunctionEntry& entry : table.entries()) {
    if (line.size() + 1 + entry.name.size() > 80) {
      text += line + "\n";
      line = " ";
    }
    line += " " + entry.name;
  }
  return text + line + "\n\n" + kOptions;
}

std::string program_version() {
  return "distangler " DISTANGLER_VERSION "\n";
}

void open_as_dropped(Session& session, Handle window, const std::vector<std::string>& files) {
  for (const std::string& file : files) {
    if (!session.graphics.is_handle(window)) break;
    session.graphics.set(window, "DroppedFile", Value(file));
    run_callback(session, window, session.graphics.get(window, "FileDropFcn").text());
    if (session.graphics.is_handle(window)) session.graphics.set(window, "DroppedFile", Value(""));
  }
}

}  // namespace dg

// What both builds of the window program (Qt on Linux, Win32 on Windows) say
// and do alike: the help and version texts, and the files of --open loaded
// as if dropped on the main window.
#pragma once

#include <iostream>
#include <string>
#include <vector>

#include "actions/distangler.hpp"
#include "actions/function_table.hpp"
#include "actions/run_callback.hpp"
#include "actions/session.hpp"
#include "runtime/array/error.hpp"

namespace dg {

// The usage, the names of the functions callable by name as the program
// registers them, wrapped to 80 columns, then the options.
std::string program_help();
// "distangler <version>" and a line end.
std::string program_version();

// Loads each file as a file dropped on `window` would be, through its
// FileDropFcn, stopping when the window is gone; a failed load is reported
// by the callback runner as any callback's error.
void open_as_dropped(Session& session, Handle window, const std::vector<std::string>& files);

// Opens the main window on `platform` (the Qt or the Win32 one): calls the
// function named by the first of `count` texts at `argv` (none: the main
// window) through it, loads the files of --open, then runs the event loop
// until the windows close. A failed call is printed and ends with 1.
template <class WindowPlatform>
int run_window(WindowPlatform& platform, int count, const char* const* argv, bool opening,
               const std::vector<std::string>& open) {
  Session session(platform);
  platform.attach(session.graphics);
  platform.set_callback_runner(
      [&session](Handle object, const std::string& text) { run_callback(session, object, text); });
  Values opened;
  try {
    opened = distangler(session, text_arguments(count, argv), opening ? 1 : 0);
  } catch (const RuntimeError& error) {
    std::cerr << error.what() << "\n";
    return 1;
  }
  if (!opened.empty()) open_as_dropped(session, opened.at(0).scalar(), open);
  return platform.exec();
}

}  // namespace dg

// What both builds of the window program (Qt on Linux, Win32 on Windows) say
// and do alike: the help and version texts, and the files of --open loaded
// as if dropped on the main window.
#pragma once

#include <string>
#include <vector>

#include "actions/session.hpp"

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

}  // namespace dg

// Opens a window from a figure file, or brings back one already open, and
// returns its handle. `filename` may carry a folder and the extension ".fig"
// (or none, which means ".fig"); a bare name is searched for as figure_files.hpp
// describes. Policy "new" always loads a new window; "reuse" loads one only when
// no window of that file is open and otherwise returns the newest one.
//
// The windows opened from each file are kept, oldest first, as application data
// on the root under the file's base name followed by "_SINGLETON_handle", cut to
// 31 characters; windows closed since are dropped on the next call. The window
// returned is moved fully onto the screen (movegui "onscreen") and, when
// visible, made the current figure and brought to the front.
//
// Raises "Argument must be a .fig file" for any other extension (compared
// exactly: ".FIG" fails), "Second input argument must be 'new' or 'reuse'." for
// another policy, and the loading error of a file that cannot be read; in each
// case the registry is unchanged.
#pragma once

#include <string>

#include "runtime/graphics/graphics.hpp"

namespace dg {

Handle openfig(Graphics& graphics, const std::string& filename, const std::string& policy = "new");

}  // namespace dg

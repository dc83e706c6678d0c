// Layout files: a figure and its children described in JSON, for example
//
//   {"Type": "figure", "Name": "Distangler", "Units": "pixels",
//    "Position": [60, 80, 900, 600],
//    "Children": [
//      {"Type": "uicontrol", "Tag": "Load", "String": "Load TPS...",
//       "Callback": "distangler('dahand','GetTPSData')", "Position": [10, 500, 200, 26]},
//      {"Type": "axes", "Position": [270, 50, 600, 520]},
//      {"Type": "uimenu", "Label": "Plot",
//       "Children": [{"Type": "uimenu", "Label": "Thin lines", "Callback": "..."}]}]}
//
// Every key but "Type" and "Children" is a property, set by name in the order of
// the file ("Units" first), so the graphics tree's own checks apply. Values are
// texts, numbers, arrays of numbers (a row), arrays of texts (a one-row cell, as
// a multi-line "String") and null (empty). A figure holds axes, uicontrols and
// uimenus; a uimenu holds uimenus. Callback texts are checked when the file is
// read (see callback_text.hpp).
//
// Both loaders return the new figure. Any bad entry raises a RuntimeError that
// names the source and the object ("object 3", "object 14.2" for the second item
// of the menu that is object 14, with its tag when it has one); the figure is
// deleted first, so nothing half-built stays in the tree.
#pragma once

#include <string>
#include <string_view>

#include "runtime/graphics/graphics.hpp"

namespace dg {

// `source` names the text in messages (a path, or the built-in copy).
Handle load_figure_text(Graphics& graphics, std::string_view text, const std::string& source);
// Reads exactly this path; raises when it cannot be read. The figure keeps
// the file's absolute path as its application data kLayoutFileData, so that
// nothing the window writes replaces the layout it was built from.
inline constexpr const char* kLayoutFileData = "LayoutFile";
Handle load_figure_file(Graphics& graphics, const std::string& path);

}  // namespace dg

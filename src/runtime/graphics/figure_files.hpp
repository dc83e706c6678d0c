// Where figure files are found. A name with a folder is read from there. A bare
// name ("Distangler.fig") is looked for in the current folder, then beside the
// executable, then in the installed data folder, which is found from the
// executable's folder (../share/distangler/ in an install under any prefix);
// when none has it, the copy built into the program is used, so the main
// window always opens. A file found first overrides the built-in copy.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/graphics/graphics.hpp"

namespace dg {

// The folders searched for a bare name, in order.
std::vector<std::filesystem::path> figure_folders();

// The first file of that name in the folders, or the path itself when it has a
// folder and exists; nullopt otherwise.
std::optional<std::filesystem::path> find_figure_file(const std::string& file);

// The text of a figure file built into the program, by bare name.
std::optional<std::string_view> built_in_figure(std::string_view name);

// Builds the figure stored in a figure file found as above and returns it.
// Raises when it is found nowhere, or with the layout file's error.
Handle load_figure(Graphics& graphics, const std::string& file);

}  // namespace dg

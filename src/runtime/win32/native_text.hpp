// Small pieces of the Win32 window that read no tree: the keys of a menu
// accelerator, the filter of a file dialog, and the labels of menus and
// buttons as shown. Kept apart so they can be checked without a display.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dg {

// A one-character accelerator means Ctrl and that key; a longer one names
// modifiers and a key: "Ctrl+Shift+O", "F1", "Del", "Esc", "PgUp". Nothing
// for a text that names no key.
std::optional<ACCEL> accelerator_keys(std::string_view accelerator);
// How a menu shows the accelerator after its label: "Ctrl+O".
std::wstring accelerator_label(std::string_view accelerator);

// "*.tps;*.TPS" -> "*.tps *.TPS files\0*.tps;*.TPS\0All files\0*.*\0" (with
// the final extra NUL); "*.*" stands for every file.
std::wstring dialog_filter(std::string_view filter);

// A label without its mnemonic marks: "&&" is an ampersand, any other "&"
// marks the letter after it.
std::string without_mnemonics(std::string_view label);

// The file names of an open dialog that allows several: a folder and its
// names, each ended by a NUL (a single pick is the whole path), as UTF-8.
std::vector<std::string> picked_files(const wchar_t* buffer);

}  // namespace dg

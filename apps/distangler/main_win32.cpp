// The distangler program on Windows: the native window. Without arguments
// it opens the main window; with arguments the first names a function
// callable by name, called through the main window's dispatcher with the
// other arguments as texts, and the message loop then runs while a figure
// is open. --help and --version print to the console the program was
// started from; --open [FILE...] opens the window with the files loaded,
// as if dropped on it (the way the .tps file type opens a file).
// The arguments arrive as UTF-16, so every file name reaches the program.
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "program_text.hpp"
#include "runtime/array/error.hpp"
#include "runtime/array/file_io.hpp"
#include "runtime/win32/wide_text.hpp"
#include "runtime/win32/win32_platform.hpp"

namespace {

// A program of the window subsystem has no console of its own: its output
// goes to the console it was started from, when there is one.
void attach_console() {
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (out != nullptr && out != INVALID_HANDLE_VALUE) return;  // redirected, or Wine's
  if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
  FILE* ignored = nullptr;
  freopen_s(&ignored, "CONOUT$", "w", stdout);
  freopen_s(&ignored, "CONOUT$", "w", stderr);
  std::cout.clear();
  std::cerr.clear();
}

// Per-monitor DPI awareness, as the program's manifest also declares.
void aware_of_dpi() {
  if (HMODULE user = GetModuleHandleW(L"user32.dll")) {
    using Set = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT);
    if (auto set = reinterpret_cast<Set>(
            reinterpret_cast<void*>(GetProcAddress(user, "SetProcessDpiAwarenessContext")))) {
      set(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    }
  }
}

int run(const std::vector<std::string>& args) {
  const std::string_view first = args.size() > 1 ? std::string_view(args[1]) : "";
  if (first == "--help" || first == "--version") {
    attach_console();
    std::cout << (first == "--help" ? dg::program_help() : dg::program_version()) << std::flush;
    return 0;
  }
  const bool opening = first == "--open";
  std::vector<std::string> open;
  if (opening) {
    for (std::size_t i = 2; i < args.size(); ++i) {
      open.push_back(dg::path_text(std::filesystem::absolute(dg::file_path(args[i]))));
    }
  }
  attach_console();
  aware_of_dpi();
  std::vector<const char*> argv;
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  const int count = opening ? 0 : static_cast<int>(argv.size()) - 1;

  dg::Win32Platform platform;
  return dg::run_window(platform, count, argv.data() + 1, opening, open);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) args.push_back(dg::narrow(argv[i]));
  return dg::run_program("distangler", [&] { return run(args); });
}

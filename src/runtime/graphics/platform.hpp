// Every service the system takes from its surroundings: file dialogs, the
// clipboard, the screen, drawing completion and the console. The core talks
// only to this interface; the headless implementation serves tests and the
// batch tool, the Qt implementation the real window.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dg {

class Graphics;
using Handle = double;

// A file picked in a dialog: its name, and its folder ending in a separator.
struct FileChoice {
  std::string name;
  std::string folder;
  std::string path() const { return folder + name; }
};

// Splits a path into the folder (with its trailing separator) and the name.
FileChoice split_path(const std::string& path);

class Platform {
 public:
  virtual ~Platform() = default;

  // File dialogs; nullopt when the user cancels.
  virtual std::optional<FileChoice> get_file(std::string_view filter, std::string_view title) = 0;
  virtual std::optional<FileChoice> put_file(std::string_view filter, std::string_view title) = 0;
  // A file-open dialog in which several files can be picked; empty when the
  // user cancels.
  virtual std::vector<FileChoice> get_files(std::string_view filter, std::string_view title) = 0;
  // A folder dialog; nullopt when the user cancels. The folder ends in a separator.
  virtual std::optional<std::string> get_folder(std::string_view title) = 0;
  // Asks for one line of text, starting from `initial`; nullopt when cancelled.
  virtual std::optional<std::string> ask_text(std::string_view title, std::string_view prompt,
                                              std::string_view initial) = 0;
  // Shows a text for the user to read (a file check's report) without
  // waiting for it to be closed.
  virtual void show_report(std::string_view title, std::string_view text) = 0;

  // Prints a figure to the clipboard with print options such as "-noui", "-dmeta".
  virtual void print_figure(Graphics& graphics, Handle figure,
                            const std::vector<std::string>& options) = 0;

  virtual std::array<double, 2> screen_size() const = 0;     // width, height in pixels
  virtual std::array<double, 2> character_size() const = 0;  // one character unit in pixels
  virtual std::array<double, 3> default_control_background() const = 0;
  // Window frame around a figure's inner area: left, right, bottom, top in pixels.
  virtual std::array<double, 4> frame_margins() const = 0;

  // Completes pending drawing.
  virtual void drawnow(Graphics& graphics) = 0;
  // Writes text to the console exactly as given (no line end added).
  virtual void console(std::string_view text) = 0;
  // What the console printed, as far as kept (see keep_console_text).
  virtual const std::string& console_text() const = 0;

  // Notifications from the graphics tree. A figure turns stale once per batch
  // of changes; the platform repaints it when it is idle or at drawnow.
  virtual void figure_stale(Handle /*figure*/) {}
  virtual void figure_closed(Handle /*figure*/) {}
  virtual void figure_raised(Handle /*figure*/) {}
};

// A platform's copy of what the console printed keeps whole lines of about
// the last kConsoleKept bytes (at most twice that), so a run that prints
// without end holds bounded memory.
constexpr std::size_t kConsoleKept = std::size_t{1} << 20;
void keep_console_text(std::string& kept, std::string_view text);

// Writes "Warning: " and the text as one console line.
void warn(Platform& platform, std::string_view text);

}  // namespace dg

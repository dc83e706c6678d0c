// Every service the system takes from its surroundings, in two interfaces:
// TreeObserver, what the graphics tree needs (the screen, drawing, printing,
// notifications), and Platform, what the actions need (dialogs, messages,
// settings, the console). The core talks only to these; the headless
// implementation of both serves tests, the Qt implementation the real window.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dg {

class BackgroundWork;
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

// What a message in the window's status line reports: an action's result, a
// warning (the work went on) or an error (the action stopped).
enum class MessageKind { Info, Warning, Error };

// What the graphics tree asks of the window system it is shown in: the
// screen and its metrics, drawing completion and printing, and the
// notifications of figures that changed, closed or came to the front. The
// graphics tree holds only this; the Qt platform and the headless one serve
// it.
class TreeObserver {
 public:
  virtual ~TreeObserver() = default;

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

  // A figure turns stale once per batch of changes; the platform repaints it
  // when it is idle or at drawnow.
  virtual void figure_stale(Handle /*figure*/) {}
  virtual void figure_closed(Handle /*figure*/) {}
  virtual void figure_raised(Handle /*figure*/) {}

  // The width and height in pixels of the picture in an image file, as it is
  // shown (turned as its orientation says), read from the file's header;
  // nothing when the platform cannot tell or the file is no image it reads.
  virtual std::optional<std::array<double, 2>> image_size(const std::string& /*path*/) const {
    return std::nullopt;
  }
  // Decodes image files for painting ahead of time, in order, on one thread
  // besides the caller's; a later call drops the paths of an earlier one not
  // yet decoded. Painting never waits for more than the file it shows.
  virtual void prefetch_images(const std::vector<std::string>& /*paths*/) {}
};

// What the actions ask of their surroundings: file dialogs and questions,
// messages and reports, the settings kept between runs (the recent files),
// plot files and the console.
class Platform {
 public:
  virtual ~Platform() = default;

  // File dialogs; nullopt when the user cancels. A filter is a list of
  // patterns separated by ';' ("*.tps;*.TPS"); "*.*" stands for every file.
  virtual std::optional<FileChoice> get_file(std::string_view filter, std::string_view title) = 0;
  // A save dialog suggesting `suggested` as the file name (none when empty),
  // starting in `folder` (the current folder when empty).
  virtual std::optional<FileChoice> put_file(std::string_view filter, std::string_view title,
                                             std::string_view suggested = {},
                                             std::string_view folder = {}) = 0;
  // A file-open dialog in which several files can be picked; empty when the
  // user cancels.
  virtual std::vector<FileChoice> get_files(std::string_view filter, std::string_view title) = 0;
  // A folder dialog; nullopt when the user cancels. The folder ends in a separator.
  virtual std::optional<std::string> get_folder(std::string_view title) = 0;
  // Asks for one line of text, starting from `initial`; nullopt when cancelled.
  virtual std::optional<std::string> ask_text(std::string_view title, std::string_view prompt,
                                              std::string_view initial) = 0;
  // Shows a text for the user to read without waiting for it to be closed: a
  // report kept in its lines, in a fixed-width font (a file check's), or
  // prose, paragraphs separated by blank lines and wrapped to the window (the
  // help texts).
  enum class Text { report, prose };
  virtual void show_report(std::string_view title, std::string_view text,
                           Text kind = Text::report) = 0;
  // Asks what becomes of work that was never saved before it is lost:
  // save it first, discard it, or cancel what would lose it.
  enum class Unsaved { save, discard, cancel };
  virtual Unsaved ask_unsaved(std::string_view title, std::string_view question) = 0;
  // Reports an action's result, a warning or an error to the user (the
  // window's status line and its list of messages). Not the console: the
  // batch tool's output stays as it is.
  virtual void message(MessageKind kind, std::string_view text) = 0;

  // The files opened lately, newest first, as the actions stored them; kept
  // between runs where the platform can (the window's settings).
  virtual std::vector<std::string> recent_files() const = 0;
  virtual void store_recent_files(const std::vector<std::string>& files) = 0;
  // A text kept between runs under `key` where the platform can (such as the
  // folder of a sample's photos); empty when none was stored.
  virtual std::string setting(std::string_view key) const = 0;
  virtual void store_setting(std::string_view key, std::string_view value) = 0;

  // Paints a figure without its controls into a plot file of the format the
  // path's extension names (PNG, SVG or PDF on Linux), as the batch tool's
  // --plot does.
  virtual void save_plot(Graphics& graphics, Handle figure, const std::string& path) = 0;
  // The extensions save_plot writes, lower case with their dot, the one a
  // save dialog suggests first.
  virtual std::vector<std::string> plot_formats() const { return {".png", ".svg", ".pdf"}; }

  // Keeps the windows live while `work` runs on its thread: they repaint,
  // resize and answer menus and controls (whose callbacks run meanwhile), the
  // status line shows `status` with the time taken so far, and Esc cancels
  // the work (BackgroundWork::Reason::user). Returns once the work has
  // finished; its result is then taken with work.wait(). Without windows
  // (the default) it returns at once and wait() waits.
  virtual void wait_live(BackgroundWork& /*work*/, std::string_view /*status*/) {}

  // Writes text to the console exactly as given (no line end added).
  virtual void console(std::string_view text) = 0;
  // What the console printed, as far as kept (see keep_console_text).
  virtual const std::string& console_text() const = 0;
};

// A platform's copy of what the console printed keeps whole lines of about
// the last kConsoleKept bytes (at most twice that), so a run that prints
// without end holds bounded memory.
constexpr std::size_t kConsoleKept = std::size_t{1} << 20;
void keep_console_text(std::string& kept, std::string_view text);

// Writes "Warning: " and the text as one console line, and shows the text
// as a warning message.
void warn(Platform& platform, std::string_view text);

}  // namespace dg

// What every window platform (the Qt one on Linux, the Win32 one on
// Windows) decides alike, kept here so the two windows cannot drift apart:
// scripted dialog answers for tests, the print options a plot copy takes,
// when a menu bar must be rebuilt, how a figure follows a window the user
// resized, which window a docked figure goes into, and the status line's
// account of an action that warned.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/graphics/graphics.hpp"
#include "runtime/graphics/platform.hpp"

namespace dg {

// Answers given ahead to dialogs and questions, used in order instead of
// showing them: a file dialog takes a path or a cancel, a question for text
// takes a text or a cancel, the question about unsaved work its answer.
class ScriptedAnswers {
 public:
  void answer(const std::string& path) { paths_.emplace_back(path); }
  void answer_cancel() { paths_.emplace_back(std::nullopt); }
  void answer_text(std::optional<std::string> text) { texts_.push_back(std::move(text)); }
  void answer_unsaved(Platform::Unsaved answer) { unsaved_.push_back(answer); }

  // Nothing when no answer waits; else the answer (nullopt: cancelled).
  std::optional<std::optional<FileChoice>> file();
  // A folder ends in `separator` unless the answer already ends in one.
  std::optional<std::optional<std::string>> folder(char separator);
  std::optional<std::optional<std::string>> text();
  std::optional<Platform::Unsaved> unsaved();
  bool has_file() const { return !paths_.empty(); }

 private:
  std::deque<std::optional<std::string>> paths_, texts_;
  std::deque<Platform::Unsaved> unsaved_;
};

// Runs `body`; an exception's message goes to the platform's console (one
// line) and its messages as an error, and no further: what a window runs
// for the user never ends the program.
void run_guarded(Platform& platform, const std::function<void()>& body) noexcept;

// Raises unless the options are "-noui" with "-dmeta" or "-dbitmap" at most:
// only a figure without its controls is copied to the clipboard.
void check_print_options(const std::vector<std::string>& options);

// What a figure's menus show (their labels, states and order); a window
// rebuilds its menu bar only when this changed.
std::string menu_signature(const Graphics& graphics, Handle figure);

// The user resized a window to an inner area of width x height pixels: the
// figure's axes and controls scale with it and its top edge stays; nothing
// when the size is the figure's already (within a pixel).
void follow_inner_size(Graphics& graphics, Handle figure, double width, double height);

// The figure a docked figure's panel goes into: the first (lowest handle)
// that is not docked; nothing when every other figure is docked.
std::optional<Handle> dock_host_figure(const Graphics& graphics, Handle docked);
// True when every figure left is docked (or none is left).
bool only_docked_left(const Graphics& graphics);

// The status line's text and kind for a message. The warnings of a running
// callback are counted in `warnings`, and the result of an action that
// warned shows as a warning itself, with their number.
struct StatusLine {
  std::string text;
  MessageKind kind = MessageKind::Info;
};
StatusLine status_line(MessageKind kind, std::string_view text, bool working, int& warnings);

// The status line of work that runs while the window stays live
// (Platform::wait_live): "Loading a.tps: 1.4 s (Esc cancels)", or
// "Loading a.tps: cancelling..." once the user has cancelled it.
std::string live_status(std::string_view what, double seconds, bool cancelling);

}  // namespace dg

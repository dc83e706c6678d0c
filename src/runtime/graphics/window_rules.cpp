#include "runtime/graphics/window_rules.hpp"

#include <cmath>
#include <functional>

#include "runtime/array/error.hpp"
#include "runtime/array/format.hpp"

namespace dg {

std::optional<std::optional<FileChoice>> ScriptedAnswers::file() {
  if (paths_.empty()) return std::nullopt;
  std::optional<std::string> answer = std::move(paths_.front());
  paths_.pop_front();
  if (!answer) return std::optional<FileChoice>();
  return std::optional<FileChoice>(split_path(*answer));
}

std::optional<std::optional<std::string>> ScriptedAnswers::folder(char separator) {
  if (paths_.empty()) return std::nullopt;
  std::optional<std::string> answer = std::move(paths_.front());
  paths_.pop_front();
  if (!answer) return std::optional<std::string>();
  const bool ends = !answer->empty() && (answer->back() == '/' || answer->back() == separator);
  return std::optional<std::string>(*answer +
                                    (answer->empty() || ends ? "" : std::string(1, separator)));
}

std::optional<std::optional<std::string>> ScriptedAnswers::text() {
  if (texts_.empty()) return std::nullopt;
  std::optional<std::string> answer = std::move(texts_.front());
  texts_.pop_front();
  return answer;
}

std::optional<Platform::Unsaved> ScriptedAnswers::unsaved() {
  if (unsaved_.empty()) return std::nullopt;
  const Platform::Unsaved answer = unsaved_.front();
  unsaved_.pop_front();
  return answer;
}

void run_guarded(Platform& platform, const std::function<void()>& body) noexcept {
  try {
    body();
  } catch (const std::exception& error) {
    platform.console(std::string(error.what()) + "\n");
    platform.message(MessageKind::Error, error.what());
  } catch (...) {
    platform.console("An unknown error ended the callback.\n");
    platform.message(MessageKind::Error, "An unknown error ended the callback.");
  }
}

void check_print_options(const std::vector<std::string>& options) {
  bool noui = false;
  for (const std::string& option : options) {
    if (option == "-noui") {
      noui = true;
    } else if (option != "-dmeta" && option != "-dbitmap") {
      raise("Printing takes the options -noui, -dmeta and -dbitmap, not \"" + option + "\".");
    }
  }
  if (!noui) raise("Only a figure without its controls (-noui) can be printed to the clipboard.");
}

std::string menu_signature(const Graphics& graphics, Handle figure) {
  std::string signature;
  std::function<void(Handle)> describe = [&](Handle parent) {
    for (Handle h : graphics.children(parent)) {
      if (graphics.type(h) != ObjectType::UIMenu) continue;
      signature += std::to_string(h) + "\x1f" + std::to_string(parent);
      for (const char* property :
           {"Label", "Enable", "Visible", "Separator", "Checked", "Accelerator"}) {
        signature += "\x1f" + graphics.get(h, property).text();
      }
      signature += "\x1e";
      describe(h);
    }
  };
  describe(figure);
  return signature;
}

void follow_inner_size(Graphics& graphics, Handle figure, double width, double height) {
  const auto px = graphics.pixel_position(figure);
  if (std::abs(width - px[2]) < 1 && std::abs(height - px[3]) < 1) return;
  const double sx = width / px[2], sy = height / px[3];
  for (Handle child : graphics.children(figure)) {
    const ObjectType type = graphics.type(child);
    if (type != ObjectType::Axes && type != ObjectType::UIControl) continue;
    const auto r = graphics.pixel_position(child);
    graphics.set_pixel_position(child, {r[0] * sx, r[1] * sy, r[2] * sx, r[3] * sy});
  }
  const double top = px[1] + px[3];  // the top edge stays where it is
  graphics.set_pixel_position(figure, {px[0], top - height, width, height});
}

std::optional<Handle> dock_host_figure(const Graphics& graphics, Handle docked) {
  std::optional<Handle> first;
  for (Handle figure : graphics.figures()) {
    if (figure != docked && !graphics.figure(figure).docked && (!first || figure < *first)) {
      first = figure;
    }
  }
  return first;
}

bool only_docked_left(const Graphics& graphics) {
  for (Handle figure : graphics.figures()) {
    if (!graphics.figure(figure).docked) return false;
  }
  return true;
}

StatusLine status_line(MessageKind kind, std::string_view text, bool working, int& warnings) {
  StatusLine line{std::string(text), kind};
  if (kind == MessageKind::Warning && working) ++warnings;
  if (kind == MessageKind::Info && warnings > 0) {
    line.kind = MessageKind::Warning;
    line.text += warnings == 1 ? " (1 warning: see Messages)"
                               : " (" + std::to_string(warnings) + " warnings: see Messages)";
  }
  return line;
}

std::string live_status(std::string_view what, double seconds, bool cancelling) {
  if (cancelling) return std::string(what) + ": cancelling...";
  return std::string(what) + ": " + sprintf("%.1f", seconds) + " s (Esc cancels)";
}

}  // namespace dg

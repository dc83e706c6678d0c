#include "runtime/graphics/headless_platform.hpp"

#include <ostream>

#include "runtime/array/error.hpp"
#include "runtime/array/file_io.hpp"
#include "runtime/graphics/graphics.hpp"

namespace dg {

FileChoice split_path(const std::string& path) {
  auto slash = last_separator(path);
  if (slash == std::string::npos) return {path, "./"};
  return {path.substr(slash + 1), path.substr(0, slash + 1)};
}

void keep_console_text(std::string& kept, std::string_view text) {
  kept += text;
  if (kept.size() > 2 * kConsoleKept) {
    // Drops the oldest lines; the erase runs once per kConsoleKept bytes printed.
    std::size_t cut = kept.find('\n', kept.size() - kConsoleKept);
    kept.erase(0, cut == std::string::npos ? kept.size() - kConsoleKept : cut + 1);
  }
}

void warn(Platform& platform, std::string_view text) {
  platform.console("Warning: " + std::string(text) + "\n");
  platform.message(MessageKind::Warning, text);
}

HeadlessPlatform::HeadlessPlatform(std::ostream* console_stream) : stream_(console_stream) {}

void HeadlessPlatform::answer(const std::string& path) {
  answers_.push_back({split_path(path)});
}

void HeadlessPlatform::answer_cancel() {
  answers_.emplace_back();
}

void HeadlessPlatform::answer_files(const std::vector<std::string>& paths) {
  std::vector<FileChoice> choices;
  for (const std::string& path : paths) choices.push_back(split_path(path));
  answers_.push_back(std::move(choices));
}

void HeadlessPlatform::answer_text(std::optional<std::string> text) {
  text_answers_.push_back(std::move(text));
}

std::vector<FileChoice> HeadlessPlatform::next_answer(bool save, std::string_view filter,
                                                      std::string_view title) {
  dialogs_.push_back({save, std::string(filter), std::string(title), {}, {}});
  if (answers_.empty()) {
    raise("No answer was given for the dialog \"" + std::string(title) + "\".");
  }
  auto choice = std::move(answers_.front());
  answers_.pop_front();
  return choice;
}

std::optional<FileChoice> HeadlessPlatform::one_file(bool save, std::string_view filter,
                                                     std::string_view title) {
  auto choice = next_answer(save, filter, title);
  if (choice.empty()) return std::nullopt;
  if (choice.size() > 1) {
    raise("The dialog \"" + std::string(title) + "\" takes one file; " +
          std::to_string(choice.size()) + " were given.");
  }
  return std::move(choice.front());
}

std::optional<FileChoice> HeadlessPlatform::get_file(std::string_view filter,
                                                     std::string_view title) {
  return one_file(false, filter, title);
}

std::optional<FileChoice> HeadlessPlatform::put_file(std::string_view filter,
                                                     std::string_view title,
                                                     std::string_view suggested,
                                                     std::string_view folder) {
  auto choice = one_file(true, filter, title);
  dialogs_.back().suggested = suggested;
  dialogs_.back().folder = folder;
  return choice;
}

std::vector<FileChoice> HeadlessPlatform::get_files(std::string_view filter,
                                                    std::string_view title) {
  return next_answer(false, filter, title);
}

std::optional<std::string> HeadlessPlatform::get_folder(std::string_view title) {
  auto choice = one_file(false, "", title);
  if (!choice) return std::nullopt;
  return choice->path() + (choice->name.empty() ? "" : "/");
}

std::optional<std::string> HeadlessPlatform::ask_text(std::string_view title, std::string_view,
                                                      std::string_view) {
  dialogs_.push_back({false, "", std::string(title), {}, {}});
  if (text_answers_.empty()) {
    raise("No answer was given for the question \"" + std::string(title) + "\".");
  }
  auto text = std::move(text_answers_.front());
  text_answers_.pop_front();
  return text;
}

void HeadlessPlatform::show_report(std::string_view title, std::string_view text, Text kind) {
  reports_.emplace_back(title, text);
  prose_.push_back(kind == Text::prose);
}

void HeadlessPlatform::answer_unsaved(Unsaved answer) {
  unsaved_answers_.push_back(answer);
}

Platform::Unsaved HeadlessPlatform::ask_unsaved(std::string_view title, std::string_view) {
  dialogs_.push_back({false, "", std::string(title), {}, {}});
  if (unsaved_answers_.empty()) {
    raise("No answer was given for the question \"" + std::string(title) + "\".");
  }
  const Unsaved answer = unsaved_answers_.front();
  unsaved_answers_.pop_front();
  return answer;
}

void HeadlessPlatform::message(MessageKind kind, std::string_view text) {
  messages_.push_back({kind, std::string(text)});
}

void HeadlessPlatform::save_plot(Graphics&, Handle figure, const std::string& path) {
  saved_plots_.emplace_back(figure, path);
}

void HeadlessPlatform::print_figure(Graphics& graphics, Handle figure,
                                    const std::vector<std::string>& options) {
  PrintRecord record{figure, options, {}, {}};
  Handle axes = graphics.gca();
  record.axes_limits = graphics.limits_of(axes);
  const Matrix position = graphics.get(axes, "Position").matrix();
  record.axes_position.assign(position.data(), position.data() + position.size());
  prints_.push_back(std::move(record));
}

void HeadlessPlatform::drawnow(Graphics& graphics) {
  ++drawnow_count_;
  for (Handle figure : graphics.figures()) graphics.take_stale(figure);
}

void HeadlessPlatform::console(std::string_view text) {
  keep_console_text(console_, text);
  if (stream_) {
    *stream_ << text;
    stream_->flush();
  }
}

}  // namespace dg

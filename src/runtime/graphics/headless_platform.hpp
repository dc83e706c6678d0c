// The platform without a window: dialogs answered from a script, an in-memory
// clipboard, a fixed screen, and a console that writes to a stream and keeps
// a bounded copy. Tests and the batch tool run every action on it.
#pragma once

#include <deque>
#include <iosfwd>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "runtime/graphics/platform.hpp"

namespace dg {

struct DialogRequest {
  bool save = false;
  std::string filter;
  std::string title;
};

struct PrintRecord {
  Handle figure = 0;
  std::vector<std::string> options;
  std::array<double, 4> axes_limits{};  // the current axes' limits while printing
  std::vector<double> axes_position;    // the current axes' position while printing
};

class HeadlessPlatform : public Platform {
 public:
  explicit HeadlessPlatform(std::ostream* console_stream = nullptr);

  // Scripted dialog answers, used in order; a dialog with no answer left raises an error.
  void answer(const std::string& path);
  void answer_cancel();
  // One answer of several files, for a dialog that takes several.
  void answer_files(const std::vector<std::string>& paths);
  // Answers for text questions, used in order; nullopt cancels.
  void answer_text(std::optional<std::string> text);
  // The reports shown: title and text.
  const std::vector<std::pair<std::string, std::string>>& reports() const { return reports_; }
  std::size_t pending_answers() const { return answers_.size(); }
  const std::vector<DialogRequest>& dialogs() const { return dialogs_; }

  const std::vector<PrintRecord>& prints() const { return prints_; }
  const std::string& console_text() const override { return console_; }
  void clear_console() { console_.clear(); }
  std::size_t drawnow_count() const { return drawnow_count_; }
  std::size_t stale_notifications() const { return stale_notifications_; }

  void set_screen_size(double width, double height) { screen_ = {width, height}; }

  std::optional<FileChoice> get_file(std::string_view filter, std::string_view title) override;
  std::optional<FileChoice> put_file(std::string_view filter, std::string_view title) override;
  std::vector<FileChoice> get_files(std::string_view filter, std::string_view title) override;
  // Answered from the file answers: the folder of the next one given.
  std::optional<std::string> get_folder(std::string_view title) override;
  std::optional<std::string> ask_text(std::string_view title, std::string_view prompt,
                                      std::string_view initial) override;
  void show_report(std::string_view title, std::string_view text) override;
  void print_figure(Graphics& graphics, Handle figure,
                    const std::vector<std::string>& options) override;
  std::array<double, 2> screen_size() const override { return screen_; }
  std::array<double, 2> character_size() const override { return {7, 16}; }
  std::array<double, 3> default_control_background() const override { return {0.94, 0.94, 0.94}; }
  std::array<double, 4> frame_margins() const override { return {0, 0, 0, 0}; }
  void drawnow(Graphics& graphics) override;
  void console(std::string_view text) override;
  void figure_stale(Handle) override { ++stale_notifications_; }

 private:
  // The next scripted answer: no files when the dialog is cancelled.
  std::vector<FileChoice> next_answer(bool save, std::string_view filter, std::string_view title);
  std::optional<FileChoice> one_file(bool save, std::string_view filter, std::string_view title);

  std::ostream* stream_;
  std::deque<std::vector<FileChoice>> answers_;
  std::deque<std::optional<std::string>> text_answers_;
  std::vector<std::pair<std::string, std::string>> reports_;
  std::vector<DialogRequest> dialogs_;
  std::vector<PrintRecord> prints_;
  std::string console_;
  std::array<double, 2> screen_{1024, 768};
  std::size_t drawnow_count_ = 0;
  std::size_t stale_notifications_ = 0;
};

}  // namespace dg

// The platform without a window: dialogs answered from a script, an in-memory
// clipboard, a fixed screen, image sizes from a function the caller installs
// (none decoded here), and a console that writes to a stream and keeps a
// bounded copy. Tests and the batch tool run every action on it.
#pragma once

#include <deque>
#include <functional>
#include <iosfwd>
#include <map>
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
  std::string suggested;  // the file name a save dialog suggested
  std::string folder;     // and the folder it started in
};

struct MessageRecord {
  MessageKind kind = MessageKind::Info;
  std::string text;
};

struct PrintRecord {
  Handle figure = 0;
  std::vector<std::string> options;
  std::array<double, 4> axes_limits{};  // the current axes' limits while printing
  std::vector<double> axes_position;    // the current axes' position while printing
};

class HeadlessPlatform : public Platform, public TreeObserver {
 public:
  explicit HeadlessPlatform(std::ostream* console_stream = nullptr);

  // Scripted dialog answers, used in order; a dialog with no answer left raises an error.
  void answer(const std::string& path);
  void answer_cancel();
  // One answer of several files, for a dialog that takes several.
  void answer_files(const std::vector<std::string>& paths);
  // Answers for text questions, used in order; nullopt cancels.
  void answer_text(std::optional<std::string> text);
  // Answers for the questions about unsaved work, used in order.
  void answer_unsaved(Unsaved answer);
  // The messages shown, oldest first.
  const std::vector<MessageRecord>& messages() const { return messages_; }
  // The plots saved: figure and path (nothing is painted without a window).
  const std::vector<std::pair<Handle, std::string>>& saved_plots() const { return saved_plots_; }
  // The reports shown: title and text, and whether each was prose.
  const std::vector<std::pair<std::string, std::string>>& reports() const { return reports_; }
  const std::vector<bool>& prose() const { return prose_; }
  std::size_t pending_answers() const { return answers_.size(); }
  const std::vector<DialogRequest>& dialogs() const { return dialogs_; }

  const std::vector<PrintRecord>& prints() const { return prints_; }
  const std::string& console_text() const override { return console_; }
  void clear_console() { console_.clear(); }
  std::size_t drawnow_count() const { return drawnow_count_; }
  std::size_t stale_notifications() const { return stale_notifications_; }

  void set_screen_size(double width, double height) { screen_ = {width, height}; }
  // Where image_size's answers come from (none without one): a test's table,
  // or the batch tool's reader of image headers.
  using ImageSize = std::function<std::optional<std::array<double, 2>>(const std::string& path)>;
  void set_image_size(ImageSize size) { image_size_ = std::move(size); }
  // The lists of files prefetch_images was given, oldest first; nothing is decoded.
  const std::vector<std::vector<std::string>>& prefetched() const { return prefetched_; }

  // Answered from the file answers: the folder of the next one given.
  std::optional<std::string> get_folder(std::string_view title) override;
  std::optional<std::string> ask_text(std::string_view title, std::string_view prompt,
                                      std::string_view initial) override;
  void show_report(std::string_view title, std::string_view text, Text kind) override;
  Unsaved ask_unsaved(std::string_view title, std::string_view question) override;
  void message(MessageKind kind, std::string_view text) override;
  std::vector<std::string> recent_files() const override { return recent_; }
  void store_recent_files(const std::vector<std::string>& files) override { recent_ = files; }
  std::string setting(std::string_view key) const override {
    const auto found = settings_.find(std::string(key));
    return found == settings_.end() ? std::string() : found->second;
  }
  void store_setting(std::string_view key, std::string_view value) override {
    settings_[std::string(key)] = std::string(value);
  }
  void save_plot(Graphics& graphics, Handle figure, const std::string& path) override;
  void print_figure(Graphics& graphics, Handle figure,
                    const std::vector<std::string>& options) override;
  std::array<double, 2> screen_size() const override { return screen_; }
  std::array<double, 2> character_size() const override { return {7, 16}; }
  std::array<double, 3> default_control_background() const override { return {0.94, 0.94, 0.94}; }
  std::array<double, 4> frame_margins() const override { return {0, 0, 0, 0}; }
  void drawnow(Graphics& graphics) override;
  void console(std::string_view text) override;
  void figure_stale(Handle) override { ++stale_notifications_; }
  std::optional<std::array<double, 2>> image_size(const std::string& path) const override {
    return image_size_ ? image_size_(path) : std::nullopt;
  }
  void prefetch_images(const std::vector<std::string>& paths) override {
    prefetched_.push_back(paths);
  }

  std::optional<FileChoice> get_file(std::string_view filter, std::string_view title) override;
  std::optional<FileChoice> put_file(std::string_view filter, std::string_view title,
                                     std::string_view suggested, std::string_view folder) override;
  std::vector<FileChoice> get_files(std::string_view filter, std::string_view title) override;

 private:
  // The next scripted answer: no files when the dialog is cancelled.
  std::vector<FileChoice> next_answer(bool save, std::string_view filter, std::string_view title);
  std::optional<FileChoice> one_file(bool save, std::string_view filter, std::string_view title);

  std::ostream* stream_;
  std::deque<std::vector<FileChoice>> answers_;
  std::deque<std::optional<std::string>> text_answers_;
  std::vector<std::pair<std::string, std::string>> reports_;
  std::vector<bool> prose_;
  std::deque<Unsaved> unsaved_answers_;
  std::vector<MessageRecord> messages_;
  std::vector<std::pair<Handle, std::string>> saved_plots_;
  std::vector<std::string> recent_;
  std::map<std::string, std::string> settings_;
  std::vector<DialogRequest> dialogs_;
  std::vector<PrintRecord> prints_;
  std::string console_;
  std::array<double, 2> screen_{1024, 768};
  std::size_t drawnow_count_ = 0;
  std::size_t stale_notifications_ = 0;
  ImageSize image_size_;
  std::vector<std::vector<std::string>> prefetched_;
};

}  // namespace dg

// The native Windows platform: one top-level window per figure of the
// graphics tree (a docked figure a panel at the right of the first other
// figure's window), native controls for its uicontrols, a menu bar with
// accelerators for its uimenus, the axes painted by the GDI+ painter from
// the primitives the Qt window draws, the common file dialogs, the
// clipboard's metafile and bitmap, and the registry for the settings.
//
// As in the Qt platform, changes to the tree reach the windows in batches:
// a figure turning stale posts one sync for when the message loop is next
// idle; drawnow() runs the pending syncs and paints at once. Every callback
// and every change a window makes to the tree runs guarded: an exception
// never crosses into a window procedure, its message goes to the console
// and to each window's status line. Geometry of the tree is in logical
// pixels (96 an inch); each window converts with its monitor's DPI.
#pragma once

#include <windows.h>

#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "runtime/graphics/graphics.hpp"
#include "runtime/graphics/platform.hpp"
#include "runtime/graphics/window_rules.hpp"
#include "runtime/win32/gdiplus_painter.hpp"

namespace dg {

class FigureFrame;
class TextWindow;

class Win32Platform : public Platform, public TreeObserver {
 public:
  Win32Platform();
  ~Win32Platform() override;
  Win32Platform(const Win32Platform&) = delete;
  Win32Platform& operator=(const Win32Platform&) = delete;

  void attach(Graphics& graphics);
  using CallbackRunner = std::function<void(Handle object, const std::string& callback)>;
  void set_callback_runner(CallbackRunner runner) { runner_ = std::move(runner); }
  // Runs a callback text guarded; while it runs the windows repaint every
  // 50 ms of its progress steps (user input waits), and after 0.3 s the
  // cursor shows that the program is busy.
  void run_callback(Handle object, const std::string& callback);
  // A callback waiting for work off the message loop (wait_live) does not
  // count: the tree is not being changed meanwhile.
  bool working() const { return working_ > waiting_; }
  void guarded(const std::function<void()>& body) noexcept;

  // Runs the message loop until no figure is open, or only docked ones are.
  int exec();
  // Handles the messages waiting now, for tests and for progress.
  void pump(bool user_input);

  FigureFrame* dock_host(Handle docked) const;
  FigureFrame* find(Handle figure) const;
  HWND window_of(Handle figure);

  // Scripted dialog answers, used in order instead of showing a dialog.
  void answer(const std::string& path) { scripted_.answer(path); }
  void answer_cancel() { scripted_.answer_cancel(); }
  void answer_text(std::optional<std::string> text) { scripted_.answer_text(std::move(text)); }
  void answer_unsaved(Unsaved answer) { scripted_.answer_unsaved(answer); }

  const std::string& console_text() const override { return console_; }
  const std::string& status_line() const { return status_; }
  MessageKind status_kind() const { return status_kind_; }
  // Every message of the session as "hh:mm:ss  Kind  text" lines.
  std::string messages_text() const;
  void show_messages();
  void sync_now(Handle figure);
  // The window of the running dialog's owner: the current figure's.
  HWND dialog_owner() const;

  std::optional<FileChoice> get_file(std::string_view filter, std::string_view title) override;
  std::optional<FileChoice> put_file(std::string_view filter, std::string_view title,
                                     std::string_view suggested, std::string_view folder) override;
  std::vector<FileChoice> get_files(std::string_view filter, std::string_view title) override;
  std::optional<std::string> get_folder(std::string_view title) override;
  std::optional<std::string> ask_text(std::string_view title, std::string_view prompt,
                                      std::string_view initial) override;
  void show_report(std::string_view title, std::string_view text, Text kind) override;
  Unsaved ask_unsaved(std::string_view title, std::string_view question) override;
  void message(MessageKind kind, std::string_view text) override;
  // Kept in the registry under HKEY_CURRENT_USER\Software\Distangler\Distangler.
  std::vector<std::string> recent_files() const override;
  void store_recent_files(const std::vector<std::string>& files) override;
  std::string setting(std::string_view key) const override;
  void store_setting(std::string_view key, std::string_view value) override;
  // PNG, SVG or EMF by the extension.
  void save_plot(Graphics& graphics, Handle figure, const std::string& path) override;
  std::vector<std::string> plot_formats() const override;
  void console(std::string_view text) override;

  // Puts the figure on the clipboard as an enhanced metafile and a bitmap.
  void print_figure(Graphics& graphics, Handle figure,
                    const std::vector<std::string>& options) override;
  std::array<double, 2> screen_size() const override;
  std::array<double, 2> character_size() const override;
  std::array<double, 3> default_control_background() const override;
  std::array<double, 4> frame_margins() const override;
  void drawnow(Graphics& graphics) override;
  // Runs a message loop, user input included, until the work has finished;
  // Esc cancels it.
  void wait_live(BackgroundWork& work, std::string_view status) override;
  void figure_stale(Handle figure) override;
  void figure_closed(Handle figure) override;
  void figure_raised(Handle figure) override;
  std::optional<std::array<double, 2>> image_size(const std::string& path) const override;

  // The message font of the system at a DPI, shared by the windows.
  HFONT ui_font(UINT dpi);
  static constexpr UINT kFlushMessage = WM_APP + 1;

 private:
  void schedule();
  void flush();
  bool only_docked_left() const;
  std::optional<FileChoice> dialog(bool save, std::string_view filter, std::string_view title,
                                   std::string_view suggested = {}, std::string_view folder = {});
  enum class Pick { one, several, save };
  std::vector<wchar_t> common_dialog(Pick pick, std::string_view filter, std::string_view title,
                                     const std::wstring& start, const std::wstring& suggested = {});
  bool translate(MSG& msg);
  std::wstring start_folder() const;
  static void progress_step(void* platform);
  static LRESULT CALLBACK post_office(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);

  GdiplusSession gdiplus_;
  Graphics* graphics_ = nullptr;
  CallbackRunner runner_;
  HWND post_office_ = nullptr;  // a message-only window that runs the scheduled syncs
  bool scheduled_ = false;
  std::set<Handle> pending_;
  std::map<Handle, std::unique_ptr<FigureFrame>> windows_;
  std::vector<std::unique_ptr<FigureFrame>> closing_;
  ScriptedAnswers scripted_;
  bool looping_ = false;
  std::string console_;
  std::string status_;
  MessageKind status_kind_ = MessageKind::Info;
  int callback_warnings_ = 0;
  struct LoggedMessage {
    SYSTEMTIME time;
    MessageKind kind;
    std::string text;
  };
  std::vector<LoggedMessage> messages_;
  std::unique_ptr<TextWindow> messages_window_;
  std::vector<std::unique_ptr<TextWindow>> reports_;
  std::wstring last_folder_;
  int working_ = 0;
  int waiting_ = 0;  // of the callbacks running, those in wait_live
  std::chrono::steady_clock::time_point work_start_;
  std::chrono::steady_clock::time_point last_events_;
  bool busy_cursor_ = false;
  std::map<UINT, HFONT> fonts_;
};

}  // namespace dg

// The real platform: one top-level window per figure of the graphics tree,
// native widgets for its controls, a menu bar for its menus, the axes painted
// by the axes painter, Qt file dialogs, the system clipboard and the screen.
//
// Changes to the tree reach the windows in batches: a figure turning stale
// schedules one sync of that figure for when the event loop is next idle;
// drawnow() runs the pending syncs and paints at once. Every callback and
// every change a window makes to the tree runs guarded: an exception never
// crosses into Qt, its message goes to the console (standard output and each
// window's status line). A QApplication must exist for the platform's life.
#pragma once

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "runtime/graphics/graphics.hpp"
#include "runtime/graphics/platform.hpp"
#include "runtime/graphics/window_rules.hpp"

class QAction;
class QEventLoop;
class QPlainTextEdit;

namespace dg {

class FigureWindow;

class QtPlatform : public Platform, public TreeObserver {
 public:
  QtPlatform();
  ~QtPlatform() override;
  QtPlatform(const QtPlatform&) = delete;
  QtPlatform& operator=(const QtPlatform&) = delete;

  // The tree whose figures the windows show; once, right after it is made.
  void attach(Graphics& graphics);

  // Runs a control's or menu's callback text; the object is the control or menu.
  using CallbackRunner = std::function<void(Handle object, const std::string& callback)>;
  void set_callback_runner(CallbackRunner runner) { runner_ = std::move(runner); }
  // Calls the runner with a non-empty callback text, guarded. While it runs,
  // its progress steps let the windows repaint (user input waits), and after
  // 0.3 s the cursor shows that the program is busy.
  void run_callback(Handle object, const std::string& callback);
  // True while a callback runs: canvases show their last drawing rather than
  // render a tree that is being changed.
  // A callback waiting for work off the event loop (wait_live) does not
  // count: the tree is not being changed meanwhile.
  bool working() const { return working_ > waiting_; }
  // Runs `body`; an exception's message goes to the console and no further.
  void guarded(const std::function<void()>& body) noexcept;

  // Runs the event loop until no figure is open, or only docked ones are (they
  // live in another figure's window); returns 0 at once when none is.
  int exec();

  // The window a docked figure's dock goes into: that of the first figure
  // (lowest handle) that is not docked, or null when it has no window yet.
  FigureWindow* dock_host(Handle docked) const;

  // Scripted dialog answers, used in order instead of showing a dialog.
  void answer(const std::string& path) { scripted_.answer(path); }
  void answer_cancel() { scripted_.answer_cancel(); }
  void answer_text(std::optional<std::string> text) { scripted_.answer_text(std::move(text)); }

  // Windows and widgets, for tests and screenshots; pending syncs run first.
  // A docked figure's window is the widget of a QDockWidget in its host.
  QWidget* window_of(Handle figure);
  QWidget* widget_of(Handle control);
  QAction* action_of(Handle menu);
  // Everything written to the console, and the message the status bars show.
  const std::string& console_text() const override { return console_; }
  const QString& status_line() const { return status_; }
  MessageKind status_kind() const { return status_kind_; }
  // Every message of the session, oldest first, with the time it came.
  struct LoggedMessage {
    QDateTime time;
    MessageKind kind;
    QString text;
  };
  const std::vector<LoggedMessage>& messages() const { return messages_; }
  // Every message as one line: "hh:mm:ss  Kind  text".
  QString messages_text() const;
  // Opens (or brings forward) the one "Messages" window of the session, which
  // lists every message, follows new ones while open and copies them all.
  void show_messages();
  QWidget* messages_window() const { return messages_window_; }
  // Scripted answers for yes-or-no questions, used in order.
  void answer_unsaved(Unsaved answer) { scripted_.answer_unsaved(answer); }

  std::optional<std::string> get_folder(std::string_view title) override;
  std::optional<std::string> ask_text(std::string_view title, std::string_view prompt,
                                      std::string_view initial) override;
  // A window of its own, read-only monospaced text and a Close button.
  void show_report(std::string_view title, std::string_view text, Text kind) override;
  Unsaved ask_unsaved(std::string_view title, std::string_view question) override;
  void message(MessageKind kind, std::string_view text) override;
  // Kept in the user's settings under the key "recentFiles".
  std::vector<std::string> recent_files() const override;
  void store_recent_files(const std::vector<std::string>& files) override;
  std::string setting(std::string_view key) const override;
  void store_setting(std::string_view key, std::string_view value) override;
  void save_plot(Graphics& graphics, Handle figure, const std::string& path) override;
  // Puts the figure without its controls on the clipboard as SVG and as a
  // bitmap; options "-noui" and "-dmeta" or "-dbitmap".
  void print_figure(Graphics& graphics, Handle figure,
                    const std::vector<std::string>& options) override;
  std::array<double, 2> screen_size() const override;
  std::array<double, 2> character_size() const override;
  std::array<double, 3> default_control_background() const override;
  std::array<double, 4> frame_margins() const override;
  void drawnow(Graphics& graphics) override;
  // Runs a local event loop, user input included, until the work has
  // finished; Esc anywhere in the program cancels it.
  void wait_live(BackgroundWork& work, std::string_view status) override;
  void console(std::string_view text) override;
  void figure_stale(Handle figure) override;
  void figure_closed(Handle figure) override;
  void figure_raised(Handle figure) override;
  // From the file's header, and decoded ahead on one background thread, into
  // the cache every painter shares (image_cache.hpp).
  std::optional<std::array<double, 2>> image_size(const std::string& path) const override;
  void prefetch_images(const std::vector<std::string>& paths) override;

  std::optional<FileChoice> get_file(std::string_view filter, std::string_view title) override;
  std::optional<FileChoice> put_file(std::string_view filter, std::string_view title,
                                     std::string_view suggested, std::string_view folder) override;
  std::vector<FileChoice> get_files(std::string_view filter, std::string_view title) override;

 private:
  void schedule();
  void flush();
  void sync(Handle figure);
  // True when every figure left is docked (or none is left).
  bool only_docked_left() const;
  FigureWindow* find(Handle figure) const;
  QWidget* dialog_parent() const;
  std::optional<FileChoice> dialog(bool save, std::string_view filter, std::string_view title,
                                   std::string_view suggested = {}, std::string_view folder = {});

  Graphics* graphics_ = nullptr;
  CallbackRunner runner_;
  QObject context_;  // owns the scheduled sync, so it cannot outlive the platform
  bool scheduled_ = false;
  std::set<Handle> pending_;
  std::map<Handle, FigureWindow*> windows_;
  std::deque<QPointer<FigureWindow>> closing_;
  ScriptedAnswers scripted_;
  QEventLoop* loop_ = nullptr;
  std::string console_;
  QString status_;
  MessageKind status_kind_ = MessageKind::Info;
  int callback_warnings_ = 0;  // warnings of the running callback
  std::vector<LoggedMessage> messages_;
  QPointer<QWidget> messages_window_;
  QPlainTextEdit* messages_view_ = nullptr;  // inside messages_window_
  // The folder of the last file an open dialog gave, where the next dialog
  // without a folder of its own starts (the current folder before any).
  QString last_folder_;
  QString start_folder() const;
  int working_ = 0;  // callbacks running
  int waiting_ = 0;  // of those, the ones in wait_live
  QElapsedTimer work_clock_;
  qint64 last_events_ = 0;
  bool busy_cursor_ = false;
  static void progress_step(void* platform);
};

}  // namespace dg

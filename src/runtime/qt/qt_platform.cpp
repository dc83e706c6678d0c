#include "runtime/qt/qt_platform.hpp"

#include "runtime/graphics/window_rules.hpp"

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>
#include <iostream>

#include "runtime/array/background.hpp"
#include "runtime/array/error.hpp"
#include "runtime/array/progress.hpp"
#include "runtime/qt/figure_export.hpp"
#include "runtime/qt/figure_window.hpp"
#include "runtime/qt/image_cache.hpp"

namespace dg {
namespace {

// "*.tps" -> "*.tps files (*.tps);;All files (*)"; "*.*" stands for every file.
QString message_line(const QtPlatform::LoggedMessage& m) {
  static const char* const kinds[] = {"Info", "Warning", "Error"};
  return m.time.toString("hh:mm:ss") + "  " + kinds[static_cast<int>(m.kind)] + "  " + m.text;
}

QString dialog_filter(std::string_view filter) {
  QStringList patterns;
  for (const QString& p : QString::fromUtf8(filter.data(), static_cast<int>(filter.size()))
                              .split(';', Qt::SkipEmptyParts)) {
    QString pattern = p.trimmed();
    if (pattern != "*.*" && pattern != "*") patterns << pattern;
  }
  const QString all = QStringLiteral("All files (*)");
  if (patterns.isEmpty()) return all;
  return patterns.join(' ') + " files (" + patterns.join(' ') + ");;" + all;
}

// Esc pressed in the program's windows, taken as the user's cancel of the
// work a local event loop waits for; a dialog or an open menu keeps its Esc.
class CancelKey : public QObject {
 public:
  explicit CancelKey(BackgroundWork& work) : work_(work) {}
  bool eventFilter(QObject* /*watched*/, QEvent* event) override {
    if (event->type() != QEvent::KeyPress ||
        static_cast<QKeyEvent*>(event)->key() != Qt::Key_Escape ||
        QApplication::activeModalWidget() || QApplication::activePopupWidget()) {
      return false;
    }
    work_.cancel(BackgroundWork::Reason::user);
    return true;
  }

 private:
  BackgroundWork& work_;
};

}  // namespace

QtPlatform::QtPlatform() {
  QGuiApplication::setQuitOnLastWindowClosed(false);
}

QtPlatform::~QtPlatform() {
  delete messages_window_.data();
  // A docked window must not go down with its host's window.
  for (auto& [figure, window] : windows_) window->undock();
  for (auto& [figure, window] : windows_) delete window;
  for (auto& window : closing_) delete window.data();
}

void QtPlatform::attach(Graphics& graphics) {
  graphics_ = &graphics;
  for (Handle figure : graphics.figures()) pending_.insert(figure);
  if (!pending_.empty()) schedule();
}

void QtPlatform::guarded(const std::function<void()>& body) noexcept {
  run_guarded(*this, body);
}

void QtPlatform::run_callback(Handle object, const std::string& callback) {
  if (callback.empty()) return;
  if (working_++ == waiting_) {
    callback_warnings_ = 0;
    work_clock_.start();
    last_events_ = 0;
  }
  {
    ProgressScope steps(&QtPlatform::progress_step, this);
    guarded([&] {
      if (!runner_) raise("No callback runner is set, so \"" + callback + "\" did not run.");
      runner_(object, callback);
    });
  }
  if (--working_ > waiting_) return;
  if (busy_cursor_) {
    QGuiApplication::restoreOverrideCursor();
    busy_cursor_ = false;
  }
  // Canvases that skipped rendering while the callback ran catch up now.
  for (auto& [figure, window] : windows_) window->canvas()->update();
}

void QtPlatform::progress_step(void* context) {
  auto& self = *static_cast<QtPlatform*>(context);
  const qint64 now = self.work_clock_.elapsed();
  if (now - self.last_events_ < 50) return;
  self.last_events_ = now;
  if (now >= 300 && !self.busy_cursor_) {
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    self.busy_cursor_ = true;
  }
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void QtPlatform::wait_live(BackgroundWork& work, std::string_view status) {
  if (work.finished()) return;
  // The wait cursor of the running callback gives way to one that says the
  // window answers.
  if (busy_cursor_) {
    QGuiApplication::restoreOverrideCursor();
    busy_cursor_ = false;
  }
  QGuiApplication::setOverrideCursor(Qt::BusyCursor);
  CancelKey key(work);
  QCoreApplication::instance()->installEventFilter(&key);
  ++waiting_;
  QEventLoop loop;
  QTimer poll;
  QElapsedTimer clock;
  clock.start();
  QString shown;
  const auto look = [&] {
    if (work.finished()) return loop.quit();
    const std::string text =
        live_status(status, static_cast<double>(clock.elapsed()) / 1000, work.cancelled());
    const QString line = QString::fromStdString(text);
    if (line == shown) return;
    shown = line;
    for (auto& [figure, window] : windows_) window->show_status(line, MessageKind::Info);
  };
  QObject::connect(&poll, &QTimer::timeout, &loop, look);
  poll.start(15);
  look();
  loop.exec();
  --waiting_;
  QCoreApplication::instance()->removeEventFilter(&key);
  QGuiApplication::restoreOverrideCursor();
  // The status line goes back to the last message until the work's own.
  for (auto& [figure, window] : windows_) window->show_status(status_, status_kind_);
}

int QtPlatform::exec() {
  flush();
  if (!graphics_ || only_docked_left()) return 0;
  QEventLoop loop;
  loop_ = &loop;
  int status = loop.exec();
  loop_ = nullptr;
  return status;
}

void QtPlatform::schedule() {
  if (scheduled_) return;
  scheduled_ = true;
  QTimer::singleShot(0, &context_, [this] { flush(); });
}

void QtPlatform::flush() {
  scheduled_ = false;
  std::set<Handle> figures;
  figures.swap(pending_);
  // Hosts first, so that a docked figure finds the window it goes into.
  for (bool docked : {false, true}) {
    for (Handle figure : figures) {
      if (graphics_ && graphics_->is_handle(figure) &&
          graphics_->type(figure) == ObjectType::Figure &&
          graphics_->figure(figure).docked == docked) {
        sync(figure);
      }
    }
  }
}

bool QtPlatform::only_docked_left() const {
  return dg::only_docked_left(*graphics_);
}

FigureWindow* QtPlatform::dock_host(Handle docked) const {
  if (!graphics_) return nullptr;
  const std::optional<Handle> first = dock_host_figure(*graphics_, docked);
  return first ? find(*first) : nullptr;
}

void QtPlatform::sync(Handle figure) {
  if (!graphics_ || !graphics_->is_handle(figure) ||
      graphics_->type(figure) != ObjectType::Figure) {
    return;
  }
  graphics_->take_stale(figure);
  FigureWindow* window = find(figure);
  if (!window) {
    window = new FigureWindow(*this, *graphics_, figure);
    windows_[figure] = window;
  }
  guarded([&] { window->sync(); });
}

FigureWindow* QtPlatform::find(Handle figure) const {
  auto it = windows_.find(figure);
  return it == windows_.end() ? nullptr : it->second;
}

void QtPlatform::figure_stale(Handle figure) {
  pending_.insert(figure);
  schedule();
}

void QtPlatform::figure_closed(Handle figure) {
  pending_.erase(figure);
  if (FigureWindow* window = find(figure)) {
    windows_.erase(figure);
    // Docked figures leave the window first; they find another host, or
    // become windows of their own, at their next sync.
    bool moved = false;
    for (auto& [docked, other] : windows_) {
      if (other->host() != window) continue;
      other->undock();
      pending_.insert(docked);
      moved = true;
    }
    if (moved) schedule();
    // The window may be running the callback that closed it: it goes later.
    window->detach();
    window->undock();
    window->hide();
    window->deleteLater();
    closing_.emplace_back(window);
  }
  while (!closing_.empty() && !closing_.front()) closing_.pop_front();
  if (loop_ && graphics_ && only_docked_left()) loop_->quit();
}

void QtPlatform::figure_raised(Handle figure) {
  if (FigureWindow* window = find(figure); window && window->isVisible()) {
    window->raise();
    window->activateWindow();
  }
}

std::optional<std::array<double, 2>> QtPlatform::image_size(const std::string& path) const {
  return image_file_size(path);
}

void QtPlatform::prefetch_images(const std::vector<std::string>& paths) {
  prefetch_image_files(paths);
}

QWidget* QtPlatform::window_of(Handle figure) {
  flush();
  return find(figure);
}

QWidget* QtPlatform::widget_of(Handle control) {
  flush();
  if (!graphics_ || !graphics_->is_handle(control)) return nullptr;
  auto figure = graphics_->figure_of(control);
  FigureWindow* window = figure ? find(*figure) : nullptr;
  return window ? window->widget_of(control) : nullptr;
}

QAction* QtPlatform::action_of(Handle menu) {
  flush();
  if (!graphics_ || !graphics_->is_handle(menu)) return nullptr;
  auto figure = graphics_->figure_of(menu);
  FigureWindow* window = figure ? find(*figure) : nullptr;
  return window ? window->action_of(menu) : nullptr;
}

QWidget* QtPlatform::dialog_parent() const {
  if (!graphics_) return nullptr;
  auto current = graphics_->current_figure();
  FigureWindow* window = current ? find(*current) : nullptr;
  return window && window->isVisible() ? window : nullptr;
}

std::optional<FileChoice> QtPlatform::dialog(bool save, std::string_view filter,
                                             std::string_view title, std::string_view suggested,
                                             std::string_view folder) {
  if (auto answer = scripted_.file()) return *answer;
  flush();
  const QString caption = QString::fromUtf8(title.data(), static_cast<int>(title.size()));
  QString start = start_folder();
  if (!folder.empty() && QDir(QString::fromUtf8(folder.data(), int(folder.size()))).exists()) {
    start = QString::fromUtf8(folder.data(), static_cast<int>(folder.size()));
  }
  if (!suggested.empty()) {
    start = QDir(start).filePath(
        QString::fromUtf8(suggested.data(), static_cast<int>(suggested.size())));
  }
  const QString path =
      save ? QFileDialog::getSaveFileName(dialog_parent(), caption, start, dialog_filter(filter))
           : QFileDialog::getOpenFileName(dialog_parent(), caption, start, dialog_filter(filter));
  if (path.isEmpty()) return std::nullopt;
  FileChoice choice = split_path(path.toStdString());
  if (!save) last_folder_ = QString::fromStdString(choice.folder);
  return choice;
}

QString QtPlatform::start_folder() const {
  return last_folder_.isEmpty() ? QDir::currentPath() : last_folder_;
}

std::optional<FileChoice> QtPlatform::get_file(std::string_view filter, std::string_view title) {
  return dialog(false, filter, title);
}

std::optional<FileChoice> QtPlatform::put_file(std::string_view filter, std::string_view title,
                                               std::string_view suggested,
                                               std::string_view folder) {
  return dialog(true, filter, title, suggested, folder);
}

std::vector<FileChoice> QtPlatform::get_files(std::string_view filter, std::string_view title) {
  std::vector<FileChoice> choices;
  if (scripted_.has_file()) {
    if (auto one = dialog(false, filter, title)) choices.push_back(std::move(*one));
    return choices;
  }
  flush();
  const QStringList paths = QFileDialog::getOpenFileNames(
      dialog_parent(), QString::fromUtf8(title.data(), static_cast<int>(title.size())),
      start_folder(), dialog_filter(filter));
  for (const QString& path : paths) choices.push_back(split_path(path.toStdString()));
  if (!choices.empty()) last_folder_ = QString::fromStdString(choices.front().folder);
  return choices;
}

std::optional<std::string> QtPlatform::get_folder(std::string_view title) {
  if (auto answer = scripted_.folder('/')) return *answer;
  flush();
  const QString folder = QFileDialog::getExistingDirectory(
      dialog_parent(), QString::fromUtf8(title.data(), static_cast<int>(title.size())),
      start_folder());
  if (folder.isEmpty()) return std::nullopt;
  return folder.toStdString() + "/";
}

std::optional<std::string> QtPlatform::ask_text(std::string_view title, std::string_view prompt,
                                                std::string_view initial) {
  if (auto answer = scripted_.text()) return *answer;
  flush();
  bool ok = false;
  const QString text = QInputDialog::getText(
      dialog_parent(), QString::fromUtf8(title.data(), static_cast<int>(title.size())),
      QString::fromUtf8(prompt.data(), static_cast<int>(prompt.size())), QLineEdit::Normal,
      QString::fromUtf8(initial.data(), static_cast<int>(initial.size())), &ok);
  if (!ok) return std::nullopt;
  return text.toStdString();
}

void QtPlatform::show_report(std::string_view title, std::string_view text, Text kind) {
  auto* dialog = new QDialog(dialog_parent());
  dialog->setObjectName("Report");
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setWindowTitle(QString::fromUtf8(title.data(), static_cast<int>(title.size())));
  auto* view = new QPlainTextEdit(dialog);
  view->setReadOnly(true);
  if (kind == Text::report) {
    view->setLineWrapMode(QPlainTextEdit::NoWrap);
    view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  } else {
    view->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  }
  // Names of files and specimens may be Latin-1 bytes; those show as
  // replacement characters rather than cutting the text short.
  view->setPlainText(QString::fromUtf8(text.data(), static_cast<int>(text.size())));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::close);
  auto* layout = new QVBoxLayout(dialog);
  layout->addWidget(view);
  layout->addWidget(buttons);
  dialog->resize(720, 480);
  dialog->show();
}

Platform::Unsaved QtPlatform::ask_unsaved(std::string_view title, std::string_view question) {
  if (auto answer = scripted_.unsaved()) return *answer;
  flush();
  switch (QMessageBox::question(
      dialog_parent(), QString::fromUtf8(title.data(), static_cast<int>(title.size())),
      QString::fromUtf8(question.data(), static_cast<int>(question.size())),
      QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save)) {
    case QMessageBox::Save:
      return Unsaved::save;
    case QMessageBox::Discard:
      return Unsaved::discard;
    default:
      return Unsaved::cancel;
  }
}

void QtPlatform::message(MessageKind kind, std::string_view text) {
  const QString line = QString::fromUtf8(text.data(), static_cast<int>(text.size()));
  messages_.push_back({QDateTime::currentDateTime(), kind, line});
  if (messages_window_) messages_view_->appendPlainText(message_line(messages_.back()));
  const StatusLine status = dg::status_line(kind, text, working_ > 0, callback_warnings_);
  status_ = QString::fromUtf8(status.text.data(), static_cast<qsizetype>(status.text.size()));
  status_kind_ = status.kind;
  for (auto& [figure, window] : windows_) window->show_status(status_, status_kind_);
}

QString QtPlatform::messages_text() const {
  QStringList lines;
  for (const LoggedMessage& m : messages_) lines << message_line(m);
  return lines.join('\n');
}

void QtPlatform::show_messages() {
  if (!messages_window_) {
    auto* window = new QDialog;
    window->setObjectName("Messages");
    window->setWindowTitle("Messages");
    window->setAttribute(Qt::WA_DeleteOnClose);
    messages_view_ = new QPlainTextEdit(window);
    messages_view_->setReadOnly(true);
    messages_view_->setLineWrapMode(QPlainTextEdit::NoWrap);
    messages_view_->setTextInteractionFlags(Qt::TextSelectableByMouse |
                                            Qt::TextSelectableByKeyboard);
    messages_view_->setPlainText(messages_text());
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, window);
    QPushButton* copy = buttons->addButton("&Copy", QDialogButtonBox::ActionRole);
    QObject::connect(copy, &QPushButton::clicked, window,
                     [this] { QGuiApplication::clipboard()->setText(messages_text()); });
    QObject::connect(buttons, &QDialogButtonBox::rejected, window, &QDialog::close);
    auto* layout = new QVBoxLayout(window);
    layout->addWidget(messages_view_);
    layout->addWidget(buttons);
    window->resize(640, 320);
    messages_window_ = window;
  }
  messages_window_->show();
  messages_window_->raise();
  messages_window_->activateWindow();
}

std::vector<std::string> QtPlatform::recent_files() const {
  std::vector<std::string> files;
  for (const QString& file : QSettings().value("recentFiles").toStringList()) {
    files.push_back(file.toStdString());
  }
  return files;
}

void QtPlatform::store_recent_files(const std::vector<std::string>& files) {
  QStringList list;
  for (const std::string& file : files) list << QString::fromStdString(file);
  QSettings().setValue("recentFiles", list);
}

// Settings of this kind live in their own group, keyed by the text given.
std::string QtPlatform::setting(std::string_view key) const {
  QSettings settings;
  settings.beginGroup("kept");
  return settings.value(QString::fromStdString(std::string(key)).toUtf8().toBase64())
      .toString()
      .toStdString();
}

void QtPlatform::store_setting(std::string_view key, std::string_view value) {
  QSettings settings;
  settings.beginGroup("kept");
  settings.setValue(QString::fromStdString(std::string(key)).toUtf8().toBase64(),
                    QString::fromStdString(std::string(value)));
}

void QtPlatform::save_plot(Graphics& graphics, Handle figure, const std::string& path) {
  write_plot(graphics, figure, path);
}

void QtPlatform::print_figure(Graphics& graphics, Handle figure,
                              const std::vector<std::string>& options) {
  check_print_options(options);
  copy_figure(graphics, figure);
}

std::array<double, 2> QtPlatform::screen_size() const {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return {1024, 768};
  QSize size = screen->geometry().size();
  return {double(size.width()), double(size.height())};
}

std::array<double, 2> QtPlatform::character_size() const {
  QFontMetricsF metrics(QApplication::font());
  return {metrics.averageCharWidth(), metrics.height()};
}

std::array<double, 3> QtPlatform::default_control_background() const {
  QColor c = QApplication::palette().color(QPalette::Button);
  return {c.redF(), c.greenF(), c.blueF()};
}

std::array<double, 4> QtPlatform::frame_margins() const {
  FigureWindow* window = nullptr;
  if (graphics_) {
    if (auto current = graphics_->current_figure()) window = find(*current);
  }
  if (window && window->host()) window = nullptr;  // inside another window: no frame
  for (auto& [figure, w] : windows_) {
    if (!w->host() && (!window || !window->isVisible())) window = w;
  }
  if (window && window->isVisible()) return window->margins();
  // Before any window shows, the status bar (with its Messages button) is
  // the one part known for sure.
  static const double status_height = [] {
    QStatusBar bar;
    bar.addPermanentWidget(new QPushButton("M&essages"));
    return bar.sizeHint().height();
  }();
  return {0, 0, status_height, 0};
}

void QtPlatform::drawnow(Graphics&) {
  flush();
  for (auto& [figure, window] : windows_) {
    if (window->isVisible()) window->canvas()->repaint();
  }
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  flush();
}

void QtPlatform::console(std::string_view text) {
  std::cout << text << std::flush;
  keep_console_text(console_, text);
}

}  // namespace dg

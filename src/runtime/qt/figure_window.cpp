#include "runtime/qt/figure_window.hpp"

#include <QShortcut>
#include <utility>

#include <QAction>
#include <QCloseEvent>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeySequence>
#include <QLineF>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <functional>

#include "runtime/graphics/window_rules.hpp"
#include "runtime/qt/control_widgets.hpp"
#include "runtime/qt/qt_platform.hpp"

namespace dg {
namespace {

int round_int(double v) {
  return static_cast<int>(std::lround(v));
}

bool near(double a, double b) {
  return std::abs(a - b) < 1;
}

// The local files among dropped data, in the order given.
QStringList local_files(const QMimeData* mime) {
  QStringList files;
  if (!mime || !mime->hasUrls()) return files;
  for (const QUrl& url : mime->urls()) {
    if (url.isLocalFile()) files << url.toLocalFile();
  }
  return files;
}

// A label as shown: "&&" is an ampersand, any other "&" marks a mnemonic.
QString without_mnemonics(const QString& label) {
  QString shown;
  for (qsizetype i = 0; i < label.size(); ++i) {
    if (label[i] == '&' && i + 1 < label.size()) ++i;
    shown += label[i];
  }
  return shown;
}

// A one-character accelerator means Ctrl and that key; a longer one is a
// whole key sequence ("Ctrl+Shift+O", "F1").
QKeySequence accelerator_keys(const std::string& accelerator) {
  QString keys = QString::fromStdString(accelerator);
  if (keys.size() == 1) keys = "Ctrl+" + keys;
  return QKeySequence::fromString(keys, QKeySequence::PortableText);
}

// The dock of a docked figure: its close button closes the figure, or asks
// the figure's CloseRequestFcn, as a window's close button does.
class FigureDock : public QDockWidget {
 public:
  FigureDock(const QString& title, std::function<bool()> close_requested)
      : QDockWidget(title), close_requested_(std::move(close_requested)) {}

 protected:
  void closeEvent(QCloseEvent* event) override {
    if (close_requested_()) {
      event->accept();
    } else {
      event->ignore();
    }
  }

 private:
  std::function<bool()> close_requested_;
};

// Room a push button needs around its label: the frame and the style's margins.
constexpr int kButtonPaddingX = 12;
constexpr int kButtonPaddingY = 4;

}  // namespace

FigureCanvas::FigureCanvas(FigureWindow& window) : QWidget(&window), window_(window) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::StrongFocus);  // Home resets the view; Tab reaches the plot last
  let_points_go_.setSingleShot(true);
  let_points_go_.setInterval(1000);
  connect(&let_points_go_, &QTimer::timeout, this,
          [this] { std::vector<std::vector<PlotPoint>>().swap(sprites_.spare_points); });
}

void FigureCanvas::invalidate() {
  dirty_ = true;
  update();
}

void FigureCanvas::render_if_needed() {
  const qreal dpr = devicePixelRatioF();
  const QSize want(static_cast<int>(std::ceil(width() * dpr)),
                   static_cast<int>(std::ceil(height() * dpr)));
  if (!dirty_ && cache_.size() == want && cache_.devicePixelRatio() == dpr) return;
  cache_ = QImage(want.expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
  cache_.setDevicePixelRatio(dpr);
  cache_.setDotsPerMeterX(3780);  // 96 dots per inch, as every picture of a figure
  cache_.setDotsPerMeterY(3780);
  QPainter painter(&cache_);
  window_.paint_canvas(painter, size(), sprites_);
  if (!sprites_.spare_points.empty()) let_points_go_.start();
  rendered_changes_ = window_.figure_changes();
  dirty_ = false;
  if (pan_axes_ < 0) pan_offset_ = {};  // the drawing now shows the panned view
}

void FigureCanvas::paintEvent(QPaintEvent*) {
  if (window_.busy() && !cache_.isNull()) {
    // The tree is being changed by a running callback: the last drawing
    // stands in, stretched to the canvas, until the callback ends.
    QPainter(this).drawImage(rect(), cache_);
    return;
  }
  render_if_needed();
  QPainter painter(this);
  painter.drawImage(QPoint(0, 0), cache_);
  if (!pan_offset_.isNull()) {
    // While dragging, the plot box shows the drawing moved along.
    painter.setClipRect(pan_box_);
    painter.fillRect(pan_box_, Qt::white);
    painter.drawImage(pan_offset_, cache_);
  }
}

void FigureCanvas::wheelEvent(QWheelEvent* event) {
  const Handle axes = window_.busy() ? -1 : window_.axes_at(event->position());
  const double steps = event->angleDelta().y() / 120.0;
  if (axes < 0 || steps == 0) {
    event->ignore();
    return;
  }
  window_.zoom(axes, event->position(), std::pow(0.8, steps));
  event->accept();
}

void FigureCanvas::mousePressEvent(QMouseEvent* event) {
  QRectF box;
  const Handle axes = window_.busy() ? -1 : window_.axes_at(event->position(), &box);
  if (event->button() != Qt::LeftButton || axes < 0) return QWidget::mousePressEvent(event);
  setFocus(Qt::MouseFocusReason);
  drag_line_ = window_.landmark_at(axes, event->position());
  pan_axes_ = axes;
  pan_box_ = box;
  pan_start_ = event->position();
  pan_offset_ = {};
  pan_dragging_ = false;
}

void FigureCanvas::mouseMoveEvent(QMouseEvent* event) {
  if (pan_axes_ < 0) {
    if (event->buttons() == Qt::NoButton && hasMouseTracking() && !window_.busy()) {
      queue_motion(event->position(), false);
    }
    return QWidget::mouseMoveEvent(event);
  }
  if (!pan_dragging_ && QLineF(pan_start_, event->position()).length() > kClickSlop) {
    pan_dragging_ = true;
    turn_from_ = pan_start_;
    setCursor(Qt::ClosedHandCursor);
  }
  if (!pan_dragging_) return;
  if (drag_line_ >= 0) return window_.drag_landmark(pan_axes_, drag_line_, event->position());
  if (window_.rotates(pan_axes_)) {
    // A three-dimensional view turns with the pointer: half a degree a pixel.
    const QPointF step = event->position() - turn_from_;
    turn_from_ = event->position();
    window_.turn(pan_axes_, step);
    return;
  }
  pan_offset_ = event->position() - pan_start_;
  update();
}

void FigureCanvas::mouseReleaseEvent(QMouseEvent* event) {
  if (pan_axes_ < 0 || event->button() != Qt::LeftButton) {
    return QWidget::mouseReleaseEvent(event);
  }
  const Handle axes = pan_axes_;
  pan_axes_ = -1;
  unsetCursor();
  const bool drag = pan_dragging_ || QLineF(pan_start_, event->position()).length() > kClickSlop;
  pan_dragging_ = false;
  if (const Handle line = std::exchange(drag_line_, -1); line >= 0 && drag) {
    pan_offset_ = {};
    return window_.drop_landmark(axes, line, event->position());
  }
  pan_offset_ = drag ? event->position() - pan_start_ : QPointF();
  if (drag && window_.rotates(axes)) {
    pan_offset_ = {};
    update();
    return;
  }
  if (pan_offset_.isNull() || window_.busy()) {
    pan_offset_ = {};
    update();
    if (!drag && !window_.busy()) window_.click(axes, event->position());
    return;
  }
  // The moved drawing stays until the panned view is rendered.
  window_.pan(axes, pan_offset_);
}

void FigureCanvas::mouseDoubleClickEvent(QMouseEvent* event) {
  const Handle axes = window_.busy() ? -1 : window_.axes_at(event->position());
  if (event->button() != Qt::LeftButton || axes < 0) return QWidget::mouseDoubleClickEvent(event);
  window_.reset_view(axes);
}

void FigureCanvas::keyPressEvent(QKeyEvent* event) {
  const Handle axes = window_.busy() ? -1 : window_.current_axes();
  if (event->key() != Qt::Key_Home || event->modifiers() != Qt::NoModifier || axes < 0) {
    return QWidget::keyPressEvent(event);
  }
  window_.reset_view(axes);
}

void FigureCanvas::leaveEvent(QEvent* event) {
  QWidget::leaveEvent(event);
  if (hasMouseTracking() && pan_axes_ < 0 && !window_.busy()) queue_motion({}, true);
}

void FigureCanvas::queue_motion(QPointF point, bool left) {
  motion_point_ = point;
  motion_left_ = left;
  if (motion_pending_) return;
  motion_pending_ = true;
  QTimer::singleShot(0, this, [this] { run_motion(); });
}

void FigureCanvas::run_motion() {
  if (pan_axes_ >= 0) {  // a press came first: no motion during a drag
    motion_pending_ = false;
    return;
  }
  if (window_.busy()) {
    // The timer fired while a callback handles events: the latest place
    // waits until the callback has ended.
    QTimer::singleShot(50, this, [this] { run_motion(); });
    return;
  }
  motion_pending_ = false;
  window_.pointer_moved(motion_point_, motion_left_);
}

void FigureCanvas::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  dirty_ = true;
  window_.canvas_resized(size());
}

FigureWindow::FigureWindow(QtPlatform& platform, Graphics& graphics, Handle figure)
    : platform_(platform),
      graphics_(&graphics),
      figure_(figure),
      canvas_(new FigureCanvas(*this)),
      status_(new ElidedLabel(Qt::ElideRight)),
      messages_button_(new QPushButton("M&essages")) {
  setCentralWidget(canvas_);
  menuBar()->setNativeMenuBar(false);
  menuBar()->hide();
  statusBar()->setSizeGripEnabled(false);
  status_->setObjectName("StatusLine");
  statusBar()->addWidget(status_, 1);
  messages_button_->setObjectName("MessagesButton");
  messages_button_->setFocusPolicy(Qt::TabFocus);
  statusBar()->addPermanentWidget(messages_button_);
  connect(messages_button_, &QPushButton::clicked, this, [this] { platform_.show_messages(); });
  setAcceptDrops(true);
  show_status(platform.status_line(), platform.status_kind());
}

void FigureWindow::detach() {
  graphics_ = nullptr;
}

void FigureWindow::show_status(const QString& line, MessageKind kind) {
  QPalette palette = statusBar()->palette();
  if (kind == MessageKind::Warning)
    palette.setColor(QPalette::WindowText, QColor(0x9a, 0x60, 0x00));
  if (kind == MessageKind::Error) palette.setColor(QPalette::WindowText, QColor(0xc8, 0x00, 0x00));
  status_->setPalette(palette);
  status_->set_full_text(QString(line).replace('\n', ' '));
}

std::string FigureWindow::title() const {
  const Figure& fig = graphics_->figure(figure_);
  if (!fig.number_title) return fig.name;
  std::string number = "Figure " + std::to_string(static_cast<int>(figure_));
  return fig.name.empty() ? number : number + ": " + fig.name;
}

void FigureWindow::sync() {
  if (!graphics_) return;
  const Figure& fig = graphics_->figure(figure_);
  setWindowTitle(QString::fromStdString(title()));
  sync_menus();
  sync_keys();
  sync_controls();
  canvas_->setMouseTracking(!fig.motion_fcn.empty());

  FigureWindow* host = fig.docked ? platform_.dock_host(figure_) : nullptr;
  const bool moved = host != host_.data() || (host && !dock_);
  if (moved) {
    undock();
    if (host) dock_into(*host);
  }
  if (dock_) {
    dock_->setWindowTitle(windowTitle());
    if (fig.changes != canvas_->rendered_changes()) canvas_->invalidate();
    if (fig.visible != dock_->isVisible()) dock_->setVisible(fig.visible);
    // The dock decides the canvas's size and the figure follows it (a new
    // dock is laid out later, and its canvas then reports its size).
    if (!moved && isVisible()) canvas_resized(canvas_->size());
    return;
  }

  auto px = graphics_->pixel_position(figure_);
  const double screen_height = platform_.screen_size()[1];
  QRect g = geometry();
  double left = g.x() + bars_left(),
         bottom = screen_height - (g.y() + bars_above() + canvas_->height());
  if (!isVisible() || !near(left, px[0]) || !near(bottom, px[1]) ||
      !near(canvas_->width(), px[2]) || !near(canvas_->height(), px[3])) {
    retries_ = 0;
    place();
  }
  // A change the canvas already shows (the figure following a resize of the
  // window, painted at once) is not rendered a second time.
  if (fig.changes != canvas_->rendered_changes()) canvas_->invalidate();
  if (fig.visible && !isVisible()) show();
  if (!fig.visible && isVisible()) hide();
}

int FigureWindow::bars_above() const {
  if (menuBar()->isHidden()) return 0;
  return isVisible() ? canvas_->y() : menuBar()->sizeHint().height();
}

int FigureWindow::bars_below() const {
  if (isVisible()) return height() - canvas_->y() - canvas_->height();
  return statusBar()->sizeHint().height();
}

int FigureWindow::bars_left() const {
  return isVisible() ? canvas_->x() : 0;
}

int FigureWindow::bars_beside() const {
  return isVisible() ? width() - canvas_->width() : 0;
}

void FigureWindow::dock_into(FigureWindow& host) {
  const auto px = graphics_->pixel_position(figure_);
  auto* dock = new FigureDock(windowTitle(), [window = QPointer<FigureWindow>(this)] {
    return !window || window->close_requested();
  });
  dock->setObjectName("DockedFigure");
  dock->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
  dock->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
                    QDockWidget::DockWidgetFloatable);
  hide();
  statusBar()->hide();
  dock->setWidget(this);
  setVisible(true);
  dock_ = dock;
  host_ = &host;
  host.addDockWidget(Qt::RightDockWidgetArea, dock);
  // The dock asks for the width its figure was laid out for, its frame
  // besides, and the host window grows to make room; the labels' least
  // widths (arrange_controls) keep the controls from being squashed.
  host.resizeDocks({dock}, {round_int(px[2]) + dock->width() - width()}, Qt::Horizontal);
  // A panel without buttons has no least width of its own, and the host's
  // layout would squeeze the new dock before the host grows: the canvas
  // keeps the figure's width until it first has it.
  dock_hold_width_ = round_int(px[2]);
  canvas_->setMinimumWidth(std::max(canvas_->minimumWidth(), dock_hold_width_));
  host.retries_ = 1;  // one more placement, to make room for the dock
}

void FigureWindow::undock() {
  host_ = nullptr;
  if (!dock_) return;
  QDockWidget* dock = dock_;
  dock_ = nullptr;
  if (auto* main = qobject_cast<QMainWindow*>(dock->parentWidget())) main->removeDockWidget(dock);
  dock->hide();
  hide();
  setParent(nullptr, Qt::Window);
  statusBar()->show();
  // The dock may be the one whose close button is being handled.
  dock->deleteLater();
}

void FigureWindow::place() {
  auto px = graphics_->pixel_position(figure_);
  const double screen_height = platform_.screen_size()[1];
  const int above = bars_above();
  const int top = round_int(screen_height - px[1] - px[3]) - above;
  placed_bars_ = QSize(bars_beside(), above + bars_below());
  requested_ = QSize(std::max(1, round_int(px[2])), std::max(1, round_int(px[3]))) + placed_bars_;
  applying_ = true;
  setGeometry(round_int(px[0]) - bars_left(), top, requested_.width(), requested_.height());
  applying_ = false;
}

void FigureWindow::canvas_resized(QSize size) {
  if (!graphics_ || applying_ || !isVisible()) return;
  if (dock_hold_width_ > 0 && size.width() >= dock_hold_width_) {
    dock_hold_width_ = 0;
    arrange_controls();
  }
  platform_.guarded([&] {
    auto px = graphics_->pixel_position(figure_);
    if (near(size.width(), px[2]) && near(size.height(), px[3])) return;
    // The window has the size asked for (or grew to the least it can have,
    // as when a dock is added) but the bars or docks beside the canvas take
    // other room than the placement allowed for: ask again with them as they
    // are now. Any other change of the canvas is the user's.
    const QSize bars = this->size() - size;
    const bool as_asked =
        this->size() == requested_ || this->size() == requested_.expandedTo(minimumSize());
    if (!dock_ && as_asked && bars != placed_bars_ && retries_ < 2) {
      ++retries_;
      place();
      return;
    }
    // The user resized the window: the figure's children scale with it.
    follow_inner_size(*graphics_, figure_, size.width(), size.height());
  });
}

void FigureWindow::moveEvent(QMoveEvent* event) {
  QMainWindow::moveEvent(event);
  if (!graphics_ || applying_ || dock_ || !isVisible()) return;
  platform_.guarded([&] {
    auto px = graphics_->pixel_position(figure_);
    const double screen_height = platform_.screen_size()[1];
    QRect g = geometry();
    double left = g.x() + bars_left(),
           bottom = screen_height - (g.y() + bars_above() + canvas_->height());
    if (near(left, px[0]) && near(bottom, px[1])) return;
    graphics_->set_pixel_position(figure_, {left, bottom, px[2], px[3]});
  });
}

void FigureWindow::closeEvent(QCloseEvent* event) {
  if (close_requested()) {
    event->accept();
  } else {
    event->ignore();
  }
}

bool FigureWindow::close_requested() {
  if (!graphics_) return true;
  // The running callback may still draw into the figure.
  if (platform_.working()) return false;
  // Closing the window closes the figure (the platform then removes the
  // window), unless the figure asks to decide itself.
  if (!graphics_->figure(figure_).close_request_fcn.empty()) {
    run_figure_callback("CloseRequestFcn");
    return false;
  }
  Handle figure = figure_;
  platform_.guarded([&] { graphics_->close(figure); });
  return false;
}

void FigureWindow::run_figure_callback(const char* property) {
  if (!graphics_) return;
  std::string callback;
  platform_.guarded([&] { callback = graphics_->get(figure_, property).text(); });
  platform_.run_callback(figure_, callback);
}

void FigureWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (graphics_ && !graphics_->figure(figure_).file_drop_fcn.empty() &&
      !local_files(event->mimeData()).isEmpty()) {
    event->acceptProposedAction();
  }
}

void FigureWindow::dropEvent(QDropEvent* event) {
  const QStringList files = local_files(event->mimeData());
  if (!graphics_ || files.isEmpty()) return;
  event->acceptProposedAction();
  // The files are opened after the drop has ended, so the program they came
  // from is not kept waiting; the figure's FileDropFcn runs for each in turn,
  // with the file as the figure's DroppedFile.
  QTimer::singleShot(0, this, [this, files] {
    for (const QString& file : files) {
      if (!graphics_ || platform_.working()) break;
      platform_.guarded([&] { graphics_->set(figure_, "DroppedFile", Value(file.toStdString())); });
      run_figure_callback("FileDropFcn");
      if (graphics_ && graphics_->is_handle(figure_)) {
        platform_.guarded([&] { graphics_->set(figure_, "DroppedFile", Value("")); });
      }
    }
  });
}

Handle FigureWindow::axes_at(QPointF point, QRectF* box) const {
  Handle found = -1;
  if (!graphics_) return found;
  for (Handle child : graphics_->children(figure_)) {
    if (graphics_->type(child) != ObjectType::Axes) continue;
    QRectF b = axes_box(*graphics_, figure_, child);
    if (!b.contains(point)) continue;
    found = child;  // a later axes lies over an earlier one
    if (box) *box = b;
  }
  return found;
}

Handle FigureWindow::current_axes() const {
  if (!graphics_) return -1;
  const Value axes = graphics_->get(figure_, "CurrentAxes");
  return axes.is_empty() ? -1 : axes.scalar();
}

PlotBox FigureWindow::plot_box(Handle axes) const {
  const QRectF box = axes_box(*graphics_, figure_, axes);
  return {box.left(), box.top(), box.width(), box.height()};
}

void FigureWindow::click(Handle axes, QPointF point) {
  if (!graphics_) return;
  std::string callback;
  platform_.guarded([&] {
    if (!graphics_->is_handle(axes) || graphics_->type(axes) != ObjectType::Axes) return;
    const auto p = data_point(*graphics_, axes, plot_box(axes), point.x(), point.y());
    graphics_->set(axes, "CurrentPoint", Value(Matrix{{p[0], p[1]}}));
    callback = graphics_->axes(axes).button_down_fcn;
  });
  platform_.run_callback(axes, callback);
}

void FigureWindow::pointer_moved(QPointF point, bool left) {
  if (!graphics_) return;
  std::string callback;
  platform_.guarded([&] {
    callback = graphics_->figure(figure_).motion_fcn;
    if (callback.empty()) return;
    Handle axes = left ? motion_axes_ : axes_at(point);
    if (axes < 0 || !graphics_->is_handle(axes) || graphics_->type(axes) != ObjectType::Axes ||
        graphics_->figure_of(axes) != figure_) {
      axes = current_axes();
    }
    motion_axes_ = axes;
    if (axes < 0) return;
    const PlotBox box = plot_box(axes);
    const auto p = left ? point_beyond(*graphics_, axes, box)
                        : data_point(*graphics_, axes, box, point.x(), point.y());
    graphics_->set(axes, "CurrentPoint", Value(Matrix{{p[0], p[1]}}));
  });
  platform_.run_callback(figure_, callback);
}

Handle FigureWindow::landmark_at(Handle axes, QPointF point) const {
  Handle line = -1;
  platform_.guarded([&] {
    if (!graphics_ || !graphics_->is_handle(axes) || graphics_->axes(axes).point_drag_fcn.empty()) {
      return;
    }
    line = dg::landmark_at(*graphics_, axes, plot_box(axes), point.x(), point.y());
  });
  return line;
}

void FigureWindow::drag_landmark(Handle axes, Handle line, QPointF point) {
  if (!graphics_ || busy()) return;
  platform_.guarded([&] {
    if (graphics_->is_handle(line)) {
      move_landmark(*graphics_, line, axes, plot_box(axes), point.x(), point.y());
    }
  });
}

void FigureWindow::drop_landmark(Handle axes, Handle line, QPointF point) {
  if (!graphics_ || busy()) return;
  std::string callback;
  platform_.guarded([&] {
    if (!graphics_->is_handle(line)) return;
    move_landmark(*graphics_, line, axes, plot_box(axes), point.x(), point.y());
    callback = graphics_->axes(axes).point_drag_fcn;
  });
  platform_.run_callback(line, callback);
}

void FigureWindow::sync_keys() {
  const bool wanted = !graphics_->figure(figure_).key_press_fcn.empty();
  if (wanted == !key_shortcuts_.empty()) return;
  for (auto& shortcut : key_shortcuts_) delete shortcut.data();
  key_shortcuts_.clear();
  if (!wanted) return;
  // The names of kFigureKeys, as Qt reads them in a key sequence.
  static const char* const kSequences[] = {"PgUp",         "PgDown", "Del", "Ctrl+Z",
                                           "Ctrl+Shift+Z", "Ctrl+Y", "M",   "Esc"};
  static_assert(std::size(kSequences) == std::size(kFigureKeys));
  for (std::size_t k = 0; k < std::size(kFigureKeys); ++k) {
    auto* shortcut = new QShortcut(QKeySequence(kSequences[k]), this);
    const std::string key(kFigureKeys[k]);
    connect(shortcut, &QShortcut::activated, this, [this, key] {
      if (!graphics_ || busy()) return;
      std::string callback;
      platform_.guarded([&] {
        graphics_->set(figure_, "CurrentKey", Value(key));
        callback = graphics_->figure(figure_).key_press_fcn;
      });
      platform_.run_callback(figure_, callback);
    });
    key_shortcuts_.emplace_back(shortcut);
  }
}

void FigureWindow::zoom(Handle axes, QPointF about, double factor) {
  if (!graphics_) return;
  platform_.guarded(
      [&] { zoom_axes(*graphics_, axes, plot_box(axes), about.x(), about.y(), factor); });
}

void FigureWindow::pan(Handle axes, QPointF distance) {
  if (!graphics_) return;
  platform_.guarded(
      [&] { pan_axes(*graphics_, axes, plot_box(axes), distance.x(), distance.y()); });
}

bool FigureWindow::rotates(Handle axes) const {
  return graphics_ && turns(*graphics_, axes);
}

void FigureWindow::turn(Handle axes, QPointF step) {
  if (!graphics_ || busy()) return;
  std::string callback;
  platform_.guarded([&] { callback = turn_axes(*graphics_, axes, step.x(), step.y()); });
  platform_.run_callback(axes, callback);
}

void FigureWindow::reset_view(Handle axes) {
  if (!graphics_) return;
  std::string turned;
  platform_.guarded([&] { turned = reset_axes(*graphics_, axes); });
  platform_.run_callback(axes, turned);
}

std::array<double, 4> FigureWindow::margins() const {
  QRect g = geometry(), frame = frameGeometry();
  return {double(g.x() - frame.x()), double(frame.right() - g.right()),
          double(frame.bottom() - g.bottom() + bars_below()),
          double(g.y() - frame.y() + bars_above())};
}

void FigureWindow::paint_canvas(QPainter& painter, const QSize& size, MarkerSprites& sprites) {
  if (!graphics_) {
    painter.fillRect(QRect(QPoint(0, 0), size), palette().window());
    return;
  }
  QColor background = to_qcolor(graphics_->figure(figure_).color);
  painter.fillRect(QRect(QPoint(0, 0), size), background);
  platform_.guarded([&] { paint_figure(painter, *graphics_, figure_, background, sprites); });
}

bool FigureWindow::busy() const {
  return platform_.working();
}

std::uint64_t FigureWindow::figure_changes() const {
  return graphics_ ? graphics_->figure(figure_).changes : 0;
}

void FigureWindow::invoke(Handle object) {
  if (!graphics_) return;
  std::string callback;
  platform_.guarded([&] {
    if (graphics_->is_handle(object)) callback = graphics_->get(object, "Callback").text();
  });
  platform_.run_callback(object, callback);
}

void FigureWindow::sync_controls() {
  const double figure_height = graphics_->pixel_position(figure_)[3];
  std::map<Handle, ControlView> kept;
  for (Handle child : graphics_->children(figure_)) {
    if (graphics_->type(child) != ObjectType::UIControl) continue;
    ControlView view;
    if (auto it = controls_.find(child); it != controls_.end()) {
      view = it->second;
      controls_.erase(it);
    }
    std::string kind = control_kind(*graphics_, child);
    if (!view.widget || view.kind != kind) {
      if (view.widget) {
        view.widget->hide();
        view.widget->deleteLater();
      }
      ControlEvents events;
      events.store = [this, child](std::string_view property, const Value& value) {
        if (!graphics_) return;
        platform_.guarded([&] { graphics_->set(child, property, value); });
      };
      events.callback = [this, child] { invoke(child); };
      view.widget = make_control(kind, canvas_, std::move(events));
      view.kind = kind;
    }
    update_control(view.widget, *graphics_, child, figure_height);
    view.widget->raise();  // later controls lie over earlier ones
    kept.emplace(child, view);
  }
  for (auto& [handle, view] : controls_) {
    if (view.widget) {
      view.widget->hide();
      view.widget->deleteLater();
    }
  }
  controls_ = std::move(kept);
  arrange_controls();
}

void FigureWindow::arrange_controls() {
  const auto figure = graphics_->pixel_position(figure_);
  struct Place {
    double top, left;
    QWidget* widget;
  };
  std::vector<Place> order;
  int min_width = 0, min_height = 0;
  for (auto& [handle, view] : controls_) {
    if (!view.widget) continue;
    const auto r = graphics_->pixel_position(handle);
    order.push_back({-(r[1] + r[3]), r[0], view.widget});
    if (!graphics_->control(handle).visible || r[2] <= 0 || r[3] <= 0) continue;
    // The controls scale with the window: the figure must be large enough
    // that each button's share of it holds its label, and each text box's
    // share its lines (long lines are shortened, so only their count counts).
    double width = 0, height = 0;
    if (auto* button = qobject_cast<QPushButton*>(view.widget.data())) {
      const QFontMetrics metrics(button->font());
      const QString label = without_mnemonics(button->text());
      if (label.isEmpty()) continue;
      for (const QString& line : label.split('\n')) {
        width = std::max<double>(width, metrics.horizontalAdvance(line) + kButtonPaddingX);
      }
      height = metrics.height() * (label.count('\n') + 1) + kButtonPaddingY;
    } else if (auto* text = dynamic_cast<ElidedLabel*>(view.widget.data())) {
      if (text->full_text().isEmpty()) continue;
      const QMargins m = text->contentsMargins();
      height = QFontMetrics(text->font()).lineSpacing() * (text->full_text().count('\n') + 1) +
               m.top() + m.bottom();
    }
    min_width = std::max(min_width, static_cast<int>(std::ceil(width * figure[2] / r[2])));
    min_height = std::max(min_height, static_cast<int>(std::ceil(height * figure[3] / r[3])));
  }
  canvas_->setMinimumSize(dock_ ? std::max(min_width, dock_hold_width_) : min_width, min_height);
  // Tab moves down the column of controls, then to the right, then to the plot.
  std::stable_sort(order.begin(), order.end(), [](const Place& a, const Place& b) {
    return a.top != b.top ? a.top < b.top : a.left < b.left;
  });
  QWidget* previous = nullptr;
  for (const Place& place : order) {
    if (place.widget->focusPolicy() == Qt::NoFocus) continue;
    if (previous) setTabOrder(previous, place.widget);
    previous = place.widget;
  }
  if (previous) setTabOrder(previous, canvas_);
}

void FigureWindow::sync_menus() {
  // Menus are rebuilt only when something a menu shows has changed, so an
  // open menu is not pulled away by an unrelated change.
  const std::string signature = menu_signature(*graphics_, figure_);
  if (signature == menu_signature_) return;
  menu_signature_ = signature;
  for (auto& object : menu_objects_) {
    if (object) object->deleteLater();
  }
  menu_objects_.clear();
  actions_.clear();
  menuBar()->clear();
  bool any = false;
  for (Handle child : graphics_->children(figure_)) {
    if (graphics_->type(child) != ObjectType::UIMenu) continue;
    add_menu_item(menuBar(), child);
    any = true;
  }
  menuBar()->setVisible(any);
}

void FigureWindow::add_menu_item(QWidget* parent, Handle menu) {
  auto text = [&](const char* property) { return graphics_->get(menu, property).text(); };
  const QString label = QString::fromStdString(text("Label"));
  std::vector<Handle> items;
  for (Handle child : graphics_->children(menu)) {
    if (graphics_->type(child) == ObjectType::UIMenu) items.push_back(child);
  }
  auto* bar = qobject_cast<QMenuBar*>(parent);
  auto* owner = qobject_cast<QMenu*>(parent);
  if (dg::lower(text("Separator")) == "on") {
    if (bar) bar->addSeparator();
    if (owner) owner->addSeparator();
  }
  QAction* action = nullptr;
  if (!items.empty()) {
    auto* submenu = new QMenu(label, this);
    menu_objects_.emplace_back(submenu);
    action = bar ? bar->addMenu(submenu) : owner->addMenu(submenu);
    // A menu's own callback runs when it opens, before its items show.
    connect(submenu, &QMenu::aboutToShow, this, [this, menu] { invoke(menu); });
    for (Handle item : items) add_menu_item(submenu, item);
  } else {
    action = new QAction(label, this);
    menu_objects_.emplace_back(action);
    if (dg::lower(text("Checked")) == "on") {
      action->setCheckable(true);
      action->setChecked(true);
    }
    std::string accelerator = text("Accelerator");
    if (!accelerator.empty()) action->setShortcut(accelerator_keys(accelerator));
    connect(action, &QAction::triggered, this, [this, menu] { invoke(menu); });
    parent->addAction(action);
  }
  action->setEnabled(dg::lower(text("Enable")) != "off");
  action->setVisible(graphics_->menu(menu).visible);
  actions_[menu] = action;
}

QWidget* FigureWindow::widget_of(Handle control) const {
  auto it = controls_.find(control);
  return it == controls_.end() ? nullptr : it->second.widget.data();
}

QAction* FigureWindow::action_of(Handle menu) const {
  auto it = actions_.find(menu);
  return it == actions_.end() ? nullptr : it->second.data();
}

}  // namespace dg

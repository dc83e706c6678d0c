#include "runtime/qt/figure_window.hpp"

#include <QAction>
#include <QCloseEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QStatusBar>
#include <cmath>
#include <functional>

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

}  // namespace

FigureCanvas::FigureCanvas(FigureWindow& window) : QWidget(&window), window_(window) {
  setAttribute(Qt::WA_OpaquePaintEvent);
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
  rendered_changes_ = window_.figure_changes();
  dirty_ = false;
}

void FigureCanvas::paintEvent(QPaintEvent*) {
  if (window_.busy() && !cache_.isNull()) {
    // The tree is being changed by a running callback: the last drawing
    // stands in, stretched to the canvas, until the callback ends.
    QPainter(this).drawImage(rect(), cache_);
    return;
  }
  render_if_needed();
  QPainter(this).drawImage(QPoint(0, 0), cache_);
}

void FigureCanvas::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  dirty_ = true;
  window_.canvas_resized(size());
}

FigureWindow::FigureWindow(QtPlatform& platform, Graphics& graphics, Handle figure)
    : platform_(platform), graphics_(&graphics), figure_(figure), canvas_(new FigureCanvas(*this)) {
  setCentralWidget(canvas_);
  menuBar()->setNativeMenuBar(false);
  menuBar()->hide();
  statusBar()->setSizeGripEnabled(false);
  show_status(platform.status_line());
}

void FigureWindow::detach() {
  graphics_ = nullptr;
}

void FigureWindow::show_status(const QString& line) {
  statusBar()->showMessage(line);
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
  sync_controls();

  auto px = graphics_->pixel_position(figure_);
  const double screen_height = platform_.screen_size()[1];
  QRect g = geometry();
  double left = g.x(), bottom = screen_height - (g.y() + bars_above() + canvas_->height());
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

void FigureWindow::place() {
  auto px = graphics_->pixel_position(figure_);
  const double screen_height = platform_.screen_size()[1];
  const int above = bars_above();
  const int top = round_int(screen_height - px[1] - px[3]) - above;
  requested_ =
      QSize(std::max(1, round_int(px[2])), std::max(1, round_int(px[3])) + above + bars_below());
  applying_ = true;
  setGeometry(round_int(px[0]), top, requested_.width(), requested_.height());
  applying_ = false;
}

void FigureWindow::canvas_resized(QSize size) {
  if (!graphics_ || applying_ || !isVisible()) return;
  platform_.guarded([&] {
    auto px = graphics_->pixel_position(figure_);
    if (near(size.width(), px[2]) && near(size.height(), px[3])) return;
    if (this->size() == requested_ && retries_ < 2) {
      // The window has the size asked for but the bars took more or less room
      // than expected; ask again with the bars as they are now.
      ++retries_;
      place();
      return;
    }
    // The user resized the window: the figure's children scale with it.
    const double sx = size.width() / px[2], sy = size.height() / px[3];
    for (Handle child : graphics_->children(figure_)) {
      ObjectType type = graphics_->type(child);
      if (type != ObjectType::Axes && type != ObjectType::UIControl) continue;
      auto r = graphics_->pixel_position(child);
      graphics_->set_pixel_position(child, {r[0] * sx, r[1] * sy, r[2] * sx, r[3] * sy});
    }
    const double top = px[1] + px[3];  // the top edge stays where it is
    graphics_->set_pixel_position(
        figure_, {px[0], top - size.height(), double(size.width()), double(size.height())});
  });
}

void FigureWindow::moveEvent(QMoveEvent* event) {
  QMainWindow::moveEvent(event);
  if (!graphics_ || applying_ || !isVisible()) return;
  platform_.guarded([&] {
    auto px = graphics_->pixel_position(figure_);
    const double screen_height = platform_.screen_size()[1];
    QRect g = geometry();
    double left = g.x(), bottom = screen_height - (g.y() + bars_above() + canvas_->height());
    if (near(left, px[0]) && near(bottom, px[1])) return;
    graphics_->set_pixel_position(figure_, {left, bottom, px[2], px[3]});
  });
}

void FigureWindow::closeEvent(QCloseEvent* event) {
  if (!graphics_) {
    event->accept();
    return;
  }
  if (platform_.working()) {  // the running callback may still draw into the figure
    event->ignore();
    return;
  }
  // Closing the window closes the figure; the platform then removes the window.
  event->ignore();
  Handle figure = figure_;
  platform_.guarded([&] { graphics_->close(figure); });
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
}

void FigureWindow::sync_menus() {
  // Menus are rebuilt only when something a menu shows has changed, so an
  // open menu is not pulled away by an unrelated change.
  std::string signature;
  std::function<void(Handle)> describe = [&](Handle parent) {
    for (Handle h : graphics_->children(parent)) {
      if (graphics_->type(h) != ObjectType::UIMenu) continue;
      signature += std::to_string(h) + "\x1f" + std::to_string(parent);
      for (const char* property :
           {"Label", "Enable", "Visible", "Separator", "Checked", "Accelerator"}) {
        signature += "\x1f" + graphics_->get(h, property).text();
      }
      signature += "\x1e";
      describe(h);
    }
  };
  describe(figure_);
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
    if (!accelerator.empty()) {
      action->setShortcut(QKeySequence(QString::fromStdString("Ctrl+" + accelerator)));
    }
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

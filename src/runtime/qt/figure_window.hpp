// The window of one figure: a menu bar for its uimenus, a canvas holding its
// uicontrols as native widgets over the painted axes, and a status line.
// The canvas is the figure's inner area: its size and place on the screen
// follow the figure's "Position" (y measured up from the bottom of the
// screen), and when the user resizes the window the figure's children are
// scaled with it in the tree, so the tree always describes what is shown.
#pragma once

#include <QImage>
#include <QMainWindow>
#include <QPointer>
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "runtime/graphics/graphics.hpp"
#include "runtime/qt/axes_painter.hpp"

class QAction;
class QMenu;
class QPushButton;

namespace dg {

class QtPlatform;
class ElidedLabel;
class FigureWindow;

// The figure's inner area: paints the figure's colour and axes from a cached
// image that is re-rendered only after the figure changed or was resized.
// On an axes the wheel zooms about the pointer, a drag with the left button
// pans (the cached drawing moves along; the limits are set on release), and
// a double click or Home puts the view back as a load leaves it.
class FigureCanvas : public QWidget {
 public:
  explicit FigureCanvas(FigureWindow& window);
  void invalidate();
  // The figure's change count the cached drawing shows.
  std::uint64_t rendered_changes() const { return rendered_changes_; }
  // Paints now when the cached drawing is out of date.
  void render_if_needed();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  FigureWindow& window_;
  QImage cache_;
  bool dirty_ = true;
  std::uint64_t rendered_changes_ = ~std::uint64_t{0};
  MarkerSprites sprites_;
  // A pan in progress: its axes, plot box, and where the drag started.
  Handle pan_axes_ = -1;
  QRectF pan_box_;
  QPointF pan_start_, pan_offset_;
};

class FigureWindow : public QMainWindow {
 public:
  FigureWindow(QtPlatform& platform, Graphics& graphics, Handle figure);

  Handle figure() const { return figure_; }
  // Brings title, menus, controls, place and visibility in line with the tree
  // and marks the drawing for repainting.
  void sync();
  // The figure is gone: the window no longer reads or writes the tree.
  void detach();
  // Shows a message in the status line, coloured by its kind, elided when
  // long with the whole text as its tooltip.
  void show_status(const QString& line, MessageKind kind);
  // Paints the figure into the canvas's cached image.
  void paint_canvas(QPainter& painter, const QSize& size, MarkerSprites& sprites);
  // True while a callback runs (see QtPlatform::working).
  bool busy() const;
  // The figure's change count, or 0 once the figure is gone.
  std::uint64_t figure_changes() const;
  void canvas_resized(QSize size);

  // The view of an axes under a point of the canvas: -1 when none is there.
  Handle axes_at(QPointF point, QRectF* box = nullptr) const;
  // Zooms the axes' view by `factor` (below 1 moves in) about a canvas point.
  void zoom(Handle axes, QPointF about, double factor);
  // Moves the axes' view by a distance in canvas pixels.
  void pan(Handle axes, QPointF distance);
  // Automatic limits, then equal units, as after a load.
  void reset_view(Handle axes);
  // The figure's current axes, or -1.
  Handle current_axes() const;

  QWidget* widget_of(Handle control) const;
  QAction* action_of(Handle menu) const;
  FigureCanvas* canvas() const { return canvas_; }
  // The frame around the inner area, in pixels: left, right, bottom, top.
  std::array<double, 4> margins() const;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  struct ControlView {
    std::string kind;
    QPointer<QWidget> widget;
  };
  void sync_menus();
  void add_menu_item(QWidget* parent, Handle menu);
  void sync_controls();
  // Orders the keyboard focus top to bottom, then left to right, and keeps
  // the window at least as large as every button label needs.
  void arrange_controls();
  void invoke(Handle object);
  // Runs one of the figure's own callback texts (CloseRequestFcn, FileDropFcn).
  void run_figure_callback(const char* property);
  void place();
  int bars_above() const;
  int bars_below() const;
  std::string title() const;

  QtPlatform& platform_;
  Graphics* graphics_;  // null once the figure is gone
  Handle figure_;
  FigureCanvas* canvas_;
  ElidedLabel* status_;
  QPushButton* messages_button_;
  std::map<Handle, ControlView> controls_;
  std::map<Handle, QPointer<QAction>> actions_;
  std::vector<QPointer<QObject>> menu_objects_;
  std::string menu_signature_;
  bool applying_ = false;  // geometry changes made by the window itself
  QSize requested_;
  int retries_ = 0;
};

}  // namespace dg

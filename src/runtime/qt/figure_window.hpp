// The window of one figure: a menu bar for its uimenus, a canvas holding its
// uicontrols as native widgets over the painted axes, and a status line.
// The canvas is the figure's inner area: its size and place on the screen
// follow the figure's "Position" (y measured up from the bottom of the
// screen), and when the user resizes the window the figure's children are
// scaled with it in the tree, so the tree always describes what is shown.
//
// A docked figure ("WindowStyle" "docked") is not a window of its own: its
// FigureWindow is the content of a QDockWidget (object name "DockedFigure")
// at the right of the host, the window of the first figure that is not
// docked. There the canvas alone drives the figure's size; its place on the
// screen is not kept, and the status line is left to the host.
#pragma once

#include <QDockWidget>
#include <QImage>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "runtime/graphics/graphics.hpp"
#include "runtime/graphics/view_control.hpp"
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
// pans (the cached drawing moves along; the limits are set on release) or,
// on an axes whose DragMode is "rotate", turns its View as it goes, a
// press and release that moved at most kClickSlop pixels is a click (the
// axes' ButtonDownFcn), and a double click or Home puts the view back as a
// load leaves it. While the figure has a WindowButtonMotionFcn the canvas
// tracks the pointer and runs it at most once per turn of the event loop.
// On an axes with a PointDragFcn, a press on a landmark's marker drags that
// landmark instead (see Axes::point_drag_fcn).
class FigureCanvas : public QWidget {
 public:
  explicit FigureCanvas(FigureWindow& window);
  void invalidate();
  // The figure's change count the cached drawing shows.
  std::uint64_t rendered_changes() const { return rendered_changes_; }
  // Paints now when the cached drawing is out of date.
  void render_if_needed();

  static constexpr double kClickSlop = 3;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  // Keeps the latest pointer place and runs the motion callback for it once
  // the events waiting now are handled, so a fast pointer builds no backlog.
  void queue_motion(QPointF point, bool left);
  void run_motion();

  FigureWindow& window_;
  QImage cache_;
  bool dirty_ = true;
  std::uint64_t rendered_changes_ = ~std::uint64_t{0};
  MarkerSprites sprites_;
  // Lets the marker lists kept for the next drawing go once the canvas has
  // not been drawn for a while: a resize or a restyle reuses them, an idle
  // window holds no more than its drawing.
  QTimer let_points_go_;
  // A pan in progress: its axes, plot box, and where the drag started.
  Handle pan_axes_ = -1;
  QRectF pan_box_;
  QPointF pan_start_, pan_offset_;
  bool pan_dragging_ = false;  // moved beyond kClickSlop since the press
  Handle drag_line_ = -1;      // the landmark a press took hold of, or -1
  QPointF turn_from_;          // where the last turn of a 3-D view left the pointer
  QPointF motion_point_;
  bool motion_left_ = false;  // the pointer left the canvas
  bool motion_pending_ = false;
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

  // Where the axes' plot box lies on the canvas.
  PlotBox plot_box(Handle axes) const;
  // A click on an axes: sets its CurrentPoint, then runs its ButtonDownFcn.
  void click(Handle axes, QPointF point);
  // Runs the figure's WindowButtonMotionFcn after setting CurrentPoint of the
  // axes under the pointer (else the current axes); `left`: the pointer left
  // the canvas, and the point is put far outside the view.
  void pointer_moved(QPointF point, bool left);
  // The landmark under a press on an axes with a PointDragFcn, or -1; moves
  // it with the pointer; and at the drop runs the PointDragFcn.
  Handle landmark_at(Handle axes, QPointF point) const;
  void drag_landmark(Handle axes, Handle line, QPointF point);
  void drop_landmark(Handle axes, Handle line, QPointF point);

  // The host window this figure's dock sits in, or null when not docked.
  FigureWindow* host() const { return host_; }
  // Takes the window out of its dock (a top-level window again, hidden) and
  // removes the dock; nothing when not docked.
  void undock();

  // The view of an axes under a point of the canvas: -1 when none is there.
  Handle axes_at(QPointF point, QRectF* box = nullptr) const;
  // The pointer's moves of the view (see view_control.hpp), run guarded, and
  // the axes' ViewChangedFcn after a turn.
  void zoom(Handle axes, QPointF about, double factor);
  void pan(Handle axes, QPointF distance);
  void reset_view(Handle axes);
  bool rotates(Handle axes) const;
  void turn(Handle axes, QPointF step);
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
  // While the figure has a KeyPressFcn, the keys of kFigureKeys run it.
  void sync_keys();
  void add_menu_item(QWidget* parent, Handle menu);
  void sync_controls();
  // Orders the keyboard focus top to bottom, then left to right, and keeps
  // the window at least as large as every button label needs.
  void arrange_controls();
  void invoke(Handle object);
  // Runs one of the figure's own callback texts (CloseRequestFcn, FileDropFcn).
  void run_figure_callback(const char* property);
  // The close button of the window or of its dock: closes the figure or runs
  // its CloseRequestFcn. False while the window still shows a figure.
  bool close_requested();
  void dock_into(FigureWindow& host);
  void place();
  int bars_above() const;
  int bars_below() const;
  // Room beside the canvas (docks): left of it, and in all.
  int bars_left() const;
  int bars_beside() const;
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
  QSize placed_bars_;  // the room around the canvas the last placement allowed for
  int retries_ = 0;
  QPointer<QDockWidget> dock_;
  int dock_hold_width_ = 0;  // the least width of a new dock's canvas until it has it
  QPointer<FigureWindow> host_;
  Handle motion_axes_ = -1;  // the axes of the last motion callback
  std::vector<QPointer<QObject>> key_shortcuts_;
};

}  // namespace dg

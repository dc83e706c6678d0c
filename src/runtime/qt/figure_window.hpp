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

namespace dg {

class QtPlatform;
class FigureWindow;

// The figure's inner area: paints the figure's colour and axes from a cached
// image that is re-rendered only after the figure changed or was resized.
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

 private:
  FigureWindow& window_;
  QImage cache_;
  bool dirty_ = true;
  std::uint64_t rendered_changes_ = ~std::uint64_t{0};
  MarkerSprites sprites_;
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
  void show_status(const QString& line);
  // Paints the figure into the canvas's cached image.
  void paint_canvas(QPainter& painter, const QSize& size, MarkerSprites& sprites);
  // True while a callback runs (see QtPlatform::working).
  bool busy() const;
  // The figure's change count, or 0 once the figure is gone.
  std::uint64_t figure_changes() const;
  void canvas_resized(QSize size);

  QWidget* widget_of(Handle control) const;
  QAction* action_of(Handle menu) const;
  FigureCanvas* canvas() const { return canvas_; }
  // The frame around the inner area, in pixels: left, right, bottom, top.
  std::array<double, 4> margins() const;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void moveEvent(QMoveEvent* event) override;

 private:
  struct ControlView {
    std::string kind;
    QPointer<QWidget> widget;
  };
  void sync_menus();
  void add_menu_item(QWidget* parent, Handle menu);
  void sync_controls();
  void invoke(Handle object);
  void place();
  int bars_above() const;
  int bars_below() const;
  std::string title() const;

  QtPlatform& platform_;
  Graphics* graphics_;  // null once the figure is gone
  Handle figure_;
  FigureCanvas* canvas_;
  std::map<Handle, ControlView> controls_;
  std::map<Handle, QPointer<QAction>> actions_;
  std::vector<QPointer<QObject>> menu_objects_;
  std::string menu_signature_;
  bool applying_ = false;  // geometry changes made by the window itself
  QSize requested_;
  int retries_ = 0;
};

}  // namespace dg

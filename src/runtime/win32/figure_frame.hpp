// The window of one figure: a menu bar for its uimenus, a canvas holding
// its uicontrols as native controls over the painted axes, and a status
// line with the Messages button. The canvas is the figure's inner area: its
// size and place on the screen follow the figure's "Position" (y measured
// up from the bottom of the screen), and when the user resizes the window
// the figure's children scale with it in the tree, as in the Qt window.
//
// On an axes the wheel zooms about the pointer, a drag with the left button
// pans (the cached drawing moves along; the limits are set on release) or
// turns a view whose DragMode is "rotate", a press and release that moved
// at most kClickSlop pixels is a click (the axes' ButtonDownFcn), a press on
// a landmark of an axes with a PointDragFcn drags it, and a double click or
// Home puts the view back. Files dropped on the window run its FileDropFcn.
//
// A docked figure's frame is a child panel at the right of its host's
// canvas, with a title strip and a close button, and no status line.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "runtime/graphics/graphics.hpp"
#include "runtime/graphics/view_control.hpp"
#include "runtime/win32/gdiplus_painter.hpp"

namespace dg {

class Win32Platform;

class FigureFrame {
 public:
  FigureFrame(Win32Platform& platform, Graphics& graphics, Handle figure);
  ~FigureFrame();
  FigureFrame(const FigureFrame&) = delete;
  FigureFrame& operator=(const FigureFrame&) = delete;

  Handle figure() const { return figure_; }
  HWND hwnd() const { return hwnd_; }
  HWND canvas() const { return canvas_; }
  bool visible() const { return IsWindowVisible(hwnd_) != 0; }
  // Brings title, menus, controls, place and visibility in line with the tree.
  void sync();
  void detach();
  void show_status(const std::string& line, MessageKind kind);
  // The accelerators of the menus, for the message loop; null when none.
  HACCEL accelerators() const { return accelerators_; }
  // Runs the figure's KeyPressFcn for a key it takes; false when the key is
  // not one of them or the figure has none.
  bool figure_key(const MSG& msg);
  FigureFrame* host() const { return host_; }
  void undock();
  // The frame around the inner area, in logical pixels: left, right, bottom, top.
  std::array<double, 4> margins() const;
  // The control window of a uicontrol, the menu id of a uimenu; for tests.
  HWND control_window(Handle control) const;
  UINT menu_id(Handle menu) const;
  // Repaints the canvas now when its drawing is out of date.
  void repaint_now();
  double scale() const { return scale_; }

  static constexpr double kClickSlop = 3;
  static LRESULT CALLBACK frame_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK canvas_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);

 private:
  struct Control {
    std::string kind;
    HWND hwnd = nullptr;
    HBRUSH brush = nullptr;  // the background, when the control has its own
    COLORREF foreground = 0;
    bool own_foreground = false;
    HFONT font = nullptr;  // its own size, when set
    std::wstring text;     // what an owner-drawn text shows, its lines elided
    UINT align = DT_CENTER;
    double lo = 0, hi = 1;
  };

  LRESULT frame_message(UINT msg, WPARAM wparam, LPARAM lparam);
  LRESULT canvas_message(UINT msg, WPARAM wparam, LPARAM lparam);
  void layout();
  void place();
  void canvas_resized();
  void moved();
  void sync_menus();
  void add_menu_item(HMENU parent, Handle menu, std::vector<ACCEL>& accels);
  void sync_controls();
  void update_control(Control& control, Handle handle);
  HWND make_control(const std::string& kind);
  void command(WPARAM wparam, LPARAM lparam);
  void control_event(Handle handle, Control& control, UINT code);
  void store(Handle handle, const char* property, const Value& value);
  void invoke(Handle object);
  void run_figure_callback(const char* property);
  bool close_requested();
  void dock_into(FigureFrame& host);
  void arrange_docks();
  void draw_text_control(const DRAWITEMSTRUCT& item);
  void render_if_needed();
  void paint(HDC dc);
  void dropped(HDROP drop);

  // Pointer work on the canvas, in logical pixels.
  POINT physical(double x, double y) const;
  std::array<double, 2> logical(LPARAM lparam) const;
  Handle axes_at(double x, double y, PlotBox* box = nullptr) const;
  PlotBox plot_box(Handle axes) const;
  Handle current_axes() const;
  void click(Handle axes, double x, double y);
  void pointer_moved(double x, double y, bool left);
  void reset_view(Handle axes);
  void mouse_down(LPARAM lparam);
  void mouse_move(WPARAM wparam, LPARAM lparam);
  void mouse_up(LPARAM lparam);
  void wheel(WPARAM wparam, LPARAM lparam);
  bool busy() const;

  Win32Platform& platform_;
  Graphics* graphics_;
  Handle figure_;
  HWND hwnd_ = nullptr;
  HWND canvas_ = nullptr;
  HWND status_ = nullptr;
  HWND messages_button_ = nullptr;
  HWND dock_title_ = nullptr;  // the strip above a docked figure's canvas
  HWND dock_close_ = nullptr;
  HWND tooltips_ = nullptr;
  double scale_ = 1;  // device pixels per logical pixel
  std::map<Handle, Control> controls_;
  std::map<UINT, Handle> menu_ids_;
  std::map<HMENU, Handle> popups_;
  UINT next_id_ = 100;
  HMENU menu_ = nullptr;
  HACCEL accelerators_ = nullptr;
  std::string menu_signature_;
  bool in_menu_ = false;        // a menu of the window is open
  bool menus_pending_ = false;  // and the tree's menus changed meanwhile
  bool applying_ = false;
  FigureFrame* host_ = nullptr;
  std::vector<FigureFrame*> docks_;  // panels docked into this window
  std::string status_text_;
  MessageKind status_kind_ = MessageKind::Info;
  // The cached drawing, in device pixels.
  HBITMAP cache_ = nullptr;
  SIZE cache_size_{0, 0};
  bool dirty_ = true;
  std::uint64_t rendered_changes_ = ~std::uint64_t{0};
  MarkerStamps stamps_;
  // A drag in progress.
  Handle pan_axes_ = -1;
  PlotBox pan_box_;
  std::array<double, 2> pan_start_{}, pan_offset_{}, turn_from_{};
  bool pan_dragging_ = false;
  Handle drag_line_ = -1;
  Handle motion_axes_ = -1;
  bool tracking_leave_ = false;
  bool motion_pending_ = false;
  std::array<double, 2> motion_point_{};
  bool motion_left_ = false;
  std::vector<std::wstring> drops_;
};

}  // namespace dg

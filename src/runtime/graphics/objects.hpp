// The objects of the graphics tree as typed fields. A drawn sample is one
// single-point line per landmark, millions of them: those points are not
// objects of their own but rows of columns owned by their axes (see
// PointRows), and every other object is one of the structs below.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "runtime/array/value.hpp"

namespace dg {

using Handle = double;
using ObjectId = std::uint32_t;
inline constexpr ObjectId kNoObject = 0xFFFFFFFFu;

enum class ObjectType : std::uint8_t { Root, Figure, Axes, Line, Text, Image, UIControl, UIMenu };
const char* type_name(ObjectType type);

enum class LineStyle : std::uint8_t { Solid, Dashed, Dotted, DashDot, None };
enum class Marker : std::uint8_t {
  None,
  Circle,
  Point,
  Plus,
  Star,
  Cross,
  Square,
  Diamond,
  Up,
  Down,
  Right,
  Left,
  Pentagram,
  Hexagram
};
enum class Units : std::uint8_t { Pixels, Characters, Normalized, Points };

struct Rgb {
  double r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

// A colour property value: an RGB triple, or one of the words "none"/"auto".
struct ColorSpec {
  enum class Kind : std::uint8_t { Rgb, None, Auto };
  Kind kind = Kind::Rgb;
  Rgb rgb;
  bool operator==(const ColorSpec&) const = default;
};

// Palette indices 0 and 1 stand for the colour words "none" and "auto".
inline constexpr std::uint32_t kNoneColor = 0;
inline constexpr std::uint32_t kAutoColor = 1;

struct Object {
  explicit Object(ObjectType t) : type(t) {}
  virtual ~Object() = default;
  ObjectType type;
  bool visible = true;
  std::uint32_t tag = 0;  // index into the tag table; 0 is ""
  ObjectId parent = kNoObject;
  std::vector<ObjectId> children;  // in creation order
  Value user_data;
};

// How a line is drawn. Lines keep one; the point rows of an axes share them
// through an index into the tree's table of looks.
struct LineLook {
  std::uint32_t color = 0;                // palette index
  std::uint32_t edge_color = kAutoColor;  // "auto" by default
  std::uint32_t face_color = kNoneColor;  // "none" by default
  double line_width = 0.5;
  double marker_size = 6;
  LineStyle style = LineStyle::Solid;
  Marker marker = Marker::None;
  bool visible = true;    // for point rows; a Line object uses Object::visible
  std::uint32_t tag = 0;  // for point rows; a Line object uses Object::tag
  bool operator==(const LineLook&) const = default;
};

// Raises "A line needs as many x values as y values; ..." unless nx == ny.
void check_line_counts(std::size_t nx, std::size_t ny);

// The coordinates of a line: one point inline, more on the heap.
class Points {
 public:
  Points() = default;
  Points(std::span<const double> x, std::span<const double> y);
  std::size_t size() const { return n_; }
  double x(std::size_t i) const { return n_ == 1 ? xy_[0] : heap_[i]; }
  double y(std::size_t i) const { return n_ == 1 ? xy_[1] : heap_[n_ + i]; }

 private:
  std::uint32_t n_ = 0;
  double xy_[2] = {0, 0};
  std::unique_ptr<double[]> heap_;
};

struct Line : Object {
  Line() : Object(ObjectType::Line) {}
  LineLook look;
  Points points;
};

struct Text : Object {
  Text() : Object(ObjectType::Text) {}
  double x = 0, y = 0;
  std::string string;
  std::uint32_t color = 0;
  double font_size = 10;
};

// A picture from a file, such as a specimen's photo, drawn over a rectangle
// of its axes' data: its left column at xdata[0], its right at xdata[1], its
// bottom row at ydata[0] and its top row at ydata[1]. The platform decodes
// the file when it paints; the tree keeps only its path.
struct Image : Object {
  Image() : Object(ObjectType::Image) {}
  std::string file;
  std::array<double, 2> xdata{0, 1}, ydata{0, 1};
};

// Objects placed by a rectangle: figures, axes, controls. The rectangle is kept
// in pixels relative to the parent (the screen for a figure) and converted to
// and from the object's "Units" when read or written.
struct Placed : Object {
  using Object::Object;
  std::array<double, 4> pixels{0, 0, 100, 100};
  Units units = Units::Pixels;
};

struct Figure : Placed {
  Figure() : Placed(ObjectType::Figure) {}
  int number = 0;
  std::string name;
  Rgb color{0.94, 0.94, 0.94};
  std::string active_position = "outerposition";
  std::string menubar = "figure";
  bool number_title = true;
  bool resize = true;
  std::string close_request_fcn;  // run by the window's close button instead of closing
  std::string file_drop_fcn;      // run for each file dropped on the window
  std::string dropped_file;       // the file being dropped, while file_drop_fcn runs
  // Run while the pointer moves over an axes of the figure, after the axes'
  // CurrentPoint is set; the window tracks the pointer only when it is set.
  std::string motion_fcn;
  // Run for the keys a figure's window passes on (see kFigureKeys), after
  // CurrentKey names the key pressed.
  std::string key_press_fcn;
  std::string current_key;
  // A docked figure is shown as a panel at the side of the first other
  // figure's window, not as a window of its own.
  bool docked = false;
  ObjectId current_axes = kNoObject;
  bool stale = false;
  std::uint64_t changes = 0;  // counts the changes to the figure or anything in it
};

// The single-point lines of an axes, one row each, in creation order. A row
// whose look is kDeadRow was deleted (or became a Line object of its own).
struct PointRows {
  static constexpr std::uint32_t kDeadRow = 0xFFFFFFFFu;
  std::vector<double> x, y;
  std::vector<std::uint32_t> look;  // index into the tree's looks
  std::size_t live = 0;             // rows not dead
  std::size_t size() const { return x.size(); }
};

// The box around the finite points of an axes' visible lines, kept up to date
// as lines are added; `valid` is false after a change that may shrink it.
struct DataBounds {
  double x0, x1, y0, y1;
  bool valid = true;
  DataBounds() { clear(); }
  void clear();
  void add(double x, double y);
};

struct Axes : Placed {
  Axes() : Placed(ObjectType::Axes) {}
  std::array<double, 2> xlim{0, 1}, ylim{0, 1};
  bool xlim_auto = true, ylim_auto = true;
  bool equal = false;  // equal data units on both axes
  bool hold = false;   // NextPlot "add"
  bool box = true;
  Rgb color{1, 1, 1};
  // Run when the user clicks in the axes without dragging, after
  // CurrentPoint is set to the data point clicked.
  std::string button_down_fcn;
  // When set, a press on the marker of one of the axes' lines tagged
  // "Landmark" drags that point instead of panning the view; on release the
  // line is left at CurrentPoint, the drop point, and this runs with the
  // line as the callback's object.
  std::string point_drag_fcn;
  std::array<double, 2> current_point{0, 0};
  // What a drag does: pan the view, or turn a three-dimensional view, whose
  // azimuth and elevation (degrees) the drawing code reads from `view` and
  // projects its data by; view_fcn runs after each turn.
  bool rotate_drag = false;
  std::array<double, 2> view{0, 90};
  std::string view_fcn;
  PointRows points;
  mutable DataBounds bounds;  // brought up to date when the limits are read
};

struct UIControl : Placed {
  UIControl() : Placed(ObjectType::UIControl) {}
  std::string style = "pushbutton";
  Value string = Value("");
  std::string callback;
  std::string enable = "on";
  std::string tooltip;
  std::optional<Rgb> background;  // the platform's control colour when unset
  std::optional<Rgb> foreground;  // black when unset
  std::optional<double> font_size;
  std::string alignment = "center";
  double value = 0, min = 0, max = 1;
};

struct UIMenu : Object {
  UIMenu() : Object(ObjectType::UIMenu) {}
  std::string label;
  std::string callback;
  std::string enable = "on";
  bool separator = false;
  std::string accelerator;
  bool checked = false;
};

struct Root : Object {
  Root() : Object(ObjectType::Root) {}
  ObjectId current_figure = kNoObject;
  Units units = Units::Pixels;
};

}  // namespace dg

// The objects of the graphics tree, stored as typed fields rather than string
// maps: a drawn sample is one single-point line object per landmark, so a line
// must stay small (well under 200 bytes) and quick to create and restyle.
// Painters read these structs directly; everything else goes through
// Graphics::get and Graphics::set by property name.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "runtime/array/value.hpp"

namespace dg {

using Handle = double;
using ObjectId = std::uint32_t;
inline constexpr ObjectId kNoObject = 0xFFFFFFFFu;

enum class ObjectType : std::uint8_t { Root, Figure, Axes, Line, Text, UIControl, UIMenu };
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

struct Object {
  explicit Object(ObjectType t) : type(t) {}
  virtual ~Object() = default;
  ObjectType type;
  bool visible = true;
  std::uint32_t tag = 0;  // index into the tree's tag names; 0 is ""
  ObjectId parent = kNoObject;
  std::vector<ObjectId> children;  // in creation order
};

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
  std::uint32_t color = 0;       // palette indices (see Graphics::color)
  std::uint32_t edge_color = 0;  // "auto" by default
  std::uint32_t face_color = 0;  // "none" by default
  double line_width = 0.5;
  double marker_size = 6;
  LineStyle style = LineStyle::Solid;
  Marker marker = Marker::None;
  Points points;
};

struct Text : Object {
  Text() : Object(ObjectType::Text) {}
  double x = 0, y = 0;
  std::string string;
  std::uint32_t color = 0;
  double font_size = 10;
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
  ObjectId current_axes = kNoObject;
  bool stale = false;
};

struct Axes : Placed {
  Axes() : Placed(ObjectType::Axes) {}
  std::array<double, 2> xlim{0, 1}, ylim{0, 1};
  bool xlim_auto = true, ylim_auto = true;
  bool equal = false;  // equal data units on both axes
  bool hold = false;   // NextPlot "add"
  bool box = true;
  Rgb color{1, 1, 1};
};

// Controls and menus keep their few properties as values by property name.
struct Widget : Placed {
  using Placed::Placed;
  Struct props;  // lower-case name -> value
  const Value* find(const std::string& key) const { return props.find(key); }
  Value& slot(const std::string& key) { return props.field(key); }
};

struct Root : Object {
  Root() : Object(ObjectType::Root) {}
  ObjectId current_figure = kNoObject;
  Units units = Units::Pixels;
};

}  // namespace dg

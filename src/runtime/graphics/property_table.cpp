#include "runtime/graphics/property_table.hpp"

#include <cmath>
#include <vector>

#include "runtime/array/error.hpp"
#include "runtime/array/format.hpp"
#include "runtime/graphics/graphics.hpp"
#include "runtime/graphics/style.hpp"

namespace dg {
namespace {

using G = const Graphics&;
using O = const Object&;

template <class T>
const T& of(const Object& o) {
  return static_cast<const T&>(o);
}
template <class T>
T& of(Object& o) {
  return static_cast<T&>(o);
}

[[noreturn]] void unknown(ObjectType type, std::string_view name) {
  raise("There is no \"" + std::string(name) + "\" property on the " + type_name(type) +
        " object.");
}

std::string quoted_list(std::span<const std::string_view> words) {
  std::string list;
  for (std::string_view w : words) list += (list.empty() ? "\"" : ", \"") + std::string(w) + "\"";
  return list;
}

double number(const Value& value, std::string_view property) {
  if (!value.is_double() || value.numel() != 1) {
    raise("The property \"" + std::string(property) + "\" needs a single number, not " +
          value.kind_name() + ".");
  }
  double v = value.scalar();
  if (!std::isfinite(v)) {
    raise("The property \"" + std::string(property) + "\" needs a finite number.");
  }
  return v;
}

Value row(std::initializer_list<double> values) {
  return Value(Matrix::row_vector(std::span<const double>(values.begin(), values.size())));
}

Value row4(const std::array<double, 4>& r) {
  return row({r[0], r[1], r[2], r[3]});
}

Value rgb_value(const Rgb& c) {
  return row({c.r, c.g, c.b});
}

Value on_off(bool flag) {
  return Value(flag ? "on" : "off");
}

Value handle_or_empty(G g, ObjectId id) {
  return id == kNoObject ? Value(Matrix()) : Value(g.handle_of(id));
}

Value platform_background(G g) {
  auto c = g.observer().default_control_background();
  return row({c[0], c[1], c[2]});
}

using Words = std::array<std::string_view, 2>;
constexpr Words kOnOff{"on", "off"};
constexpr std::array<std::string_view, 3> kEnable{"on", "off", "inactive"};
constexpr Words kActivePosition{"position", "outerposition"};
constexpr Words kMenuBar{"figure", "none"};
constexpr Words kAutoManual{"auto", "manual"};
constexpr Words kWindowStyle{"normal", "docked"};
constexpr Words kDragMode{"pan", "rotate"};
constexpr Words kNextPlot{"add", "replace"};
constexpr std::array<std::string_view, 3> kAlignment{"left", "center", "right"};
constexpr std::array<std::string_view, 10> kStyles{
    "pushbutton", "togglebutton", "radiobutton", "checkbox", "edit",
    "text",       "slider",       "frame",       "listbox",  "popupmenu"};

// The field a property keeps, reached from the object through a path of
// member pointers: field<&Figure::name> or field<&Line::look, &LineLook::color>.
template <class T, class F>
T owner_of(F T::*);
template <auto First, auto... Rest>
decltype(auto) field(const Object& o) {
  using T = decltype(owner_of(First));
  return ((static_cast<const T&>(o).*First).*....*Rest);
}
template <auto First, auto... Rest>
decltype(auto) field(Object& o) {
  using T = decltype(owner_of(First));
  return ((static_cast<T&>(o).*First).*....*Rest);
}

// Properties that read and write one field, by the field's kind.
template <auto... Path>
constexpr Property text_field(std::string_view name, bool stales = true) {
  return {
      name,
      PropertyKind::Text,
      "",
      [](G, ObjectId, O o) { return Value(field<Path...>(o)); },
      [](Graphics&, ObjectId, Object& o, const PropertyValue& v) { field<Path...>(o) = v.text; },
      stales};
}
template <auto... Path>
constexpr Property word_field(std::string_view name, std::string_view default_text,
                              std::span<const std::string_view> words) {
  return {
      name,
      PropertyKind::Choice,
      default_text,
      [](G, ObjectId, O o) { return Value(field<Path...>(o)); },
      [](Graphics&, ObjectId, Object& o, const PropertyValue& v) { field<Path...>(o) = v.text; },
      true,
      words};
}
template <auto... Path>
constexpr Property flag_field(std::string_view name, std::string_view default_text) {
  return {
      name, PropertyKind::OnOff, default_text,
      [](G, ObjectId, O o) { return on_off(field<Path...>(o)); },
      [](Graphics&, ObjectId, Object& o, const PropertyValue& v) { field<Path...>(o) = v.flag; }};
}
// A flag shown as one of two words: the flag is set by words[On].
template <const Words& W, std::size_t On, auto... Path>
constexpr Property switch_field(std::string_view name, std::string_view default_text,
                                bool stales = true) {
  return {name,
          PropertyKind::Choice,
          default_text,
          [](G, ObjectId, O o) { return Value(field<Path...>(o) ? W[On] : W[1 - On]); },
          [](Graphics&, ObjectId, Object& o, const PropertyValue& v) {
            field<Path...>(o) = v.text == W[On];
          },
          stales,
          W};
}
template <auto... Path>
constexpr Property number_field(std::string_view name, PropertyKind kind,
                                std::string_view default_text) {
  return {
      name, kind, default_text, [](G, ObjectId, O o) { return Value(field<Path...>(o)); },
      [](Graphics&, ObjectId, Object& o, const PropertyValue& v) { field<Path...>(o) = v.number; }};
}
template <auto... Path>
constexpr Property rgb_field(std::string_view name, std::string_view default_text) {
  return {name, PropertyKind::Color, default_text,
          [](G, ObjectId, O o) { return rgb_value(field<Path...>(o)); },
          [](Graphics&, ObjectId, Object& o, const PropertyValue& v) {
            field<Path...>(o) = v.color.rgb;
          }};
}
// A colour kept as an index into the tree's palette.
template <auto... Path>
constexpr Property palette_field(std::string_view name, PropertyKind kind,
                                 std::string_view default_text) {
  return {name, kind, default_text,
          [](G g, ObjectId, O o) { return color_value(g.palette().color(field<Path...>(o))); },
          [](Graphics& g, ObjectId, Object& o, const PropertyValue& v) {
            field<Path...>(o) = g.palette().index(v.color);
          }};
}
template <auto... Path>
constexpr Property units_field(bool stales = true) {
  return {"Units",
          PropertyKind::Units,
          "pixels",
          [](G, ObjectId, O o) { return Value(units_name(field<Path...>(o))); },
          [](Graphics&, ObjectId, Object& o, const PropertyValue& v) {
            field<Path...>(o) = static_cast<Units>(v.number);
          },
          stales};
}

// Properties every object has.
const Property kCommon[] = {
    {"Type", PropertyKind::ReadOnly, "", [](G, ObjectId, O o) { return Value(type_name(o.type)); },
     nullptr},
    {"Tag", PropertyKind::Text, "", [](G g, ObjectId, O o) { return Value(g.tags().name(o.tag)); },
     [](Graphics& g, ObjectId, Object& o, const PropertyValue& v) {
       o.tag = g.tags().intern(v.text);
     },
     false},
    {"Visible", PropertyKind::OnOff, "on", [](G, ObjectId, O o) { return on_off(o.visible); },
     [](Graphics& g, ObjectId id, Object& o, const PropertyValue& v) {
       o.visible = v.flag;
       if (o.type == ObjectType::Line || o.type == ObjectType::Image) g.bounds_changed(id);
     }},
    {"Parent", PropertyKind::ReadOnly, "",
     [](G g, ObjectId, O o) { return handle_or_empty(g, o.parent); }, nullptr},
    {"Children", PropertyKind::ReadOnly, "",
     [](G g, ObjectId, O o) {
       Matrix m(o.children.size(), 1);
       for (std::size_t i = 0; i < o.children.size(); ++i) m(i, 0) = g.handle_of(o.children[i]);
       return Value(std::move(m));
     },
     nullptr},
    {"UserData", PropertyKind::Any, "", [](G, ObjectId, O o) { return o.user_data; },
     [](Graphics&, ObjectId, Object& o, const PropertyValue& v) { o.user_data = v.raw; }, false},
};

// Properties of objects placed by a rectangle.
const Property kPlaced[] = {
    units_field<&Placed::units>(),
    {"Position", PropertyKind::Rectangle, "",
     [](G g, ObjectId, O o) {
       const auto& p = of<Placed>(o);
       return row4(g.to_units(p, p.pixels, p.units));
     },
     [](Graphics& g, ObjectId, Object& o, const PropertyValue& v) {
       auto& p = of<Placed>(o);
       p.pixels = g.from_units(p, v.rect, p.units);
     }},
};

const Property kRoot[] = {
    {"ScreenSize", PropertyKind::ReadOnly, "",
     [](G g, ObjectId, O o) {
       auto s = g.observer().screen_size();
       if (of<Root>(o).units == Units::Characters) {
         auto c = g.observer().character_size();
         return row({1, 1, s[0] / c[0], s[1] / c[1]});
       }
       return row({1, 1, s[0], s[1]});
     },
     nullptr},
    units_field<&Root::units>(false),
    {"CurrentFigure", PropertyKind::Any, "",
     [](G g, ObjectId, O o) { return handle_or_empty(g, of<Root>(o).current_figure); },
     [](Graphics& g, ObjectId, Object&, const PropertyValue& v) { g.raise_figure(v.raw.scalar()); },
     false},
    {"DefaultUicontrolBackgroundColor", PropertyKind::ReadOnly, "",
     [](G g, ObjectId, O) { return platform_background(g); }, nullptr},
};

const Property kFigure[] = {
    {"OuterPosition", PropertyKind::Rectangle, "",
     [](G g, ObjectId, O o) {
       const auto& f = of<Figure>(o);
       auto m = g.observer().frame_margins();
       const auto& p = f.pixels;
       return row4(g.to_units(f, {p[0] - m[0], p[1] - m[2], p[2] + m[0] + m[1], p[3] + m[2] + m[3]},
                              f.units));
     },
     [](Graphics& g, ObjectId, Object& o, const PropertyValue& v) {
       auto& f = of<Figure>(o);
       auto outer = g.from_units(f, v.rect, f.units);
       auto m = g.observer().frame_margins();
       f.pixels = {outer[0] + m[0], outer[1] + m[2], outer[2] - m[0] - m[1],
                   outer[3] - m[2] - m[3]};
     }},
    text_field<&Figure::name>("Name"),
    rgb_field<&Figure::color>("Color", ""),
    word_field<&Figure::active_position>("ActivePositionProperty", "outerposition",
                                         kActivePosition),
    word_field<&Figure::menubar>("MenuBar", "figure", kMenuBar),
    {"Number", PropertyKind::ReadOnly, "",
     [](G, ObjectId, O o) { return Value(static_cast<double>(of<Figure>(o).number)); }, nullptr},
    {"CurrentAxes", PropertyKind::Any, "",
     [](G g, ObjectId, O o) { return handle_or_empty(g, of<Figure>(o).current_axes); },
     [](Graphics& g, ObjectId id, Object& o, const PropertyValue& v) {
       auto axes = g.store().find(v.raw.is_double() && v.raw.numel() == 1 ? v.raw.scalar() : -1);
       if (!axes || g.store().type(*axes) != ObjectType::Axes || g.store().parent(*axes) != id) {
         raise("The current axes of figure " + num2str(g.handle_of(id)) +
               " must be one of its axes.");
       }
       of<Figure>(o).current_axes = *axes;
     }},
    flag_field<&Figure::number_title>("NumberTitle", "on"),
    flag_field<&Figure::resize>("Resize", "on"),
    text_field<&Figure::close_request_fcn>("CloseRequestFcn", false),
    text_field<&Figure::file_drop_fcn>("FileDropFcn", false),
    // The path of the file dropped on the window, set before FileDropFcn runs.
    text_field<&Figure::dropped_file>("DroppedFile", false),
    text_field<&Figure::motion_fcn>("WindowButtonMotionFcn"),
    text_field<&Figure::key_press_fcn>("KeyPressFcn"),
    // The key a window passed on last, as kFigureKeys names it.
    text_field<&Figure::current_key>("CurrentKey", false),
    switch_field<kWindowStyle, 1, &Figure::docked>("WindowStyle", "normal"),
};

const Property kAxes[] = {
    {"XLim", PropertyKind::Range, "[0 1]",
     [](G g, ObjectId id, O) {
       auto l = g.limits_of(g.handle_of(id));
       return row({l[0], l[1]});
     },
     [](Graphics&, ObjectId, Object& o, const PropertyValue& v) {
       auto& a = of<Axes>(o);
       a.xlim = {v.rect[0], v.rect[1]}, a.xlim_auto = false;
     }},
    {"YLim", PropertyKind::Range, "[0 1]",
     [](G g, ObjectId id, O) {
       auto l = g.limits_of(g.handle_of(id));
       return row({l[2], l[3]});
     },
     [](Graphics&, ObjectId, Object& o, const PropertyValue& v) {
       auto& a = of<Axes>(o);
       a.ylim = {v.rect[0], v.rect[1]}, a.ylim_auto = false;
     }},
    switch_field<kAutoManual, 0, &Axes::xlim_auto>("XLimMode", "auto"),
    switch_field<kAutoManual, 0, &Axes::ylim_auto>("YLimMode", "auto"),
    switch_field<kAutoManual, 1, &Axes::equal>("DataAspectRatioMode", "auto"),
    {"DataAspectRatio", PropertyKind::ReadOnly, "[1 1 1]",
     [](G, ObjectId, O) {
       return row({1, 1, 1});
     },
     nullptr},
    switch_field<kNextPlot, 0, &Axes::hold>("NextPlot", "replace"),
    flag_field<&Axes::box>("Box", "on"),
    rgb_field<&Axes::color>("Color", "[1 1 1]"),
    text_field<&Axes::button_down_fcn>("ButtonDownFcn", false),
    text_field<&Axes::point_drag_fcn>("PointDragFcn", false),
    switch_field<kDragMode, 1, &Axes::rotate_drag>("DragMode", "pan", false),
    {"View", PropertyKind::Any, "[0 90]",
     [](G, ObjectId, O o) {
       const auto& v = of<Axes>(o).view;
       return row({v[0], v[1]});
     },
     [](Graphics&, ObjectId, Object& o, const PropertyValue& v) {
       const Matrix& m = v.raw.is_double() ? v.raw.matrix() : Matrix();
       if (m.size() != 2 || !std::isfinite(m.data()[0]) || !std::isfinite(m.data()[1])) {
         raise("The property \"View\" needs two numbers: azimuth and elevation in degrees.");
       }
       of<Axes>(o).view = {m.data()[0], m.data()[1]};
     }},
    text_field<&Axes::view_fcn>("ViewChangedFcn", false),
    // The data point of the last click (or of the pointer while the figure
    // tracks it), as two rows of x y z: the near and the far point of a
    // two-dimensional view are the same.
    {"CurrentPoint", PropertyKind::Any, "[0 0 0 0 0 0]",
     [](G, ObjectId, O o) {
       const auto& p = of<Axes>(o).current_point;
       return Value(Matrix{{p[0], p[1], 0}, {p[0], p[1], 0}});
     },
     [](Graphics&, ObjectId, Object& o, const PropertyValue& v) {
       const Matrix& m = v.raw.is_double() ? v.raw.matrix() : Matrix();
       if (m.rows() == 0 || m.cols() < 2 || !std::isfinite(m(0, 0)) || !std::isfinite(m(0, 1))) {
         raise("The property \"CurrentPoint\" needs a point: x and y.");
       }
       of<Axes>(o).current_point = {m(0, 0), m(0, 1)};
     },
     false},
};

Value line_data(const Line& line, bool x) {
  Matrix m(1, line.points.size());
  for (std::size_t i = 0; i < line.points.size(); ++i) {
    m(0, i) = x ? line.points.x(i) : line.points.y(i);
  }
  return Value(std::move(m));
}

void set_line_data(Graphics& g, ObjectId id, Line& line, const Value& value, bool x_data) {
  const Matrix& m = value.matrix();
  std::vector<double> x(line.points.size()), y(line.points.size());
  for (std::size_t i = 0; i < x.size(); ++i) x[i] = line.points.x(i), y[i] = line.points.y(i);
  (x_data ? x : y).assign(m.data(), m.data() + m.size());
  line.points = Points(x, y);
  g.bounds_changed(id);
}

const Property kLine[] = {
    number_field<&Line::look, &LineLook::marker_size>("MarkerSize", PropertyKind::Positive, "6"),
    palette_field<&Line::look, &LineLook::color>("Color", PropertyKind::Color, "[0 0 0]"),
    {"LineStyle", PropertyKind::Any, "-",
     [](G, ObjectId, O o) { return Value(line_style_name(of<Line>(o).look.style)); },
     [](Graphics&, ObjectId, Object& o, const PropertyValue& v) {
       auto style = v.raw.is_char() ? parse_line_style(v.raw.text()) : std::nullopt;
       if (!style) {
         raise("The property \"LineStyle\" takes \"-\", \"--\", \":\", \"-.\" or \"none\".");
       }
       of<Line>(o).look.style = *style;
     }},
    number_field<&Line::look, &LineLook::line_width>("LineWidth", PropertyKind::Positive, "0.5"),
    {"Marker", PropertyKind::Any, "none",
     [](G, ObjectId, O o) { return Value(marker_name(of<Line>(o).look.marker)); },
     [](Graphics&, ObjectId, Object& o, const PropertyValue& v) {
       auto marker = v.raw.is_char() ? parse_marker(v.raw.text()) : std::nullopt;
       if (!marker) raise("\"" + v.raw.text() + "\" is not a marker.");
       of<Line>(o).look.marker = *marker;
     }},
    palette_field<&Line::look, &LineLook::edge_color>("MarkerEdgeColor", PropertyKind::ColorWord,
                                                      "auto"),
    palette_field<&Line::look, &LineLook::face_color>("MarkerFaceColor", PropertyKind::ColorWord,
                                                      "none"),
    {"XData", PropertyKind::Any, "[]",
     [](G, ObjectId, O o) { return line_data(of<Line>(o), true); },
     [](Graphics& g, ObjectId id, Object& o, const PropertyValue& v) {
       set_line_data(g, id, of<Line>(o), v.raw, true);
     }},
    {"YData", PropertyKind::Any, "[]",
     [](G, ObjectId, O o) { return line_data(of<Line>(o), false); },
     [](Graphics& g, ObjectId id, Object& o, const PropertyValue& v) {
       set_line_data(g, id, of<Line>(o), v.raw, false);
     }},
};

const Property kText[] = {
    {"String", PropertyKind::Any, "", [](G, ObjectId, O o) { return Value(of<Text>(o).string); },
     [](Graphics&, ObjectId, Object& o, const PropertyValue& v) {
       of<Text>(o).string = v.raw.is_double() ? num2str(v.raw.scalar()) : v.raw.text();
     }},
    {"Position", PropertyKind::Any, "[0 0 0]",
     [](G, ObjectId, O o) {
       return row({of<Text>(o).x, of<Text>(o).y, 0});
     },
     [](Graphics&, ObjectId, Object& o, const PropertyValue& v) {
       const Matrix& m = v.raw.matrix();
       if (m.size() < 2 || m.size() > 3) raise("A text position needs two or three numbers.");
       of<Text>(o).x = m.data()[0], of<Text>(o).y = m.data()[1];
     }},
    palette_field<&Text::color>("Color", PropertyKind::Color, "[0 0 0]"),
    number_field<&Text::font_size>("FontSize", PropertyKind::Positive, "10"),
};

// The extent of an image in data units, left and right or bottom and top.
template <bool X>
constexpr Property extent_field() {
  return {X ? "XData" : "YData", PropertyKind::Range, "[0 1]",
          [](G, ObjectId, O o) {
            const auto& e = X ? of<Image>(o).xdata : of<Image>(o).ydata;
            return row({e[0], e[1]});
          },
          [](Graphics& g, ObjectId id, Object& o, const PropertyValue& v) {
            (X ? of<Image>(o).xdata : of<Image>(o).ydata) =
                image_extent({v.rect[0], v.rect[1]}, X ? "XData" : "YData");
            g.bounds_changed(id);
          }};
}

const Property kImage[] = {
    text_field<&Image::file>("ImageFile"),
    extent_field<true>(),
    extent_field<false>(),
};

const Property kControl[] = {
    word_field<&UIControl::style>("Style", "pushbutton", kStyles),
    {"String", PropertyKind::Any, "", [](G, ObjectId, O o) { return of<UIControl>(o).string; },
     [](Graphics&, ObjectId, Object& o, const PropertyValue& v) {
       const Value& s = v.raw;
       if (!s.is_char() && !s.is_cell() && s.kind() != Value::Kind::Empty && !s.is_double()) {
         raise("The property \"String\" needs a text or a cell array of texts.");
       }
       of<UIControl>(o).string = s.is_double() && !s.is_empty() ? Value(num2str(s.scalar())) : s;
     }},
    text_field<&UIControl::callback>("Callback", false),
    word_field<&UIControl::enable>("Enable", "on", kEnable),
    text_field<&UIControl::tooltip>("TooltipString"),
    {"BackgroundColor", PropertyKind::Color, "",
     [](G g, ObjectId, O o) {
       const auto& c = of<UIControl>(o).background;
       return c ? rgb_value(*c) : platform_background(g);
     },
     [](Graphics&, ObjectId, Object& o, const PropertyValue& v) {
       of<UIControl>(o).background = v.color.rgb;
     }},
    {"ForegroundColor", PropertyKind::Color, "[0 0 0]",
     [](G, ObjectId, O o) { return rgb_value(of<UIControl>(o).foreground.value_or(Rgb{})); },
     [](Graphics&, ObjectId, Object& o, const PropertyValue& v) {
       of<UIControl>(o).foreground = v.color.rgb;
     }},
    {"FontSize", PropertyKind::Positive, "10",
     [](G, ObjectId, O o) { return Value(of<UIControl>(o).font_size.value_or(10.0)); },
     [](Graphics&, ObjectId, Object& o, const PropertyValue& v) {
       of<UIControl>(o).font_size = v.number;
     }},
    word_field<&UIControl::alignment>("HorizontalAlignment", "center", kAlignment),
    number_field<&UIControl::value>("Value", PropertyKind::Number, "0"),
    number_field<&UIControl::min>("Min", PropertyKind::Number, "0"),
    number_field<&UIControl::max>("Max", PropertyKind::Number, "1"),
};

const Property kMenu[] = {
    text_field<&UIMenu::label>("Label"),
    text_field<&UIMenu::label>("Text"),
    text_field<&UIMenu::callback>("Callback", false),
    word_field<&UIMenu::enable>("Enable", "on", kEnable),
    flag_field<&UIMenu::separator>("Separator", "off"),
    text_field<&UIMenu::accelerator>("Accelerator"),
    flag_field<&UIMenu::checked>("Checked", "off"),
};

std::vector<Property> join(std::initializer_list<std::span<const Property>> parts) {
  std::vector<Property> all;
  for (auto part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

}  // namespace

std::string lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

bool same_name(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

const char* units_name(Units units) {
  switch (units) {
    case Units::Pixels:
      return "pixels";
    case Units::Characters:
      return "characters";
    case Units::Normalized:
      return "normalized";
    case Units::Points:
      return "points";
  }
  return "pixels";
}

std::span<const Property> property_table(ObjectType type) {
  // A type's own entries come first, so they win over the shared ones of the same name.
  static const std::vector<Property> root = join({kRoot, kCommon});
  static const std::vector<Property> figure = join({kFigure, kPlaced, kCommon});
  static const std::vector<Property> axes = join({kAxes, kPlaced, kCommon});
  static const std::vector<Property> line = join({kLine, kCommon});
  static const std::vector<Property> text = join({kText, kCommon});
  static const std::vector<Property> image = join({kImage, kCommon});
  static const std::vector<Property> control = join({kControl, kPlaced, kCommon});
  static const std::vector<Property> menu = join({kMenu, kCommon});
  switch (type) {
    case ObjectType::Root:
      return root;
    case ObjectType::Figure:
      return figure;
    case ObjectType::Axes:
      return axes;
    case ObjectType::Line:
      return line;
    case ObjectType::Text:
      return text;
    case ObjectType::Image:
      return image;
    case ObjectType::UIControl:
      return control;
    case ObjectType::UIMenu:
      return menu;
  }
  return {};
}

const Property* find_property(ObjectType type, std::string_view name) {
  for (const Property& p : property_table(type)) {
    if (same_name(p.name, name)) return &p;
  }
  return nullptr;
}

const Property& property(ObjectType type, std::string_view name) {
  if (const Property* p = find_property(type, name)) return *p;
  unknown(type, name);
}

double positive_number(double v, std::string_view property) {
  if (!std::isfinite(v)) {
    raise("The property \"" + std::string(property) + "\" needs a finite number.");
  }
  if (!(v > 0)) {
    raise("The property \"" + std::string(property) + "\" needs a positive number, not " +
          num2str(v) + ".");
  }
  return v;
}

std::array<double, 2> image_extent(std::array<double, 2> range, std::string_view property) {
  if (!std::isfinite(range[0]) || !std::isfinite(range[1]) || !(range[0] < range[1])) {
    raise("The property \"" + std::string(property) + "\" needs two increasing numbers.");
  }
  return range;
}

PropertyValue check_value(ObjectType type, const Property& p, const Value& value) {
  PropertyValue out(value);
  const std::string name(p.name);
  auto word = [&](std::span<const std::string_view> allowed) {
    std::string text = value.is_char() ? lower(value.text()) : "";
    for (std::string_view a : allowed) {
      if (text == a) return text;
    }
    raise("The property \"" + name + "\" takes one of " + quoted_list(allowed) + ", not " +
          (value.is_char() ? "\"" + value.text() + "\"" : value.kind_name()) + ".");
  };
  switch (p.kind) {
    case PropertyKind::Number:
      out.number = number(value, name);
      break;
    case PropertyKind::Positive:
      out.number = positive_number(number(value, name), name);
      break;
    case PropertyKind::Text:
      if (value.kind() != Value::Kind::Empty && !value.is_char()) {
        raise("The property \"" + name + "\" needs a text, not " + value.kind_name() + ".");
      }
      out.text = value.text();
      break;
    case PropertyKind::OnOff:
      out.text = word(kOnOff);
      out.flag = out.text == "on";
      break;
    case PropertyKind::Choice:
      out.text = word(p.choices);
      break;
    case PropertyKind::Color:
      out.color = parse_color(value, false, false);
      break;
    case PropertyKind::ColorWord:
      out.color = parse_color(value, true, true);
      break;
    case PropertyKind::Rectangle: {
      if (!value.is_double() || value.numel() != 4) {
        raise("The property \"" + name + "\" needs four numbers [left bottom width height], not " +
              value.kind_name() + " of " + std::to_string(value.numel()) + " elements.");
      }
      const double* v = value.matrix().data();
      out.rect = {v[0], v[1], v[2], v[3]};
      break;
    }
    case PropertyKind::Range: {
      const double* v = value.is_double() ? value.matrix().data() : nullptr;
      if (!v || value.numel() != 2 || !(v[0] < v[1])) {
        raise("The property \"" + name + "\" needs two increasing numbers.");
      }
      out.rect = {v[0], v[1], 0, 0};
      break;
    }
    case PropertyKind::Units: {
      std::string text = value.is_char() ? lower(value.text()) : "";
      for (Units u : {Units::Pixels, Units::Characters, Units::Normalized, Units::Points}) {
        if (text == units_name(u)) {
          out.number = static_cast<double>(u);
          return out;
        }
      }
      raise("\"" + (value.is_char() ? value.text() : value.kind_name()) +
            "\" is not a unit; use pixels, characters, normalized or points.");
    }
    case PropertyKind::Any:
      break;
    case PropertyKind::ReadOnly:
      raise("The \"" + name + "\" property of the " + type_name(type) +
            " object cannot be changed.");
  }
  return out;
}

}  // namespace dg

// Reading and writing properties by name. Names are lower-cased once and then
// matched per object type; an unknown name raises an error naming the
// property and the object's type.
#include <algorithm>
#include <cmath>

#include "runtime/array/error.hpp"
#include "runtime/array/format.hpp"
#include "runtime/graphics/graphics.hpp"
#include "runtime/graphics/style.hpp"

namespace dg {
namespace {

// Free-form properties kept as application data under a reserved prefix.
const std::string kStored = "\x01";

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

Units parse_units(const Value& value) {
  std::string text = value.is_char() ? lower(value.text()) : "";
  for (Units u : {Units::Pixels, Units::Characters, Units::Normalized, Units::Points}) {
    if (text == units_name(u)) return u;
  }
  raise("\"" + (value.is_char() ? value.text() : value.kind_name()) +
        "\" is not a unit; use pixels, characters, normalized or points.");
}

std::string word(const Value& value, const std::string& property,
                 std::initializer_list<const char*> allowed) {
  std::string text = value.is_char() ? lower(value.text()) : "";
  for (const char* a : allowed) {
    if (text == a) return text;
  }
  std::string list;
  for (const char* a : allowed) list += (list.empty() ? "\"" : ", \"") + std::string(a) + "\"";
  raise("The property \"" + property + "\" takes one of " + list + ", not " +
        (value.is_char() ? "\"" + value.text() + "\"" : value.kind_name()) + ".");
}

bool on_off(const Value& value, const std::string& property) {
  return word(value, property, {"on", "off"}) == "on";
}

Value on_off_value(bool flag) {
  return Value(flag ? "on" : "off");
}

double number(const Value& value, const std::string& property) {
  if (!value.is_double() || value.numel() != 1) {
    raise("The property \"" + property + "\" needs a single number, not " + value.kind_name() +
          ".");
  }
  double v = value.scalar();
  if (!std::isfinite(v)) raise("The property \"" + property + "\" needs a finite number.");
  return v;
}

double positive(const Value& value, const std::string& property) {
  double v = number(value, property);
  if (!(v > 0)) {
    raise("The property \"" + property + "\" needs a positive number, not " + num2str(v) + ".");
  }
  return v;
}

std::array<double, 4> rectangle(const Value& value, const std::string& property) {
  if (!value.is_double() || value.numel() != 4) {
    raise("The property \"" + property + "\" needs four numbers [left bottom width height], not " +
          value.kind_name() + " of " + std::to_string(value.numel()) + " elements.");
  }
  const double* v = value.matrix().data();
  return {v[0], v[1], v[2], v[3]};
}

std::array<double, 2> increasing_pair(const Value& value, const std::string& property) {
  if (!value.is_double() || value.numel() != 2 ||
      !(value.matrix().data()[0] < value.matrix().data()[1])) {
    raise("The property \"" + property + "\" needs two increasing numbers.");
  }
  return {value.matrix().data()[0], value.matrix().data()[1]};
}

std::string text_of(const Value& value, const std::string& property) {
  if (value.kind() != Value::Kind::Empty && !value.is_char()) {
    raise("The property \"" + property + "\" needs a text, not " + value.kind_name() + ".");
  }
  return value.text();
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

[[noreturn]] void unknown(const Object& object, std::string_view name) {
  raise("There is no \"" + std::string(name) + "\" property on the " + type_name(object.type) +
        " object.");
}

[[noreturn]] void read_only(const Object& object, std::string_view name) {
  raise("The \"" + std::string(name) + "\" property of the " + type_name(object.type) +
        " object cannot be changed.");
}

}  // namespace

std::array<double, 2> Graphics::parent_pixel_size(const Object& object) const {
  if (object.type == ObjectType::Figure || object.parent == kNoObject) {
    return platform_.screen_size();
  }
  const Object& parent = *objects_[object.parent];
  if (parent.type == ObjectType::Root) return platform_.screen_size();
  const auto& p = static_cast<const Placed&>(parent).pixels;
  return {p[2], p[3]};
}

std::array<double, 4> Graphics::to_units(const Placed& object, std::array<double, 4> px,
                                         Units units) const {
  switch (units) {
    case Units::Pixels:
      return px;
    case Units::Characters: {
      auto c = platform_.character_size();
      return {px[0] / c[0], px[1] / c[1], px[2] / c[0], px[3] / c[1]};
    }
    case Units::Normalized: {
      auto s = parent_pixel_size(object);
      return {px[0] / s[0], px[1] / s[1], px[2] / s[0], px[3] / s[1]};
    }
    case Units::Points:
      return {px[0] * 0.75, px[1] * 0.75, px[2] * 0.75, px[3] * 0.75};
  }
  return px;
}

std::array<double, 4> Graphics::from_units(const Placed& object, std::array<double, 4> v,
                                           Units units) const {
  switch (units) {
    case Units::Pixels:
      return v;
    case Units::Characters: {
      auto c = platform_.character_size();
      return {v[0] * c[0], v[1] * c[1], v[2] * c[0], v[3] * c[1]};
    }
    case Units::Normalized: {
      auto s = parent_pixel_size(object);
      return {v[0] * s[0], v[1] * s[1], v[2] * s[0], v[3] * s[1]};
    }
    case Units::Points:
      return {v[0] / 0.75, v[1] / 0.75, v[2] / 0.75, v[3] / 0.75};
  }
  return v;
}

std::array<double, 4> Graphics::pixel_position(Handle h) const {
  const Object& o = *objects_[id_of(h)];
  if (o.type == ObjectType::Root || o.type == ObjectType::Line || o.type == ObjectType::Text) {
    raise("The " + std::string(type_name(o.type)) + " object has no position rectangle.");
  }
  return static_cast<const Placed&>(o).pixels;
}

void Graphics::set_pixel_position(Handle h, const std::array<double, 4>& pixels) {
  ObjectId id = id_of(h);
  Object& o = *objects_[id];
  if (o.type == ObjectType::Root || o.type == ObjectType::Line || o.type == ObjectType::Text) {
    raise("The " + std::string(type_name(o.type)) + " object has no position rectangle.");
  }
  static_cast<Placed&>(o).pixels = pixels;
  touch(id);
}

Value Graphics::get_common(ObjectId id, const Object& object, const std::string& key,
                           bool& found) const {
  found = true;
  if (key == "type") return Value(type_name(object.type));
  if (key == "tag") return Value(tag_names_[object.tag]);
  if (key == "visible") return on_off_value(object.visible);
  if (key == "parent") {
    if (object.parent == kNoObject) return Value(Matrix());
    return Value(handle_of(object.parent));
  }
  if (key == "children") {
    Matrix m(object.children.size(), 1);
    for (std::size_t i = 0; i < object.children.size(); ++i)
      m(i, 0) = handle_of(object.children[i]);
    return Value(std::move(m));
  }
  if (key == "userdata") return getappdata(handle_of(id), kStored + key);
  found = false;
  return Value();
}

bool Graphics::set_common(ObjectId id, Object& object, const std::string& key, const Value& value) {
  if (key == "type" || key == "parent" || key == "children") read_only(object, key);
  if (key == "tag") {
    object.tag = intern_tag(text_of(value, "Tag"));
  } else if (key == "visible") {
    object.visible = on_off(value, "Visible");
  } else if (key == "userdata") {
    setappdata(handle_of(id), kStored + key, value);
  } else {
    return false;
  }
  touch(id);
  return true;
}

Value Graphics::get_placed(const Placed& object, const std::string& key, bool& found) const {
  found = true;
  if (key == "units") return Value(units_name(object.units));
  if (key == "position") return row4(to_units(object, object.pixels, object.units));
  if (object.type == ObjectType::Figure && key == "outerposition") {
    auto m = platform_.frame_margins();
    const auto& p = object.pixels;
    return row4(to_units(object, {p[0] - m[0], p[1] - m[2], p[2] + m[0] + m[1], p[3] + m[2] + m[3]},
                         object.units));
  }
  found = false;
  return Value();
}

bool Graphics::set_placed(ObjectId id, Placed& object, const std::string& key, const Value& value) {
  if (key == "units") {
    object.units = parse_units(value);
  } else if (key == "position") {
    object.pixels = from_units(object, rectangle(value, "Position"), object.units);
  } else if (object.type == ObjectType::Figure && key == "outerposition") {
    auto outer = from_units(object, rectangle(value, "OuterPosition"), object.units);
    auto m = platform_.frame_margins();
    object.pixels = {outer[0] + m[0], outer[1] + m[2], outer[2] - m[0] - m[1],
                     outer[3] - m[2] - m[3]};
  } else {
    return false;
  }
  touch(id);
  return true;
}

Value Graphics::get_line(const Line& line, const std::string& key, bool& found) const {
  found = true;
  if (key == "markersize") return Value(line.marker_size);
  if (key == "color") return color_value(color_spec(line.color));
  if (key == "linestyle") return Value(line_style_name(line.style));
  if (key == "linewidth") return Value(line.line_width);
  if (key == "marker") return Value(marker_name(line.marker));
  if (key == "markeredgecolor") return color_value(color_spec(line.edge_color));
  if (key == "markerfacecolor") return color_value(color_spec(line.face_color));
  if (key == "xdata" || key == "ydata") {
    Matrix m(1, line.points.size());
    for (std::size_t i = 0; i < line.points.size(); ++i) {
      m(0, i) = key == "xdata" ? line.points.x(i) : line.points.y(i);
    }
    return Value(std::move(m));
  }
  found = false;
  return Value();
}

bool Graphics::set_line(Line& line, const std::string& key, const Value& value) {
  if (key == "markersize") {
    line.marker_size = positive(value, "MarkerSize");
  } else if (key == "color") {
    line.color = color_index(parse_color(value, false, false));
  } else if (key == "linestyle") {
    auto style = value.is_char() ? parse_line_style(value.text()) : std::nullopt;
    if (!style) raise("The property \"LineStyle\" takes \"-\", \"--\", \":\", \"-.\" or \"none\".");
    line.style = *style;
  } else if (key == "linewidth") {
    line.line_width = positive(value, "LineWidth");
  } else if (key == "marker") {
    auto marker = value.is_char() ? parse_marker(value.text()) : std::nullopt;
    if (!marker) raise("\"" + value.text() + "\" is not a marker.");
    line.marker = *marker;
  } else if (key == "markeredgecolor") {
    line.edge_color = color_index(parse_color(value, true, true));
  } else if (key == "markerfacecolor") {
    line.face_color = color_index(parse_color(value, true, true));
  } else if (key == "xdata" || key == "ydata") {
    const Matrix& m = value.matrix();
    std::vector<double> x(line.points.size()), y(line.points.size());
    for (std::size_t i = 0; i < x.size(); ++i) x[i] = line.points.x(i), y[i] = line.points.y(i);
    (key == "xdata" ? x : y).assign(m.data(), m.data() + m.size());
    line.points = Points(x, y);
  } else {
    return false;
  }
  return true;
}

Value Graphics::get(Handle h, std::string_view name) const {
  ObjectId id = id_of(h);
  const Object& object = *objects_[id];
  std::string key = lower(name);
  bool found = false;
  Value value;
  if (object.type == ObjectType::Line) {
    value = get_line(static_cast<const Line&>(object), key, found);
    if (found) return value;
  }
  value = get_common(id, object, key, found);
  if (found) return value;
  switch (object.type) {
    case ObjectType::Root: {
      const auto& root = static_cast<const Root&>(object);
      auto s = platform_.screen_size();
      if (key == "screensize") {
        if (root.units == Units::Characters) {
          auto c = platform_.character_size();
          return row({1, 1, s[0] / c[0], s[1] / c[1]});
        }
        return row({1, 1, s[0], s[1]});
      }
      if (key == "units") return Value(units_name(root.units));
      if (key == "currentfigure") {
        return root.current_figure == kNoObject ? Value(Matrix())
                                                : Value(handle_of(root.current_figure));
      }
      if (key == "defaultuicontrolbackgroundcolor") {
        auto c = platform_.default_control_background();
        return row({c[0], c[1], c[2]});
      }
      break;
    }
    case ObjectType::Figure: {
      const auto& fig = static_cast<const Figure&>(object);
      value = get_placed(fig, key, found);
      if (found) return value;
      if (key == "name") return Value(fig.name);
      if (key == "color") return rgb_value(fig.color);
      if (key == "activepositionproperty") return Value(fig.active_position);
      if (key == "menubar") return Value(fig.menubar);
      if (key == "number") return Value(static_cast<double>(fig.number));
      if (key == "currentaxes") {
        return fig.current_axes == kNoObject ? Value(Matrix()) : Value(handle_of(fig.current_axes));
      }
      if (key == "numbertitle" || key == "resize") {
        Value stored = getappdata(h, kStored + key);
        return stored.is_empty() ? Value("on") : stored;
      }
      break;
    }
    case ObjectType::Axes: {
      const auto& axes = static_cast<const Axes&>(object);
      value = get_placed(axes, key, found);
      if (found) return value;
      if (key == "xlim" || key == "ylim") {
        auto l = limits_of(h);
        return key == "xlim" ? row({l[0], l[1]}) : row({l[2], l[3]});
      }
      if (key == "xlimmode") return Value(axes.xlim_auto ? "auto" : "manual");
      if (key == "ylimmode") return Value(axes.ylim_auto ? "auto" : "manual");
      if (key == "dataaspectratiomode") return Value(axes.equal ? "manual" : "auto");
      if (key == "dataaspectratio") return row({1, 1, 1});
      if (key == "nextplot") return Value(axes.hold ? "add" : "replace");
      if (key == "box") return on_off_value(axes.box);
      if (key == "color") return rgb_value(axes.color);
      break;
    }
    case ObjectType::Text: {
      const auto& text = static_cast<const Text&>(object);
      if (key == "string") return Value(text.string);
      if (key == "position") return row({text.x, text.y, 0});
      if (key == "color") return color_value(color_spec(text.color));
      if (key == "fontsize") return Value(text.font_size);
      break;
    }
    case ObjectType::UIControl:
    case ObjectType::UIMenu: {
      const auto& widget = static_cast<const Widget&>(object);
      if (object.type == ObjectType::UIControl) {
        value = get_placed(widget, key, found);
        if (found) return value;
      }
      std::string k = key == "text" ? "label" : key;
      if (const Value* stored = widget.find(k)) return *stored;
      static const std::vector<std::pair<std::string, Value>> control_defaults{
          {"style", Value("pushbutton")},
          {"string", Value("")},
          {"callback", Value("")},
          {"enable", Value("on")},
          {"tooltipstring", Value("")},
          {"backgroundcolor", Value(Matrix{{0.94, 0.94, 0.94}})},
          {"foregroundcolor", Value(Matrix{{0, 0, 0}})},
          {"fontsize", Value(10.0)},
          {"horizontalalignment", Value("center")},
          {"value", Value(0.0)},
          {"min", Value(0.0)},
          {"max", Value(1.0)}};
      static const std::vector<std::pair<std::string, Value>> menu_defaults{
          {"label", Value("")},        {"callback", Value("")},    {"enable", Value("on")},
          {"separator", Value("off")}, {"accelerator", Value("")}, {"checked", Value("off")}};
      const auto& defaults =
          object.type == ObjectType::UIControl ? control_defaults : menu_defaults;
      for (const auto& [name, v] : defaults) {
        if (name == k) {
          if (name == "backgroundcolor") {
            auto c = platform_.default_control_background();
            return row({c[0], c[1], c[2]});
          }
          return v;
        }
      }
      break;
    }
    case ObjectType::Line:
      break;
  }
  unknown(object, name);
}

void Graphics::set(Handle h, std::string_view name, const Value& value) {
  ObjectId id = id_of(h);
  Object& object = *objects_[id];
  std::string key = lower(name);
  if (object.type == ObjectType::Line) {
    if (set_line(static_cast<Line&>(object), key, value)) {
      touch(id);
      return;
    }
  }
  if (set_common(id, object, key, value)) return;
  switch (object.type) {
    case ObjectType::Root: {
      auto& root = static_cast<Root&>(object);
      if (key == "units") {
        root.units = parse_units(value);
        return;
      }
      if (key == "currentfigure") {
        raise_figure(value.scalar());
        return;
      }
      if (key == "screensize") read_only(object, name);
      break;
    }
    case ObjectType::Figure: {
      auto& fig = static_cast<Figure&>(object);
      if (set_placed(id, fig, key, value)) return;
      if (key == "name") {
        fig.name = text_of(value, "Name");
      } else if (key == "color") {
        fig.color = parse_color(value, false, false).rgb;
      } else if (key == "activepositionproperty") {
        fig.active_position = word(value, "ActivePositionProperty", {"position", "outerposition"});
      } else if (key == "menubar") {
        fig.menubar = word(value, "MenuBar", {"figure", "none"});
      } else if (key == "numbertitle" || key == "resize") {
        setappdata(h, kStored + key, on_off_value(on_off(value, std::string(name))));
      } else if (key == "currentaxes") {
        ObjectId axes = id_of(value.scalar());
        if (objects_[axes]->type != ObjectType::Axes || objects_[axes]->parent != id) {
          raise("The current axes of figure " + num2str(h) + " must be one of its axes.");
        }
        fig.current_axes = axes;
      } else {
        break;
      }
      touch(id);
      return;
    }
    case ObjectType::Axes: {
      auto& axes = static_cast<Axes&>(object);
      if (set_placed(id, axes, key, value)) return;
      if (key == "xlim") {
        auto r = increasing_pair(value, "XLim");
        axes.xlim = r, axes.xlim_auto = false;
      } else if (key == "ylim") {
        auto r = increasing_pair(value, "YLim");
        axes.ylim = r, axes.ylim_auto = false;
      } else if (key == "xlimmode") {
        axes.xlim_auto = word(value, "XLimMode", {"auto", "manual"}) == "auto";
      } else if (key == "ylimmode") {
        axes.ylim_auto = word(value, "YLimMode", {"auto", "manual"}) == "auto";
      } else if (key == "dataaspectratiomode") {
        axes.equal = word(value, "DataAspectRatioMode", {"auto", "manual"}) == "manual";
      } else if (key == "nextplot") {
        axes.hold = word(value, "NextPlot", {"add", "replace"}) == "add";
      } else if (key == "box") {
        axes.box = on_off(value, "Box");
      } else if (key == "color") {
        axes.color = parse_color(value, false, false).rgb;
      } else {
        break;
      }
      touch(id);
      return;
    }
    case ObjectType::Text: {
      auto& text = static_cast<Text&>(object);
      if (key == "string") {
        text.string = value.is_double() ? num2str(value.scalar()) : value.text();
      } else if (key == "position") {
        const Matrix& m = value.matrix();
        if (m.size() < 2 || m.size() > 3) raise("A text position needs two or three numbers.");
        text.x = m.data()[0], text.y = m.data()[1];
      } else if (key == "color") {
        text.color = color_index(parse_color(value, false, false));
      } else if (key == "fontsize") {
        text.font_size = positive(value, "FontSize");
      } else {
        break;
      }
      touch(id);
      return;
    }
    case ObjectType::UIControl:
    case ObjectType::UIMenu: {
      auto& widget = static_cast<Widget&>(object);
      bool control = object.type == ObjectType::UIControl;
      if (control && set_placed(id, widget, key, value)) return;
      std::string k = key == "text" ? "label" : key;
      Value stored;
      if (k == "enable") {
        stored = Value(word(value, "Enable", {"on", "off", "inactive"}));
      } else if (k == "callback" || k == "tooltipstring" ||
                 (!control && (k == "label" || k == "accelerator"))) {
        stored = Value(text_of(value, std::string(name)));
      } else if (control && k == "string") {
        if (!value.is_char() && !value.is_cell() && value.kind() != Value::Kind::Empty &&
            !value.is_double()) {
          raise("The property \"String\" needs a text or a cell array of texts.");
        }
        stored = value.is_double() && !value.is_empty() ? Value(num2str(value.scalar())) : value;
      } else if (control && k == "style") {
        stored = Value(word(value, "Style",
                            {"pushbutton", "togglebutton", "radiobutton", "checkbox", "edit",
                             "text", "slider", "frame", "listbox", "popupmenu"}));
      } else if (control && (k == "backgroundcolor" || k == "foregroundcolor")) {
        stored = color_value(parse_color(value, false, false));
      } else if (control && k == "fontsize") {
        stored = Value(positive(value, "FontSize"));
      } else if (control && (k == "value" || k == "min" || k == "max")) {
        stored = Value(number(value, std::string(name)));
      } else if (control && k == "horizontalalignment") {
        stored = Value(word(value, "HorizontalAlignment", {"left", "center", "right"}));
      } else if (!control && (k == "separator" || k == "checked")) {
        stored = on_off_value(on_off(value, std::string(name)));
      } else {
        break;
      }
      widget.slot(k) = std::move(stored);
      touch(id);
      return;
    }
    case ObjectType::Line:
      break;
  }
  unknown(object, name);
}

}  // namespace dg

// The properties of each object type, one static table per type: the name
// (matched in any letter case), the kind of value it takes, its default, the
// getter and setter on the object's typed fields, and whether setting it
// makes the figure stale. Graphics::get and Graphics::set, the layout-file
// reader and the error for an unknown property all go through these tables.
#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>

#include "runtime/array/value.hpp"
#include "runtime/graphics/objects.hpp"

namespace dg {

class Graphics;

// What a property takes. A value is checked against its kind, with the
// messages users see, before the setter runs.
enum class PropertyKind : std::uint8_t {
  Number,     // one finite number
  Positive,   // one positive finite number
  Text,       // a text (or nothing)
  OnOff,      // "on" or "off"
  Choice,     // one of the property's words, any letter case
  Color,      // a colour: a name, a letter or an RGB row
  ColorWord,  // a colour, "none" or "auto"
  Rectangle,  // four numbers: left bottom width height
  Range,      // two increasing numbers
  Units,      // pixels, characters, normalized or points
  Any,        // checked by the setter itself
  ReadOnly,   // cannot be set
};

// A value after its kind's check: the field its kind fills is set.
struct PropertyValue {
  explicit PropertyValue(const Value& value) : raw(value) {}
  const Value& raw;
  double number = 0;
  bool flag = false;
  std::string text;  // texts as given; words lower-cased
  ColorSpec color;
  std::array<double, 4> rect{};
};

struct Property {
  std::string_view name;  // as users write it: "MarkerSize"
  PropertyKind kind;
  std::string_view default_text;  // as get shows it on a new object; "" for platform-dependent
  Value (*get)(const Graphics& graphics, ObjectId id, const Object& object);
  void (*set)(Graphics& graphics, ObjectId id, Object& object, const PropertyValue& value);
  bool stales = true;  // setting it makes the figure stale
  std::span<const std::string_view> choices = {};
};

// The table of an object type: its own properties, then those every placed
// object has, then those every object has.
std::span<const Property> property_table(ObjectType type);
// The property of that name on the type, in any letter case, or null.
const Property* find_property(ObjectType type, std::string_view name);
// The entry for a name; raises "There is no "X" property on the T object."
const Property& property(ObjectType type, std::string_view name);
// Checks a value against the property's kind, raising the property's message
// (a read-only property of the type raises "... cannot be changed.").
PropertyValue check_value(ObjectType type, const Property& property, const Value& value);
// Raises the positive-number message of a property for a value that is not
// one positive finite number.
double positive_number(double value, std::string_view property);
// Raises the range message of an image's XData or YData for a range that is
// not two increasing finite numbers.
std::array<double, 2> image_extent(std::array<double, 2> range, std::string_view property);

// Lower-cases an ASCII name.
std::string lower(std::string_view text);
bool same_name(std::string_view a, std::string_view b);

const char* units_name(Units units);

}  // namespace dg

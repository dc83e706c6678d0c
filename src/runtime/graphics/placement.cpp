// Units and placement: position rectangles are kept in pixels relative to the
// parent (the screen for a figure) and converted to and from an object's units.
#include "runtime/array/error.hpp"
#include "runtime/graphics/graphics.hpp"

namespace dg {
namespace {

std::array<double, 2> parent_pixel_size(const ObjectStore& store, const TreeObserver& platform,
                                        const Object& object) {
  if (object.type == ObjectType::Figure || object.parent == kNoObject ||
      store.type(object.parent) == ObjectType::Root) {
    return platform.screen_size();
  }
  const auto& p = store.as<Placed>(object.parent).pixels;
  return {p[2], p[3]};
}

bool is_placed(ObjectType type) {
  return type == ObjectType::Figure || type == ObjectType::Axes || type == ObjectType::UIControl;
}

const Placed& placed(const ObjectStore& store, ObjectId id) {
  const Object* o = store.object(id);
  ObjectType type = o ? o->type : ObjectType::Line;
  if (!is_placed(type)) {
    raise("The " + std::string(type_name(type)) + " object has no position rectangle.");
  }
  return static_cast<const Placed&>(*o);
}

}  // namespace

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
      auto s = parent_pixel_size(store_, platform_, object);
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
      auto s = parent_pixel_size(store_, platform_, object);
      return {v[0] * s[0], v[1] * s[1], v[2] * s[0], v[3] * s[1]};
    }
    case Units::Points:
      return {v[0] / 0.75, v[1] / 0.75, v[2] / 0.75, v[3] / 0.75};
  }
  return v;
}

std::array<double, 4> Graphics::pixel_position(Handle h) const {
  return placed(store_, store_.id_of(h)).pixels;
}

void Graphics::set_pixel_position(Handle h, const std::array<double, 4>& pixels) {
  ObjectId id = store_.id_of(h);
  placed(store_, id);  // raises for an object without a rectangle
  store_.as<Placed>(id).pixels = pixels;
  touch(id);
}

}  // namespace dg

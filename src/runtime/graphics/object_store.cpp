#include "runtime/graphics/object_store.hpp"

#include <cmath>

#include "runtime/array/error.hpp"
#include "runtime/array/format.hpp"

namespace dg {

ObjectStore::Page::Page() {
  entries.fill(Slot{kFree, 0});
}

ObjectStore::ObjectStore() {
  add(std::make_unique<Root>(), kNoObject);
}

ObjectId ObjectStore::next_id() {
  if (next_id_ >= kNoObject - 1) raise("The graphics tree has run out of object ids.");
  return static_cast<ObjectId>(next_id_++);
}

ObjectStore::Slot& ObjectStore::new_slot(ObjectId id) {
  std::size_t page = id >> kPageBits;
  if (page >= pages_.size()) pages_.resize(page + 1);
  if (!pages_[page]) pages_[page] = std::make_unique<Page>();
  ++pages_[page]->live;
  return pages_[page]->entries[id & (kPageSize - 1)];
}

void ObjectStore::free_slot(ObjectId id) {
  auto& page = pages_[id >> kPageBits];
  page->entries[id & (kPageSize - 1)] = Slot{kFree, 0};
  if (--page->live == 0) page.reset();
}

bool ObjectStore::live(ObjectId id) const {
  return slot(id) != nullptr;
}

std::optional<ObjectId> ObjectStore::find(Handle h) const {
  if (h == 0) return ObjectId{0};
  if (std::floor(h) == h) {
    if (h > 0 && h < 1e9) {
      auto it = figure_numbers_.find(static_cast<int>(h));
      if (it != figure_numbers_.end()) return it->second;
    }
  } else if (h > 0 && h - std::floor(h) == 0.5 && h < static_cast<double>(next_id_)) {
    auto id = static_cast<ObjectId>(h);
    if (live(id) && type(id) != ObjectType::Figure) return id;
  }
  return std::nullopt;
}

ObjectId ObjectStore::id_of(Handle h) const {
  if (auto id = find(h)) return *id;
  raise("Invalid handle " + num2str(h) + ": no graphics object has this handle.");
}

Handle ObjectStore::handle_of(ObjectId id) const {
  if (id == 0) return 0;
  if (const Object* o = object(id); o && o->type == ObjectType::Figure) {
    return static_cast<const Figure&>(*o).number;
  }
  return static_cast<double>(id) + 0.5;
}

Object* ObjectStore::object(ObjectId id) {
  const Slot* s = slot(id);
  return s && s->owner == kOwned ? objects_[s->index].get() : nullptr;
}

const Object* ObjectStore::object(ObjectId id) const {
  const Slot* s = slot(id);
  return s && s->owner == kOwned ? objects_[s->index].get() : nullptr;
}

ObjectType ObjectStore::type(ObjectId id) const {
  const Object* o = object(id);
  return o ? o->type : ObjectType::Line;
}

ObjectId ObjectStore::parent(ObjectId id) const {
  if (const Object* o = object(id)) return o->parent;
  if (auto ref = point(id)) return ref->axes;
  return kNoObject;
}

std::span<const ObjectId> ObjectStore::children(ObjectId id) const {
  const Object* o = object(id);
  if (!o) return {};
  return o->children;
}

std::uint32_t ObjectStore::keep(std::unique_ptr<Object> object) {
  std::uint32_t index;
  if (free_objects_.empty()) {
    index = static_cast<std::uint32_t>(objects_.size());
    objects_.push_back(std::move(object));
  } else {
    index = free_objects_.back();
    free_objects_.pop_back();
    objects_[index] = std::move(object);
  }
  return index;
}

ObjectId ObjectStore::add(std::unique_ptr<Object> object, ObjectId parent) {
  ObjectId id = next_id();
  object->parent = parent;
  if (object->type == ObjectType::Figure) {
    figure_numbers_[static_cast<Figure&>(*object).number] = id;
  }
  new_slot(id) = Slot{kOwned, keep(std::move(object))};
  if (parent != kNoObject) this->object(parent)->children.push_back(id);
  return id;
}

ObjectId ObjectStore::add_point(ObjectId axes, double x, double y, std::uint32_t look) {
  auto& a = as<Axes>(axes);
  if (a.points.size() >= PointRows::kDeadRow) raise("An axes holds at most 4294967294 points.");
  ObjectId id = next_id();
  new_slot(id) = Slot{axes, static_cast<std::uint32_t>(a.points.size())};
  a.points.x.push_back(x);
  a.points.y.push_back(y);
  a.points.look.push_back(look);
  ++a.points.live;
  a.children.push_back(id);
  return id;
}

void ObjectStore::reserve_points(ObjectId axes, std::size_t count) {
  auto& a = as<Axes>(axes);
  a.children.reserve(a.children.size() + count);
  for (auto* column : {&a.points.x, &a.points.y}) column->reserve(column->size() + count);
  a.points.look.reserve(a.points.look.size() + count);
}

void ObjectStore::promote(ObjectId id, std::unique_ptr<Object> object) {
  auto ref = point(id);
  auto& axes = as<Axes>(ref->axes);
  axes.points.look[ref->row] = PointRows::kDeadRow;
  --axes.points.live;
  object->parent = ref->axes;
  pages_[id >> kPageBits]->entries[id & (kPageSize - 1)] = Slot{kOwned, keep(std::move(object))};
}

ObjectId ObjectStore::figure_of(ObjectId id) const {
  while (id != kNoObject && type(id) != ObjectType::Figure) id = parent(id);
  return id;
}

}  // namespace dg

// The object store: object ids, handles and the tree. Ids are compact
// integers handed out in creation order and never reused; id 0 is the root.
// Handles are doubles: a figure's is its number (reused once the figure is
// gone, as users expect), any other object's is its id plus one half.
//
// An id is either an object of its own (figures, axes, lines of several
// points, texts, controls, menus) or a point row of an axes (a single-point
// line). The id table is kept in pages of 4,096 entries of 8 bytes, and a page
// whose objects are all gone is released, so a cleared drawing of millions of
// points leaves nothing behind.
#pragma once

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "runtime/graphics/objects.hpp"

namespace dg {

class ObjectStore {
 public:
  ObjectStore();
  ObjectStore(const ObjectStore&) = delete;
  ObjectStore& operator=(const ObjectStore&) = delete;

  // The id of a handle, or nothing when no object has it.
  std::optional<ObjectId> find(Handle h) const;
  // The id of a handle; raises "Invalid handle ..." when no object has it.
  ObjectId id_of(Handle h) const;
  Handle handle_of(ObjectId id) const;

  bool live(ObjectId id) const;
  ObjectType type(ObjectId id) const;
  ObjectId parent(ObjectId id) const;
  // An object's children in creation order; a point row has none.
  std::span<const ObjectId> children(ObjectId id) const;

  // A point row: the axes that owns it and its row there; nothing for an object.
  struct PointRef {
    ObjectId axes;
    std::uint32_t row;
  };
  std::optional<PointRef> point(ObjectId id) const {
    const Slot* s = slot(id);
    if (!s || s->owner == kOwned) return std::nullopt;
    return PointRef{s->owner, s->index};
  }
  // The object with this id; null for a point row.
  Object* object(ObjectId id);
  const Object* object(ObjectId id) const;
  template <class T>
  T& as(ObjectId id) {
    return static_cast<T&>(*object(id));
  }
  template <class T>
  const T& as(ObjectId id) const {
    return static_cast<const T&>(*object(id));
  }

  // Adds an object as the last child of `parent`.
  ObjectId add(std::unique_ptr<Object> object, ObjectId parent);
  // Adds a point row to the axes, as its last child.
  ObjectId add_point(ObjectId axes, double x, double y, std::uint32_t look);
  // Makes room for `count` more point rows in the axes without reallocating.
  void reserve_points(ObjectId axes, std::size_t count);
  // A point row becomes an object of its own, keeping its id and place.
  void promote(ObjectId id, std::unique_ptr<Object> object);

  // Removes the object and everything below it, and detaches it from its
  // parent. `closed` is called for each figure removed, before it goes.
  template <class F>
  void remove(ObjectId id, F&& closed);
  // Removes every child of an object (the drawing of an axes).
  template <class F>
  void remove_children(ObjectId id, F&& closed);

  // The figure an object belongs to, or kNoObject.
  ObjectId figure_of(ObjectId id) const;

 private:
  struct Slot {
    std::uint32_t owner;  // kOwned, kFree, or the axes of a point row
    std::uint32_t index;  // the object's index in objects_, or the row
  };
  static constexpr std::uint32_t kFree = 0xFFFFFFFFu;
  static constexpr std::uint32_t kOwned = 0xFFFFFFFEu;
  static constexpr unsigned kPageBits = 12;
  static constexpr std::size_t kPageSize = std::size_t{1} << kPageBits;
  struct Page {
    std::array<Slot, kPageSize> entries;
    std::uint32_t live = 0;
    Page();
  };

  const Slot* slot(ObjectId id) const {
    std::size_t page = id >> kPageBits;
    if (id >= next_id_ || page >= pages_.size() || !pages_[page]) return nullptr;
    const Slot& s = pages_[page]->entries[id & (kPageSize - 1)];
    return s.owner == kFree ? nullptr : &s;
  }
  Slot& new_slot(ObjectId id);
  void free_slot(ObjectId id);
  ObjectId next_id();
  std::uint32_t keep(std::unique_ptr<Object> object);  // its index in objects_
  // Frees the subtree's ids and objects; `closed` sees each figure first.
  template <class F>
  void release(ObjectId id, F& closed);

  std::vector<std::unique_ptr<Page>> pages_;
  std::vector<std::unique_ptr<Object>> objects_;
  std::vector<std::uint32_t> free_objects_;  // indices of objects_ to reuse
  std::uint64_t next_id_ = 0;
  std::map<int, ObjectId> figure_numbers_;
};

template <class F>
void ObjectStore::release(ObjectId id, F& closed) {
  const Slot* s = slot(id);
  if (!s) return;
  if (s->owner != kOwned) {
    free_slot(id);
    return;
  }
  Object& o = *objects_[s->index];
  for (ObjectId kid : o.children) release(kid, closed);
  if (o.type == ObjectType::Axes) {
    auto& rows = static_cast<Axes&>(o).points;
    rows = PointRows();
  }
  if (o.type == ObjectType::Figure) {
    closed(static_cast<Figure&>(o));
    figure_numbers_.erase(static_cast<Figure&>(o).number);
  }
  std::uint32_t index = s->index;
  objects_[index].reset();
  free_objects_.push_back(index);
  free_slot(id);
}

template <class F>
void ObjectStore::remove(ObjectId id, F&& closed) {
  ObjectId up = parent(id);
  if (up != kNoObject) {
    if (auto ref = point(id)) {
      auto& rows = as<Axes>(up).points;
      rows.look[ref->row] = PointRows::kDeadRow;
      --rows.live;
    }
    std::erase(object(up)->children, id);
  }
  release(id, closed);
}

template <class F>
void ObjectStore::remove_children(ObjectId id, F&& closed) {
  Object& o = *object(id);
  std::vector<ObjectId> kids = std::move(o.children);
  o.children = {};
  for (ObjectId kid : kids) release(kid, closed);
  if (o.type == ObjectType::Axes) static_cast<Axes&>(o).points = PointRows();
}

}  // namespace dg

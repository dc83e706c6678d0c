#include "runtime/graphics/tags.hpp"

#include "runtime/graphics/graphics.hpp"

namespace dg {

std::uint32_t TagTable::intern(std::string_view tag) {
  if (tag.empty()) return 0;
  auto [it, added] = ids_.emplace(std::string(tag), static_cast<std::uint32_t>(names_.size()));
  if (added) names_.emplace_back(tag);
  return it->second;
}

std::optional<std::uint32_t> TagTable::find(std::string_view tag) const {
  if (tag.empty()) return 0;
  auto it = ids_.find(std::string(tag));
  if (it == ids_.end()) return std::nullopt;
  return it->second;
}

std::uint32_t Graphics::tag_index(ObjectId id) const {
  if (const Object* o = store_.object(id)) return o->tag;
  auto ref = store_.point(id);
  return looks_[store_.as<Axes>(ref->axes).points.look[ref->row]].tag;
}

std::vector<Handle> Graphics::findall(Handle h) const {
  std::vector<Handle> out;
  std::vector<ObjectId> stack{store_.id_of(h)};
  while (!stack.empty()) {
    ObjectId id = stack.back();
    stack.pop_back();
    out.push_back(store_.handle_of(id));
    auto kids = store_.children(id);
    for (auto it = kids.rbegin(); it != kids.rend(); ++it) stack.push_back(*it);
  }
  return out;
}

std::vector<Handle> Graphics::find_by_tag(std::string_view tag) const {
  std::vector<Handle> out;
  auto wanted = tags_.find(tag);
  if (!wanted) return out;
  // Point rows are skipped without a look at each when no look carries the tag.
  bool points_may_match = false;
  for (std::size_t i = 0; i < looks_.size(); ++i) points_may_match |= looks_[i].tag == *wanted;
  std::vector<ObjectId> stack{0};
  while (!stack.empty()) {
    ObjectId id = stack.back();
    stack.pop_back();
    const Object* o = store_.object(id);
    if (!o) {
      if (tag_index(id) == *wanted) out.push_back(store_.handle_of(id));
      continue;
    }
    if (o->tag == *wanted) out.push_back(store_.handle_of(id));
    if (o->type == ObjectType::Axes && !points_may_match) {
      const auto& axes = static_cast<const Axes&>(*o);
      if (axes.points.live == axes.children.size()) continue;
      for (auto k = o->children.rbegin(); k != o->children.rend(); ++k) {
        if (!store_.point(*k)) stack.push_back(*k);
      }
      continue;
    }
    for (auto k = o->children.rbegin(); k != o->children.rend(); ++k) stack.push_back(*k);
  }
  return out;
}

}  // namespace dg

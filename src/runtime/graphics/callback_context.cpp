#include "runtime/graphics/callback_context.hpp"

#include "runtime/graphics/graphics.hpp"

namespace dg {

CallbackScope::CallbackScope(Graphics& graphics, Handle object) : graphics_(graphics) {
  ObjectId id = graphics.id_of(object);
  graphics.callbacks().enter(id, graphics.store().figure_of(id));
}

CallbackScope::~CallbackScope() {
  graphics_.callbacks().leave();
}

std::optional<Handle> Graphics::gcbo() const {
  ObjectId id = callbacks_.object();
  if (id == kNoObject || !store_.live(id)) return std::nullopt;
  return store_.handle_of(id);
}

std::optional<Handle> Graphics::gcbf() const {
  ObjectId id = callbacks_.figure();
  if (id == kNoObject || !store_.live(id)) return std::nullopt;
  return store_.handle_of(id);
}

}  // namespace dg

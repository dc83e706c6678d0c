// The running callbacks, innermost last: the object whose callback runs and
// its figure, as gcbo and gcbf report them.
#pragma once

#include <utility>
#include <vector>

#include "runtime/graphics/objects.hpp"

namespace dg {

class Graphics;

class CallbackContext {
 public:
  void enter(ObjectId object, ObjectId figure) { running_.emplace_back(object, figure); }
  void leave() {
    if (!running_.empty()) running_.pop_back();
  }
  // The innermost running callback's object and figure; kNoObject outside one.
  ObjectId object() const { return running_.empty() ? kNoObject : running_.back().first; }
  ObjectId figure() const { return running_.empty() ? kNoObject : running_.back().second; }

 private:
  std::vector<std::pair<ObjectId, ObjectId>> running_;
};

// Marks a callback of `object` as running for the scope's life.
class CallbackScope {
 public:
  CallbackScope(Graphics& graphics, Handle object);
  ~CallbackScope();
  CallbackScope(const CallbackScope&) = delete;
  CallbackScope& operator=(const CallbackScope&) = delete;

 private:
  Graphics& graphics_;
};

}  // namespace dg

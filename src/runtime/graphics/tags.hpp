// Tag names, kept once each and referred to by index, and the searches of
// the tree by tag.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace dg {

class TagTable {
 public:
  // The index of a tag, added when new; "" is 0.
  std::uint32_t intern(std::string_view tag);
  // The index of a tag already in use, or nothing.
  std::optional<std::uint32_t> find(std::string_view tag) const;
  const std::string& name(std::uint32_t index) const { return names_[index]; }

 private:
  std::vector<std::string> names_{""};
  std::unordered_map<std::string, std::uint32_t> ids_;
};

}  // namespace dg

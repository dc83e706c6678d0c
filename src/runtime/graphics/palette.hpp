// The drawing attributes objects share by index: colours, and the looks of
// point rows. A drawn sample uses a handful of each, so an index of four
// bytes stands in for a colour or a whole look.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <unordered_map>
#include <vector>

#include "runtime/graphics/objects.hpp"

namespace dg {

class Palette {
 public:
  Palette();
  // The index of a colour, added when new; "none" and "auto" are kNoneColor and kAutoColor.
  std::uint32_t index(const ColorSpec& color);
  ColorSpec color(std::uint32_t index) const;
  const Rgb& rgb(std::uint32_t index) const { return colors_[index]; }

 private:
  std::vector<Rgb> colors_;  // indices 0 and 1 stand for "none" and "auto"
  std::map<std::array<double, 3>, std::uint32_t> ids_;
};

class LookTable {
 public:
  // The index of a look, added when new.
  std::uint32_t index(const LineLook& look);
  const LineLook& operator[](std::uint32_t index) const { return looks_[index]; }
  std::size_t size() const { return looks_.size(); }

 private:
  struct Hash {
    std::size_t operator()(const LineLook& look) const;
  };
  std::vector<LineLook> looks_;
  std::unordered_map<LineLook, std::uint32_t, Hash> ids_;
};

}  // namespace dg

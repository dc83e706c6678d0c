#include "runtime/graphics/palette.hpp"

#include <bit>

namespace dg {

Palette::Palette() : colors_(2) {
  index({ColorSpec::Kind::Rgb, {0, 0, 0}});
}

std::uint32_t Palette::index(const ColorSpec& color) {
  if (color.kind == ColorSpec::Kind::None) return kNoneColor;
  if (color.kind == ColorSpec::Kind::Auto) return kAutoColor;
  std::array<double, 3> key{color.rgb.r, color.rgb.g, color.rgb.b};
  auto [it, added] = ids_.emplace(key, static_cast<std::uint32_t>(colors_.size()));
  if (added) colors_.push_back(color.rgb);
  return it->second;
}

ColorSpec Palette::color(std::uint32_t index) const {
  if (index == kNoneColor) return {ColorSpec::Kind::None, {}};
  if (index == kAutoColor) return {ColorSpec::Kind::Auto, {}};
  return {ColorSpec::Kind::Rgb, colors_[index]};
}

std::size_t LookTable::Hash::operator()(const LineLook& l) const {
  std::size_t h = 0;
  for (std::uint64_t v :
       {std::uint64_t{l.color}, std::uint64_t{l.edge_color}, std::uint64_t{l.face_color},
        std::bit_cast<std::uint64_t>(l.line_width), std::bit_cast<std::uint64_t>(l.marker_size),
        std::uint64_t{static_cast<std::uint8_t>(l.style)},
        std::uint64_t{static_cast<std::uint8_t>(l.marker)}, std::uint64_t{l.visible},
        std::uint64_t{l.tag}}) {
    h = (h ^ static_cast<std::size_t>(v)) * 0x100000001B3ull;
  }
  return h;
}

std::uint32_t LookTable::index(const LineLook& look) {
  auto [it, added] = ids_.emplace(look, static_cast<std::uint32_t>(looks_.size()));
  if (added) looks_.push_back(look);
  return it->second;
}

}  // namespace dg

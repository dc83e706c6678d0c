// Moves a figure's window to a named place on the screen or to given
// coordinates, keeping it on the screen and no larger than the screen.
// Rectangles are [left bottom width height] in pixels from the screen's
// bottom-left corner; the window's outer rectangle (frame included) is placed.
//
// Positions: one of the words "north", "south", "east", "west", "northeast",
// "southeast", "northwest", "southwest", "center", "onscreen" (exact, lower
// case), or [left bottom], where a negative element counts from the right or
// top edge. "onscreen" moves the window just enough to be fully on the screen.
// The figure's "Units" and "ActivePositionProperty" and the root's "Units" are
// the same afterwards.
//
// The by-name form takes 0 to 3 inputs in any order: a live handle (the window
// is the figure holding it), a word, or a two-element position; without a
// handle, the running callback's figure or else the current figure; without a
// position, "onscreen". While a callback runs, a second input of any other kind
// is ignored. Raises, before changing anything: "Too many input arguments.",
// "handle of figure or descendant required", "unrecognized position",
// "unrecognized input argument".
#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "runtime/array/value.hpp"
#include "runtime/graphics/graphics.hpp"

namespace dg {

inline constexpr std::array<std::string_view, 10> kGuiPositions{
    "north",     "south",     "east",      "west",   "northeast",
    "southeast", "northwest", "southwest", "center", "onscreen"};

using GuiPosition = std::variant<std::string, std::array<double, 2>>;

// h is the figure or any object inside it.
void movegui(Graphics& graphics, Handle h, const GuiPosition& position = std::string("onscreen"));
void movegui(Graphics& graphics, std::span<const Value> args);

}  // namespace dg

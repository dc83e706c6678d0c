// Draws one specimen as it was digitised into an axes, replacing what the
// axes showed: its photo as an image object over [0, w] x [0, h] (w x h its
// size in pixels, so a landmark at (x, y) sits on the photo's pixel column x,
// row h - y, as TPS files count them: y up from the bottom-left corner), each
// present landmark as a red ring (a Line object tagged "Landmark" whose
// UserData is its 1-based number) with its number beside it (texts tagged
// "LandmarkNumber"), the pairs and triples of a protocol when given (lines
// tagged "Pair" and "Triple"; those of missing landmarks left out), and in
// the top-left corner the label, "Missing: 3, 7" when landmarks are missing,
// and "Image not found: <IMAGE= value>" or "Image not readable: <file>" when
// there is no photo to show (texts tagged "SpecimenLabel").
//
// The axes get equal units and hold on; their limits are the photo's extent,
// or without one a blank field: the box of the present landmarks with a
// margin. Raises a RuntimeError when x and y differ in length.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "protocol/landmark_list.hpp"
#include "runtime/graphics/graphics.hpp"

namespace dg {

struct SpecimenPicture {
  // The landmarks as digitised: pixels, y up from the photo's bottom-left
  // corner; NaN for a missing one.
  std::vector<double> x, y;
  std::optional<std::string> image;                 // the photo, when found
  std::optional<std::array<double, 2>> image_size;  // its width and height in pixels
  std::string label;                    // the corner text (number, ID, verdict); a line per "\n"
  const PairList* pairs = nullptr;      // drawn as lines when given (0-based landmarks)
  const TripleList* triples = nullptr;  // drawn as two segments each
  // The IMAGE= value as read, named in the corner when no photo was found.
  std::string image_name;
  // The landmark ringed larger and in yellow (1-based): the one a user
  // clicked last; 0 for none.
  std::size_t selected = 0;
};

void showspecimen(Graphics& graphics, Handle axes, const SpecimenPicture& picture);

}  // namespace dg

// Superimposes a sample in which some specimens miss landmarks (NaN
// coordinates). The consensus comes from the complete specimens alone, as
// getconsensus computes it from them. Each incomplete specimen is then
// translated, scaled and rotated (never reflected) so that its present
// landmarks fit the consensus's same landmarks in the least-squares sense;
// its missing coordinates stay NaN. A landmark is missing when any of its
// coordinates is NaN; all of its coordinates are NaN in the result.
//
// Input and output shapes are getconsensus's: r x dk coordinates (dims 3:
// x y z landmarks, fitted by the proper rotation from an SVD), rows in input
// order. A sample without an incomplete specimen gives getconsensus's result
// bit for bit. Raises a RuntimeError when no specimen is complete, and
// getconsensus's errors for a matrix without rows or of the wrong width.
#pragma once

#include <cmath>
#include <span>
#include <string>
#include <vector>

#include "morpho/getconsensus.hpp"

namespace dg {

// A landmark counts as present only when all its coordinates are; a lone
// coordinate cannot be carried through a rotation.
inline bool landmark_present(std::span<const double> row, std::size_t j, std::size_t dims) {
  for (std::size_t c = 0; c < dims; ++c) {
    if (std::isnan(row[dims * j + c])) return false;
  }
  return true;
}

struct PartialFitResult {
  ConsensusResult fit;  // consensus and superimposed matrix
  // Per row: for a specimen fitted by part of its landmarks, the factor that
  // takes its superimposed coordinates back to the size they were read at
  // (1 / the fit's scale); NaN for a complete specimen, and for one with
  // fewer than two distinct present landmarks (or whose present landmarks
  // coincide in the consensus), which cannot be fitted (its coordinates are
  // all NaN). Empty when every specimen is complete.
  std::vector<double> partial_size;
  std::size_t incomplete = 0;  // rows with a missing coordinate
};

PartialFitResult superimpose_with_missing(Matrix x, std::size_t dims);

// converge_consensus for superimpose_with_missing's result: the complete
// rows go on converging as one superimposition, then every incomplete row is
// fitted again by its present landmarks onto the consensus this gives, its
// partial size following. Returns the passes added.
std::size_t converge_with_missing(PartialFitResult& result, std::size_t dims);

// The error for a sample of `rows` specimens none of which is complete;
// `source` ("loaded from a.tps") follows the word "specimen(s)" when given.
std::string no_complete_specimen(std::size_t rows, const std::string& source = "");

}  // namespace dg

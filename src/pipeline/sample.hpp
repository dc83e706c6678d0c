// A loaded sample, as every later step of a study takes it: the specimens'
// coordinates, their dimension and sizes, who each specimen is, and for a
// superimposed sample its consensus.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "runtime/array/matrix.hpp"
#include "runtime/array/specimen_record.hpp"

namespace dg {

struct Sample {
  // n x dk: x y (dims 2) or x y z (dims 3) of each landmark, one specimen a
  // row; superimposed (unit centroid size) for a TPS sample, as read for a
  // matrix.
  Matrix coordinates;
  std::size_t dimensions = 2;
  // Each specimen's centroid size as read (a matrix's last column); NaN for
  // a specimen with missing landmarks.
  std::vector<double> sizes;
  std::vector<SpecimenRecord> records;  // row for row
  // For specimens fitted by part of their landmarks, the factor back to the
  // size they were read at; NaN for the others. Empty when every specimen
  // is complete.
  std::vector<double> partial_size;
  // The consensus of a superimposed sample (1 x dk) and what its last pass
  // divided the mean by; empty for a matrix taken as it is.
  Matrix consensus;
  double consensus_scale = 1;
  std::size_t passes = 0;
  // Superimposed until no specimen turned by more than a few units in the
  // last place (converge_sample), not by the loads' standard stopping rule.
  bool converged = false;
  // The first file's name, "a.tps and 2 more files" for several.
  std::string name;

  std::size_t specimens() const { return coordinates.rows(); }
  std::size_t landmarks() const { return dimensions == 0 ? 0 : coordinates.cols() / dimensions; }
  bool empty() const { return coordinates.rows() == 0; }
};

// The consensus with its last element the mean size of the specimens it was
// built from divided as its coordinates were, 1 x (dk+1): the consensus row
// the plain and table outputs write. Empty when there is no consensus.
Matrix consensus_row(const Sample& sample);

// The sample as one matrix, each row its coordinates followed by its size:
// the layout of the plain --superimposed output and of calls by name.
Matrix with_size_column(const Sample& sample);

}  // namespace dg

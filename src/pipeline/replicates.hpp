// Measurement error of a study whose specimens were digitised more than once:
// which rows of the sample are replicates of one specimen, then for every
// variable of the study (each distance of the pair list, the centroid size,
// each angle of the triple list in degrees) a one-way analysis of
// variance with its repeatability (morpho/measurement_error), for the shape
// a Procrustes analysis of variance of the converged superimposition, and for
// each specimen the largest Procrustes distance between two of its
// replicates.
//
// The repeatability table has one row per variable, the shape last:
//   variable      d1_2, ..., centroid_size, angle1_2_3, ..., shape
//   specimens     a, the specimens with a value of the variable
//   measurements  N, their values
//   n0, ss_among, ss_within, df_among, df_within, ms_among, ms_within, F, p,
//   s2_among, s2_within, repeatability, ci_lower, ci_upper, percent_me
// (NA where a value does not apply: the shape has no interval). A plain file
// has the same numbers without the variable's name.
//
// The replicate-distance table has one row per specimen, in the order first
// met in the sample:
//   specimen          the name its replicates share
//   replicates        how many rows of the sample it has
//   distance          the largest Procrustes distance between two of them
//                     (over the landmarks both have), NA for one replicate
//   first, second     those two replicates' numbers in the sample
//   rank              1 for the largest distance
//   flagged           TRUE above Q3 + 1.5 IQR of the specimens' distances
// A plain file has the same values without the name, 1 and 0 for TRUE and
// FALSE, NaN for NA.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "morpho/measurement_error.hpp"
#include "output/table.hpp"
#include "pipeline/groups.hpp"
#include "pipeline/sample.hpp"
#include "pipeline/write_outputs.hpp"

namespace dg {

// Each row's specimen, and each specimen's name in the order first met.
using ReplicateGroups = SpecimenGroups;

// `rule` is "files" (the files are sessions that digitise the same
// specimens: rows are matched by their ID=, else by their IMAGE=), or
// "id:PATTERN" or "image:PATTERN" (the first group of the regular
// expression PATTERN, searched in each row's ID= or IMAGE=, names its
// specimen; the whole match when it has no group). Raises a RuntimeError
// naming the rows that get no name, for a rule of neither kind or a pattern
// that does not compile, and when no specimen has two replicates.
ReplicateGroups replicate_groups(const Sample& sample, const std::string& rule);

struct ReplicateDistance {
  std::size_t replicates = 0;
  double distance = OneWayAnova::kNone;
  std::size_t first = 0, second = 0;  // 1-based rows; 0 when there is no pair
  std::size_t rank = 0;               // 0 for no distance
  bool flagged = false;
};

struct MeasurementError {
  ReplicateGroups groups;
  std::vector<std::string> variables;  // the names of `anova`'s rows but the shape
  std::vector<OneWayAnova> anova;      // the variables, then the shape when it has one
  bool shape = false;                  // whether the last row is the shape's
  std::size_t shape_left_out = 0;      // rows the shape's analysis leaves out (missing landmarks)
  std::vector<ReplicateDistance> distances;  // per specimen; empty without a consensus
  double threshold = OneWayAnova::kNone;     // of the distances' flag
};

// The analyses of `study` with replicates as `groups`. The shape's (and the
// replicates' distances) need a superimposed sample and use its converged
// superimposition (converge_sample, whose warning joins `warnings`); a
// matrix taken as it is gets the variables' analyses alone.
MeasurementError measurement_error(const Study& study, ReplicateGroups groups,
                                   std::vector<std::string>& warnings);

// How the replicates were matched and a line each for the least repeatable
// variable, the shape and the specimen whose replicates lie furthest apart.
std::vector<std::string> measurement_error_report(const Sample& sample,
                                                  const MeasurementError& error);

std::vector<std::string> repeatability_columns();
Written write_repeatability(const MeasurementError& error, const std::string& path,
                            TableFormat format, Digest digest = Digest::none);
Written write_replicate_distances(const MeasurementError& error, const std::string& path,
                                  TableFormat format, Digest digest = Digest::none);

}  // namespace dg

// The outlier screen of a superimposed sample (procrustes_outliers): each
// specimen's Procrustes distance to the consensus, its rank, whether it lies
// above Q3 + 1.5 IQR of the sample's distances, the landmark that adds most
// to it, and for a flagged specimen a swap of two landmarks or a mirror
// image that fits far better; written as a table, one row per specimen in
// sample order, and told as lines of a report.
//
// A table (csv, tsv) has the specimen columns, then
//   distance             the Procrustes distance (NA when no landmark is present)
//   incomplete           TRUE when measured over the present landmarks only
//   rank                 1 for the largest distance
//   flagged              TRUE above the threshold
//   worst_landmark       the landmark adding most to the squared distance
//   worst_share          its share of it, 0 to 1
//   swap_first           two landmarks whose swap at least halves the distance
//   swap_second          (two columns, so that no spreadsheet reads "4-5" as a date)
//   distance_after_swap  the distance after that swap
//   mirrored             TRUE when the mirror image fits at least twice as well
// with NA where a value does not apply (swap and mirror are tried on flagged
// specimens only). A plain file has the same values one line per specimen,
// without the specimen columns:
//   distance incomplete rank flagged worst_landmark worst_share swap_first
//   swap_second distance_after_swap mirrored
// with 1 and 0 for TRUE and FALSE, NaN for NA, each number exactly.
#pragma once

#include <string>
#include <vector>

#include "morpho/procrustes_outliers.hpp"
#include "output/table.hpp"
#include "pipeline/sample.hpp"
#include "pipeline/write_outputs.hpp"

namespace dg {

// The screen of the converged superimposition: of the sample itself when it
// is converged, else of a converged copy (converge_sample, whose warning is
// appended to `warnings`), so that no distance carries the standard
// stopping's shortfall. Raises a RuntimeError for a sample without a
// consensus (a matrix taken as it is).
OutlierScreen screen_outliers(const Sample& sample, std::vector<std::string>& warnings);

// The rule and its threshold in one line, which names the converged
// superimposition, then a line per flagged specimen:
//   specimen 12 (ID=x): Procrustes distance 0.21 is above the threshold 0.08
//   (Q3 + 1.5 IQR); landmarks 4 and 5 look swapped: distance 0.21 -> 0.04
std::vector<std::string> outlier_report(const Sample& sample, const OutlierScreen& screen);

// The table's value columns after the specimen columns.
std::vector<std::string> outlier_columns();

Written write_outliers(const Sample& sample, const OutlierScreen& screen, const std::string& path,
                       TableFormat format, Digest digest = Digest::none,
                       const GroupColumn& groups = {});

}  // namespace dg

// Findings about a sample that do not stop its load: specimens whose centroid
// size lies far from the sample's median (often missing landmarks written as
// numbers such as -1000001, or a slip of units), and IDs given to more than
// one specimen. The load action prints them as warnings; the file check
// reports them.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "runtime/array/specimen_record.hpp"

namespace dg {

// Sizes above kOutlierFactor times the median, or below the median divided
// by it, count as outlying.
inline constexpr double kOutlierFactor = 10;
// Warnings name at most this many outlying specimens, IDs used twice, and
// specimens per such ID.
inline constexpr std::size_t kListedOutliers = 10;
inline constexpr std::size_t kListedIds = 3;
inline constexpr std::size_t kListedRows = 10;

struct SizeOutlier {
  std::size_t row = 0;  // 0-based row in the sample
  double size = 0;
  double ratio = 0;  // size / median
};

struct SizeSurvey {
  // The size outliers are measured against: the median of the finite sizes,
  // or in a split sample the median of its smaller specimens. NaN when no
  // size is finite.
  double median = 0;
  // A quarter or more of the specimens lie below a tenth of the sample's
  // median: the median itself sits among inflated sizes (as when most
  // specimens carry a missing-value code such as -1000001), so the larger
  // specimens are the outliers, measured against the median of the others.
  bool split = false;
  std::vector<SizeOutlier> outliers;  // in row order
};

// NaN sizes (specimens with missing landmarks) are left out.
SizeSurvey survey_sizes(std::span<const double> sizes);

struct SharedId {
  std::string id;
  std::vector<std::size_t> rows;  // 0-based, ascending, two or more
};

// IDs that more than one record carries, in the order of their first use.
// Records without an ID are left out.
std::vector<SharedId> shared_ids(const std::vector<SpecimenRecord>& records);

// How a warning names a row: "specimen 12 (ID=abc)", or with IMAGE= when the
// record has no ID, or the bare number when it has neither.
std::string specimen_label(std::size_t row, const std::vector<SpecimenRecord>& records);

// The warnings for both kinds of findings, each line as the console prints
// it after "Warning: ". `records` may be shorter than `sizes` (or empty).
std::vector<std::string> sample_warnings(std::span<const double> sizes,
                                         const std::vector<SpecimenRecord>& records);

}  // namespace dg

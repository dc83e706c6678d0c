#include "pipeline/outliers.hpp"

#include <algorithm>
#include <array>
#include <cmath>

#include "input/sample_survey.hpp"
#include "output/dataset_file.hpp"
#include "output/sha256.hpp"
#include "pipeline/load_sample.hpp"
#include "runtime/array/error.hpp"
#include "runtime/array/format.hpp"

namespace dg {
namespace {

constexpr double kNaN = SpecimenDistance::kNone;

// One specimen's values, as the plain file and the table have them.
constexpr std::size_t kValues = 10;
enum Field : std::size_t { kIncomplete = 1, kFlagged = 3, kMirrored = 9 };

double count_or_nan(std::size_t n) {
  return n == 0 ? kNaN : static_cast<double>(n);
}
double flag(bool on) {
  return on ? 1.0 : 0.0;
}

std::array<double, kValues> values_of(const SpecimenDistance& s) {
  return {s.distance, flag(s.incomplete), count_or_nan(s.rank), flag(s.flagged),
          count_or_nan(s.worst_landmark), s.worst_share, count_or_nan(s.swap_first),
          count_or_nan(s.swap_second), s.distance_after_swap,
          // The mirror image is tried on flagged specimens with a distance only.
          std::isnan(s.mirror_distance) ? kNaN : flag(s.mirrored)};
}

}  // namespace

OutlierScreen screen_outliers(const Sample& sample, std::vector<std::string>& warnings) {
  if (sample.consensus.empty()) {
    raise("The outlier screen needs a superimposed sample with its consensus (a TPS sample); " +
          (sample.name.empty() ? std::string("this sample") : "\"" + sample.name + "\"") +
          " was taken as it is.");
  }
  std::optional<Sample> copy;
  const Sample& converged = converged_view(sample, copy, warnings);
  return procrustes_outliers(converged.coordinates, converged.consensus, converged.dimensions);
}

std::vector<std::string> outlier_report(const Sample& sample, const OutlierScreen& screen) {
  std::vector<std::string> lines;
  lines.push_back(
      "Outlying specimens (on the converged superimposition): " + std::to_string(screen.flagged) +
      " of " + std::to_string(screen.specimens.size()) +
      " have a Procrustes distance to the consensus above Q3 + 1.5 (Q3 - Q1) = " +
      short_number(screen.threshold) + " (Q1 " + short_number(screen.q1) + ", Q3 " +
      short_number(screen.q3) + ").");
  for (std::size_t i = 0; i < screen.specimens.size(); ++i) {
    const SpecimenDistance& s = screen.specimens[i];
    if (!s.flagged) continue;
    std::string line =
        specimen_label(i, sample.records) + ": Procrustes distance " + short_number(s.distance) +
        (s.incomplete ? " over its present landmarks" : "") + " is above the threshold " +
        short_number(screen.threshold) + " (Q3 + 1.5 IQR)";
    if (s.swap_first != 0) {
      line += "; landmarks " + std::to_string(s.swap_first) + " and " +
              std::to_string(s.swap_second) + " look swapped: distance " +
              short_number(s.distance) + " -> " + short_number(s.distance_after_swap);
    }
    if (s.mirrored) line += "; its mirror image fits at least twice as well: a flipped photo?";
    lines.push_back(std::move(line));
  }
  return lines;
}

std::vector<std::string> outlier_columns() {
  return {"distance",   "incomplete",     "rank",
          "flagged",    "worst_landmark", "worst_share",
          "swap_first", "swap_second",    "distance_after_swap",
          "mirrored"};
}

Written write_outliers(const Sample& sample, const OutlierScreen& screen, const std::string& path,
                       TableFormat format, Digest digest, const GroupColumn& groups) {
  const auto& rows = screen.specimens;
  const RowSource source{rows.size(), kValues, [&](std::size_t i, std::span<double> out) {
                           const auto values = values_of(rows[i]);
                           std::copy(values.begin(), values.end(), out.begin());
                         }};
  if (format == TableFormat::Plain) {
    write_exact(path, source);
  } else {
    // Flags are words, and a value that does not apply is NA without a
    // warning: it is no lost number.
    const FieldText text = [](std::size_t, std::size_t column, double v, std::string& field) {
      if (std::isnan(v)) {
        field = "NA";
      } else if (column == kIncomplete || column == kFlagged || column == kMirrored) {
        field = v != 0.0 ? "TRUE" : "FALSE";
      } else {
        return false;
      }
      return true;
    };
    write_table(path, format, source, outlier_columns(), sample.records, {}, text, groups);
  }
  return written_file(path, rows.size(), digest);
}

}  // namespace dg

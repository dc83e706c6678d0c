#include "input/sample_survey.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <string_view>
#include <unordered_map>

#include "runtime/array/format.hpp"

namespace dg {

namespace {

// The median of the values, which it reorders; NaN for none.
double median_of(std::vector<double>& values) {
  if (values.empty()) return std::nan("");
  const std::size_t half = values.size() / 2;
  std::nth_element(values.begin(), values.begin() + half, values.end());
  const double upper = values[half];
  if (values.size() % 2 == 1) return upper;
  return (upper + *std::max_element(values.begin(), values.begin() + half)) / 2;
}

}  // namespace

SizeSurvey survey_sizes(std::span<const double> sizes) {
  SizeSurvey survey;
  std::vector<double> finite;
  finite.reserve(sizes.size());
  for (double size : sizes) {
    if (std::isfinite(size)) finite.push_back(size);
  }
  const std::size_t count = finite.size();
  survey.median = median_of(finite);
  if (!(survey.median > 0)) return survey;
  std::vector<double> small;
  for (double size : finite) {
    if (size < survey.median / kOutlierFactor) small.push_back(size);
  }
  if (4 * small.size() >= count) {
    survey.split = true;
    survey.median = median_of(small);
    if (!(survey.median > 0)) return survey;
  }
  for (std::size_t row = 0; row < sizes.size(); ++row) {
    const double ratio = sizes[row] / survey.median;
    if (ratio > kOutlierFactor || (!survey.split && ratio < 1 / kOutlierFactor)) {
      survey.outliers.push_back({row, sizes[row], ratio});
    }
  }
  return survey;
}

namespace {

// Open addressing over the IDs, so that a sample of a million specimens costs
// one array of rows rather than a node per ID: each slot holds the row that
// used its ID first. The few IDs seen again find their entry in `shared`
// through a small map of their slots.
template <class Row>
std::vector<SharedId> shared_ids_of(const std::vector<SpecimenRecord>& records,
                                    std::size_t capacity) {
  constexpr Row kNone = std::numeric_limits<Row>::max();
  std::vector<Row> first(capacity, kNone);
  std::unordered_map<std::size_t, std::size_t> entry;
  std::vector<SharedId> shared;
  for (std::size_t row = 0; row < records.size(); ++row) {
    const std::string_view id = records[row].id();
    if (id.empty()) continue;
    std::size_t slot = std::hash<std::string_view>{}(id) & (capacity - 1);
    while (first[slot] != kNone && records[first[slot]].id() != id) {
      slot = (slot + 1) & (capacity - 1);
    }
    if (first[slot] == kNone) {
      first[slot] = static_cast<Row>(row);
      continue;
    }
    const auto [at, added] = entry.try_emplace(slot, shared.size());
    if (added) shared.push_back({std::string(id), {first[slot]}});
    shared[at->second].rows.push_back(row);
  }
  return shared;
}

}  // namespace

std::vector<SharedId> shared_ids(const std::vector<SpecimenRecord>& records) {
  // Sized by the IDs there are: a sample without IDs allocates nothing.
  const auto ids = static_cast<std::size_t>(std::count_if(
      records.begin(), records.end(), [](const SpecimenRecord& r) { return !r.id().empty(); }));
  if (ids < 2) return {};
  std::size_t capacity = 16;
  while (capacity < 2 * ids) capacity *= 2;
  // Rows fit 32 bits but in samples of over four thousand million specimens.
  if (records.size() < UINT32_MAX) return shared_ids_of<std::uint32_t>(records, capacity);
  return shared_ids_of<std::size_t>(records, capacity);
}

std::string specimen_label(std::size_t row, const std::vector<SpecimenRecord>& records) {
  std::string label = "specimen " + std::to_string(row + 1);
  if (row < records.size()) {
    const SpecimenRecord& record = records[row];
    if (!record.id().empty()) return label + " (ID=" + std::string(record.id()) + ")";
    if (!record.image().empty()) return label + " (IMAGE=" + std::string(record.image()) + ")";
  }
  return label;
}

namespace {

std::string ratio_text(double ratio) {
  if (ratio >= 100) return sprintf("%.0f times", ratio);
  if (ratio >= 1) return sprintf("%.3g times", ratio);
  return sprintf("1/%.0f of", 1 / ratio);
}

std::string rows_text(const std::vector<std::size_t>& rows) {
  const std::size_t listed = std::min(rows.size(), kListedRows);
  std::string text;
  for (std::size_t i = 0; i < listed; ++i) {
    const bool last = i + 1 == listed && listed == rows.size();
    text += (i == 0 ? "" : last ? " and " : ", ") + std::to_string(rows[i] + 1);
  }
  if (listed < rows.size()) text += " and " + std::to_string(rows.size() - listed) + " more";
  return text;
}

}  // namespace

std::vector<std::string> sample_warnings(std::span<const double> sizes,
                                         const std::vector<SpecimenRecord>& records) {
  std::vector<std::string> warnings;
  const SizeSurvey survey = survey_sizes(sizes);
  const std::size_t outliers = survey.outliers.size();
  const auto measured = static_cast<std::size_t>(
      std::count_if(sizes.begin(), sizes.end(), [](double v) { return std::isfinite(v); }));
  const std::string median =
      survey.split ? "the median of the other " + std::to_string(measured - outliers) + " specimens"
                   : std::string("the sample's median");
  for (std::size_t i = 0; i < std::min(outliers, kListedOutliers); ++i) {
    const SizeOutlier& o = survey.outliers[i];
    warnings.push_back(specimen_label(o.row, records) + ": centroid size " +
                       sprintf("%.3g", o.size) + " is " + ratio_text(o.ratio) + " " + median +
                       "; " +
                       (o.ratio > 1 ? "missing landmarks written as numbers?"
                                    : "coinciding landmarks or other units?"));
  }
  if (outliers > kListedOutliers) {
    warnings.push_back(std::to_string(outliers - kListedOutliers) +
                       " more specimens have a centroid size over 10 times " +
                       (survey.split ? "" : "or under a tenth of ") + median + " (" +
                       sprintf("%.3g", survey.median) + ").");
  }
  const std::vector<SharedId> shared = shared_ids(records);
  for (std::size_t i = 0; i < std::min(shared.size(), kListedIds); ++i) {
    warnings.push_back("ID=" + shared[i].id + " is shared by specimens " +
                       rows_text(shared[i].rows) + ".");
  }
  if (shared.size() > kListedIds) {
    warnings.push_back(std::to_string(shared.size() - kListedIds) +
                       " more IDs are shared by several specimens.");
  }
  return warnings;
}

}  // namespace dg

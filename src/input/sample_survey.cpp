#include "input/sample_survey.hpp"

#include <algorithm>
#include <cmath>
#include <string_view>
#include <unordered_map>

#include "runtime/array/format.hpp"

namespace dg {

SizeSurvey survey_sizes(std::span<const double> sizes) {
  SizeSurvey survey;
  std::vector<double> finite;
  finite.reserve(sizes.size());
  for (double size : sizes) {
    if (std::isfinite(size)) finite.push_back(size);
  }
  if (finite.empty()) {
    survey.median = std::nan("");
    return survey;
  }
  const std::size_t half = finite.size() / 2;
  std::nth_element(finite.begin(), finite.begin() + half, finite.end());
  double median = finite[half];
  if (finite.size() % 2 == 0) {
    median = (median + *std::max_element(finite.begin(), finite.begin() + half)) / 2;
  }
  survey.median = median;
  if (!(median > 0)) return survey;
  for (std::size_t row = 0; row < sizes.size(); ++row) {
    const double ratio = sizes[row] / median;
    if (ratio > kOutlierFactor || ratio < 1 / kOutlierFactor) {
      survey.outliers.push_back({row, sizes[row], ratio});
    }
  }
  return survey;
}

std::vector<SharedId> shared_ids(const std::vector<SpecimenRecord>& records) {
  std::unordered_map<std::string_view, std::size_t> first_use;
  std::vector<SharedId> shared;
  std::unordered_map<std::string_view, std::size_t> shared_index;
  for (std::size_t row = 0; row < records.size(); ++row) {
    const std::string& id = records[row].id;
    if (id.empty()) continue;
    auto [it, fresh] = first_use.try_emplace(id, row);
    if (fresh) continue;
    auto [entry, added] = shared_index.try_emplace(id, shared.size());
    if (added) shared.push_back({id, {it->second}});
    shared[entry->second].rows.push_back(row);
  }
  return shared;
}

std::string specimen_label(std::size_t row, const std::vector<SpecimenRecord>& records) {
  std::string label = "specimen " + std::to_string(row + 1);
  if (row < records.size()) {
    if (!records[row].id.empty()) return label + " (ID=" + records[row].id + ")";
    if (!records[row].image.empty()) return label + " (IMAGE=" + records[row].image + ")";
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
  std::string text;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    text += (i == 0 ? "" : i + 1 == rows.size() ? " and " : ", ") + std::to_string(rows[i] + 1);
  }
  return text;
}

}  // namespace

std::vector<std::string> sample_warnings(std::span<const double> sizes,
                                         const std::vector<SpecimenRecord>& records) {
  std::vector<std::string> warnings;
  const SizeSurvey survey = survey_sizes(sizes);
  const std::size_t outliers = survey.outliers.size();
  for (std::size_t i = 0; i < std::min(outliers, kListedFindings); ++i) {
    const SizeOutlier& o = survey.outliers[i];
    warnings.push_back(specimen_label(o.row, records) + ": centroid size " +
                       sprintf("%.3g", o.size) + " is " + ratio_text(o.ratio) +
                       " the sample's median; " +
                       (o.ratio > 1 ? "missing landmarks written as numbers?"
                                    : "coinciding landmarks or other units?"));
  }
  if (outliers > kListedFindings) {
    warnings.push_back(std::to_string(outliers - kListedFindings) +
                       " more specimens have a centroid size over 10 times or under a tenth of "
                       "the sample's median (" +
                       sprintf("%.3g", survey.median) + ").");
  }
  const std::vector<SharedId> shared = shared_ids(records);
  for (std::size_t i = 0; i < std::min(shared.size(), kListedFindings); ++i) {
    warnings.push_back("ID=" + shared[i].id + " is shared by specimens " +
                       rows_text(shared[i].rows) + ".");
  }
  if (shared.size() > kListedFindings) {
    warnings.push_back(std::to_string(shared.size() - kListedFindings) +
                       " more IDs are shared by several specimens.");
  }
  return warnings;
}

}  // namespace dg

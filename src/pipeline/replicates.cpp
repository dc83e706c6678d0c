#include "pipeline/replicates.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <optional>
#include <unordered_map>

#include "input/sample_survey.hpp"
#include "morpho/procrustes_outliers.hpp"
#include "output/dataset_file.hpp"
#include "output/sha256.hpp"
#include "pipeline/groups.hpp"
#include "pipeline/load_sample.hpp"
#include "pipeline/measurements.hpp"
#include "runtime/array/error.hpp"
#include "runtime/array/format.hpp"

namespace dg {
namespace {

constexpr double kNoValue = OneWayAnova::kNone;

// Each row's name under the rule, or none.
std::vector<std::optional<std::string>> row_names(const Sample& sample, const std::string& rule,
                                                  std::string& what) {
  std::vector<std::optional<std::string>> names(sample.specimens());
  if (rule == "files") {
    what = "ID= (else IMAGE=)";
    for (std::size_t i = 0; i < names.size() && i < sample.records.size(); ++i) {
      const SpecimenRecord& r = sample.records[i];
      if (!r.id().empty()) {
        names[i] = std::string(r.id());
      } else if (!r.image().empty()) {
        names[i] = std::string(r.image());
      }
    }
    return names;
  }
  if (auto by_pattern = field_pattern_names(sample, rule, what)) return std::move(*by_pattern);
  raise("Replicates are matched by \"files\", \"id:PATTERN\" or \"image:PATTERN\"; \"" + rule +
        "\" is none of them.");
}

// The largest Procrustes distance between two rows of one specimen, over
// the landmarks both have.
void furthest_pair(const Sample& s, const std::vector<std::size_t>& rows, ReplicateDistance& d) {
  const std::size_t dims = s.dimensions;
  for (std::size_t a = 0; a < rows.size(); ++a) {
    for (std::size_t b = a + 1; b < rows.size(); ++b) {
      const auto x = s.coordinates.row(rows[a]);
      const auto y = s.coordinates.row(rows[b]);
      double squares = 0;
      bool any = false;
      for (std::size_t j = 0; j < x.size(); j += dims) {
        double here = 0;
        for (std::size_t c = j; c < j + dims; ++c) here += (x[c] - y[c]) * (x[c] - y[c]);
        if (std::isnan(here)) continue;
        squares += here;
        any = true;
      }
      if (!any) continue;
      const double distance = std::sqrt(squares);
      if (std::isnan(d.distance) || distance > d.distance) {
        d.distance = distance;
        d.first = rows[a] + 1;
        d.second = rows[b] + 1;
      }
    }
  }
}

}  // namespace

ReplicateGroups replicate_groups(const Sample& sample, const std::string& rule) {
  std::string what;
  const std::vector<std::optional<std::string>> names = row_names(sample, rule, what);
  ReplicateGroups groups = named_groups(
      sample, rule, names, "Replicates are matched by " + what + ", which names no specimen for ");
  std::vector<std::size_t> sizes(groups.names.size());
  for (std::size_t g : groups.of) ++sizes[g];
  if (std::none_of(sizes.begin(), sizes.end(), [](std::size_t n) { return n > 1; })) {
    raise("No specimen has two replicates when they are matched by " + what + ": the " +
          std::to_string(names.size()) + " rows have " + std::to_string(groups.names.size()) +
          " names.");
  }
  return groups;
}

MeasurementError measurement_error(const Study& study, ReplicateGroups groups,
                                   std::vector<std::string>& warnings) {
  const Sample& sample = study.sample;
  MeasurementError e;
  e.groups = std::move(groups);
  const std::size_t count = e.groups.names.size();
  const std::vector<std::size_t>& of = e.groups.of;
  const std::size_t n = sample.specimens();

  // Each variable a column of values, one row per specimen.
  const auto add_columns = [&](const RowSource& rows, std::vector<std::string> names,
                               const RowTransform& transform) {
    std::vector<std::vector<double>> columns(rows.cols, std::vector<double>(n));
    std::vector<double> row(rows.cols);
    for (std::size_t i = 0; i < n; ++i) {
      rows.row(i, row);
      if (transform) transform(row);
      for (std::size_t j = 0; j < rows.cols; ++j) columns[j][i] = row[j];
    }
    for (std::size_t j = 0; j < rows.cols; ++j) {
      e.variables.push_back(names[j]);
      e.anova.push_back(one_way_anova(columns[j], of, count));
    }
  };
  // The distances, then the centroid size, then the angles.
  if (study.distances.cols != study.pairs.landmarks.size() / 2 + 1) {
    raise("The measurement error needs the distances of the pair list, which were not computed.");
  }
  add_columns(study.distances, output_columns(study, Output::lengths, study.distances.cols), {});
  add_columns(angle_rows(sample, study.triples.landmarks),
              output_columns(study, Output::degrees, 0), degrees);

  if (sample.consensus.empty()) return e;
  std::optional<Sample> copy;
  const Sample& converged = converged_view(sample, copy, warnings);
  e.shape = true;
  e.anova.push_back(procrustes_anova(converged.coordinates, converged.dimensions, of, count));
  e.shape_left_out = e.anova.back().measurements < n ? n - e.anova.back().measurements : 0;

  std::vector<std::vector<std::size_t>> rows(count);
  for (std::size_t i = 0; i < n; ++i) rows[of[i]].push_back(i);
  e.distances.resize(count);
  std::vector<double> sorted;
  for (std::size_t g = 0; g < count; ++g) {
    e.distances[g].replicates = rows[g].size();
    furthest_pair(converged, rows[g], e.distances[g]);
    if (!std::isnan(e.distances[g].distance)) sorted.push_back(e.distances[g].distance);
  }
  std::sort(sorted.begin(), sorted.end());
  const double q1 = quantile_type7(sorted, 0.25), q3 = quantile_type7(sorted, 0.75);
  e.threshold = q3 + 1.5 * (q3 - q1);
  std::vector<std::size_t> order(count);
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return e.distances[a].distance > e.distances[b].distance;
  });
  for (std::size_t r = 0; r < count; ++r) {
    ReplicateDistance& d = e.distances[order[r]];
    if (std::isnan(d.distance)) continue;
    d.rank = r + 1;
    d.flagged = d.distance > e.threshold;
  }
  return e;
}

std::vector<std::string> measurement_error_report(const Sample& sample, const MeasurementError& e) {
  std::vector<std::string> lines;
  const auto rule =
      e.groups.rule == "files" ? std::string("ID= (else IMAGE=)") : "\"" + e.groups.rule + "\"";
  lines.push_back("Measurement error: " + std::to_string(sample.specimens()) + " measurements of " +
                  std::to_string(e.groups.names.size()) + " specimens, replicates matched by " +
                  rule + ".");
  lines.push_back(
      "Repeatability from variance components (Lessells & Boag 1987), with 95% confidence "
      "intervals from the F distribution.");
  std::size_t least = e.variables.size();
  for (std::size_t v = 0; v < e.variables.size(); ++v) {
    if (std::isnan(e.anova[v].repeatability)) continue;
    if (least == e.variables.size() || e.anova[v].repeatability < e.anova[least].repeatability) {
      least = v;
    }
  }
  if (least < e.variables.size()) {
    const OneWayAnova& a = e.anova[least];
    lines.push_back("Least repeatable: " + e.variables[least] + ", repeatability " +
                    short_number(a.repeatability) + " [" + short_number(a.ci_lower) + ", " +
                    short_number(a.ci_upper) + "], " + short_number(a.percent_me) +
                    "% measurement error.");
  }
  if (e.shape) {
    const OneWayAnova& a = e.anova.back();
    std::string line =
        "Shape (Procrustes analysis of variance of the converged "
        "superimposition): F = " +
        short_number(a.f) + " on " + short_number(a.df_among) + " and " +
        short_number(a.df_within) + " degrees of freedom, p = " + short_number(a.p) + ", " +
        short_number(a.percent_me) + "% measurement error";
    if (e.shape_left_out > 0) {
      line += "; " + std::to_string(e.shape_left_out) +
              " measurements with missing landmarks are left out";
    }
    lines.push_back(line + ".");
    for (std::size_t g = 0; g < e.distances.size(); ++g) {
      const ReplicateDistance& d = e.distances[g];
      if (d.rank != 1) continue;
      lines.push_back("Replicates furthest apart: " + e.groups.names[g] + ", Procrustes distance " +
                      short_number(d.distance) + " between " +
                      specimen_label(d.first - 1, sample.records) + " and " +
                      specimen_label(d.second - 1, sample.records) + ".");
    }
  }
  return lines;
}

std::vector<std::string> repeatability_columns() {
  return {"variable", "specimens", "measurements",  "n0",        "ss_among", "ss_within",
          "df_among", "df_within", "ms_among",      "ms_within", "F",        "p",
          "s2_among", "s2_within", "repeatability", "ci_lower",  "ci_upper", "percent_me"};
}

Written write_repeatability(const MeasurementError& e, const std::string& path, TableFormat format,
                            Digest digest) {
  std::vector<std::string> names = e.variables;
  if (e.shape) names.push_back("shape");
  const RowSource rows{e.anova.size(), repeatability_columns().size() - 1,
                       [&](std::size_t i, std::span<double> out) {
                         const OneWayAnova& a = e.anova[i];
                         const double values[] = {static_cast<double>(a.specimens),
                                                  static_cast<double>(a.measurements),
                                                  a.n0,
                                                  a.ss_among,
                                                  a.ss_within,
                                                  a.df_among,
                                                  a.df_within,
                                                  a.ms_among,
                                                  a.ms_within,
                                                  a.f,
                                                  a.p,
                                                  a.s2_among,
                                                  a.s2_within,
                                                  a.repeatability,
                                                  a.ci_lower,
                                                  a.ci_upper,
                                                  a.percent_me};
                         std::copy(std::begin(values), std::end(values), out.begin());
                       }};
  return write_named_table(path, format, repeatability_columns(), names, rows, {}, digest);
}

Written write_replicate_distances(const MeasurementError& e, const std::string& path,
                                  TableFormat format, Digest digest) {
  constexpr std::size_t kFlagged = 5;
  const RowSource rows{e.distances.size(), 6, [&](std::size_t i, std::span<double> out) {
                         const ReplicateDistance& d = e.distances[i];
                         const auto number = [](std::size_t v) {
                           return v == 0 ? kNoValue : static_cast<double>(v);
                         };
                         out[0] = static_cast<double>(d.replicates);
                         out[1] = d.distance;
                         out[2] = number(d.first);
                         out[3] = number(d.second);
                         out[4] = number(d.rank);
                         out[kFlagged] = std::isnan(d.distance) ? kNoValue : d.flagged ? 1.0 : 0.0;
                       }};
  const FieldText flags = [](std::size_t, std::size_t column, double v, std::string& text) {
    if (column != kFlagged || std::isnan(v)) return false;
    text = v != 0.0 ? "TRUE" : "FALSE";
    return true;
  };
  return write_named_table(
      path, format, {"specimen", "replicates", "distance", "first", "second", "rank", "flagged"},
      e.groups.names, rows, flags, digest);
}

}  // namespace dg

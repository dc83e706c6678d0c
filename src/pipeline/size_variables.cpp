#include "pipeline/size_variables.hpp"

#include <algorithm>
#include <cmath>

#include "pipeline/measurements.hpp"
#include "runtime/array/error.hpp"

namespace dg {
namespace {

// The rows of `source`, each changed by `transform`; with `sized`, the last
// column goes into `sizes` instead.
void collect(const RowSource& source, const RowTransform& transform, bool sized, Variables& into) {
  const std::size_t p = sized ? source.cols - 1 : source.cols;
  into.values = Matrix(source.rows, p);
  if (sized) into.sizes.resize(source.rows);
  std::vector<double> row(source.cols);
  for (std::size_t i = 0; i < source.rows; ++i) {
    source.row(i, row);
    if (transform) transform(row);
    std::copy(row.begin(), row.begin() + static_cast<std::ptrdiff_t>(p),
              into.values.row(i).begin());
    if (sized) into.sizes[i] = row[p];
  }
}

Variables distances_as(const Study& study, const std::string& dataset, const char* prefix,
                       const RowTransform& transform) {
  if (study.pairs.landmarks.empty()) {
    raise("The dataset \"" + dataset + "\" is made of distances and needs a pair list.");
  }
  Variables v;
  v.dataset = dataset;
  v.columns = pair_columns(study.pairs.rows, prefix);
  collect(study.distances, transform, true, v);
  return v;
}

// The distances' columns renamed for a correction of them.
std::vector<std::string> renamed(const std::vector<std::string>& columns, const std::string& lead) {
  std::vector<std::string> names;
  for (const std::string& name : columns) names.push_back(lead + name);
  return names;
}

std::span<const std::size_t> group_rows(const Study& study) {
  return study.groups ? std::span<const std::size_t>(study.groups->of)
                      : std::span<const std::size_t>();
}

std::size_t group_count(const Study& study) {
  return study.groups ? study.groups->names.size() : 1;
}

}  // namespace

const std::vector<std::string>& dataset_names() {
  static const std::vector<std::string> names = {"lengths",          "log-lengths", "constrained",
                                                 "angles",           "degrees",     "allometric",
                                                 "log-shape-ratios", "burnaby"};
  return names;
}

std::string burnaby_report(const Burnaby& b, std::size_t variables) {
  const std::size_t lost = variables - b.rank;
  return "Burnaby's correction of the log distances: the covariance matrix of the corrected "
         "variables is singular, "
         "of rank " +
         std::to_string(b.rank) + " for " + std::to_string(variables) + " variables (" +
         std::to_string(lost) + (lost == 1 ? " dimension" : " dimensions") +
         " lost); an analysis that inverts it needs the principal components or one variable "
         "fewer.";
}

Variables study_variables(const Study& study, const std::string& dataset,
                          const SizeOptions& options) {
  if (dataset == "lengths") return distances_as(study, dataset, "d", {});
  if (dataset == "log-lengths") return distances_as(study, dataset, "log_d", log_transform);
  if (dataset == "constrained") return distances_as(study, dataset, "c_d", size_constraint);
  if (dataset == "angles" || dataset == "degrees") {
    if (study.triples.landmarks.empty()) {
      raise("The dataset \"" + dataset + "\" is made of angles and needs a triple list.");
    }
    Variables v;
    v.dataset = dataset;
    v.columns = triple_columns(study.triples.rows);
    collect(angle_rows(study.sample, study.triples.landmarks),
            dataset == "degrees" ? RowTransform(degrees) : RowTransform(), false, v);
    return v;
  }
  if (dataset == "allometric") {
    Variables v = distances_as(study, dataset, "d", {});
    std::vector<double> x = v.sizes;
    if (options.allometric_size != "centroid_size") {
      const auto at = std::find(v.columns.begin(), v.columns.end(), options.allometric_size);
      if (at == v.columns.end()) {
        raise("The size variable \"" + options.allometric_size +
              "\" of the allometric normalisation is neither centroid_size nor a distance of "
              "the pair list (" +
              v.columns.front() + (v.columns.size() > 1 ? " ... " + v.columns.back() : "") + ").");
      }
      const std::size_t column = static_cast<std::size_t>(at - v.columns.begin());
      for (std::size_t i = 0; i < x.size(); ++i) x[i] = v.values(i, column);
    }
    Allometry a =
        allometric_normalisation(v.values, x, group_rows(study), group_count(study), options.x0);
    v.values = std::move(a.corrected);
    v.slopes = std::move(a.slopes);
    v.x0 = a.x0;
    v.columns = renamed(v.columns, "allo_");
    return v;
  }
  if (dataset == "log-shape-ratios") {
    Variables v = distances_as(study, dataset, "d", {});
    v.values = log_shape_ratios(v.values);
    v.columns = renamed(v.columns, "lsr_");
    return v;
  }
  if (dataset == "burnaby") {
    Variables v = distances_as(study, dataset, "log_d", {});
    Burnaby b = burnaby_correction(v.values, options.burnaby);
    v.values = std::move(b.corrected);
    v.note = burnaby_report(b, v.columns.size());
    v.columns = renamed(v.columns, "burnaby_");
    return v;
  }
  std::string names;
  for (const std::string& name : dataset_names()) names += (names.empty() ? "" : ", ") + name;
  raise("Unknown dataset \"" + dataset + "\"; the datasets are " + names + ".");
}

Pca study_pca(const Variables& variables, bool correlation) {
  return principal_components(variables.values, correlation, variables.columns);
}

std::vector<std::string> component_names(std::size_t count) {
  std::vector<std::string> names;
  for (std::size_t c = 1; c <= count; ++c) names.push_back("PC" + std::to_string(c));
  return names;
}

namespace {

// A dataset of specimens' rows: plain "%g " values, or a table with the
// specimens' columns and the groups.
Written write_specimen_rows(const Study& study, const RowSource& rows,
                            const std::vector<std::string>& columns, const std::string& path,
                            TableFormat format, std::vector<std::string>& warnings, Digest digest) {
  if (format == TableFormat::Plain) {
    write_dataset(path, rows);
  } else {
    const std::string warning = write_table(path, format, rows, columns, study.sample.records, {},
                                            {}, group_column(study.groups));
    if (!warning.empty()) warnings.push_back(warning);
  }
  return written_file(path, rows.rows, digest);
}

}  // namespace

Written write_variables(const Study& study, const Variables& v, const std::string& path,
                        TableFormat format, std::vector<std::string>& warnings, Digest digest) {
  const std::size_t p = v.values.cols();
  const bool sized = !v.sizes.empty();
  std::vector<std::string> columns = v.columns;
  if (sized) columns.push_back("centroid_size");
  const RowSource rows{v.values.rows(), columns.size(), [&](std::size_t i, std::span<double> out) {
                         const auto row = v.values.row(i);
                         std::copy(row.begin(), row.end(), out.begin());
                         if (sized) out[p] = v.sizes[i];
                       }};
  return write_specimen_rows(study, rows, columns, path, format, warnings, digest);
}

std::vector<SummaryRow> study_summary(const Study& study) {
  const std::size_t groups = group_count(study);
  std::vector<std::string> group_names =
      study.groups ? study.groups->names : std::vector<std::string>();
  const bool taken = std::find(group_names.begin(), group_names.end(), "all") != group_names.end();
  const std::string all = taken ? "all groups" : "all";

  std::vector<SummaryRow> rows;
  const auto add = [&](const std::vector<std::string>& columns, const Matrix& values) {
    const std::vector<ColumnSummary> s = summarise_columns(values, group_rows(study), groups);
    const std::size_t p = values.cols();
    for (std::size_t j = 0; j < p; ++j) {
      for (std::size_t g = 0; study.groups && g < groups; ++g) {
        rows.push_back({columns[j], g + 1, group_names[g], s[g * p + j]});
      }
      rows.push_back({columns[j], 0, all, s[groups * p + j]});
    }
  };
  if (!study.pairs.landmarks.empty()) {
    for (const char* dataset : {"lengths", "log-lengths", "constrained"}) {
      const Variables v = study_variables(study, dataset);
      add(v.columns, v.values);
    }
  }
  if (!study.triples.landmarks.empty()) {
    const Variables v = study_variables(study, "degrees");
    add(v.columns, v.values);
  }
  Matrix sizes(study.sample.specimens(), 1);
  for (std::size_t i = 0; i < sizes.rows(); ++i) sizes(i, 0) = study.sample.sizes[i];
  add({"centroid_size"}, sizes);
  return rows;
}

Written write_summary(const Study& study, const std::string& path, TableFormat format,
                      Digest digest) {
  const std::vector<SummaryRow> rows = study_summary(study);
  std::vector<std::string> names;
  for (const SummaryRow& row : rows) names.push_back(row.variable);
  const RowSource source{rows.size(), 8, [&](std::size_t i, std::span<double> out) {
                           const ColumnSummary& s = rows[i].summary;
                           const double values[] = {static_cast<double>(rows[i].group),
                                                    static_cast<double>(s.n),
                                                    s.mean,
                                                    s.sd,
                                                    s.cv_percent,
                                                    s.min,
                                                    s.max,
                                                    static_cast<double>(s.missing)};
                           std::copy(std::begin(values), std::end(values), out.begin());
                         }};
  const FieldText text = [&](std::size_t i, std::size_t column, double, std::string& field) {
    if (column != 0) return false;
    field = rows[i].group_name;
    return true;
  };
  return write_named_table(
      path, format, {"variable", "group", "n", "mean", "sd", "cv_percent", "min", "max", "missing"},
      names, source, text, digest);
}

Written write_slopes(const Variables& v, const std::string& path, TableFormat format,
                     Digest digest) {
  if (v.slopes.empty()) raise("No allometric slopes to write to \"" + path + "\".");
  const RowSource rows{v.slopes.size(), 6, [&](std::size_t i, std::span<double> out) {
                         const AllometricSlope& s = v.slopes[i];
                         const double values[] = {
                             s.slope, s.se, s.r_squared, static_cast<double>(s.n), s.df, v.x0};
                         std::copy(std::begin(values), std::end(values), out.begin());
                       }};
  std::vector<std::string> names;
  for (const std::string& column : v.columns) names.push_back(column.substr(5));  // "allo_"
  return write_named_table(path, format, {"variable", "slope", "se", "r_squared", "n", "df", "x0"},
                           names, rows, {}, digest);
}

Written write_pca_scores(const Study& study, const Pca& pca, const std::string& path,
                         TableFormat format, std::vector<std::string>& warnings, Digest digest) {
  return write_specimen_rows(study, matrix_rows(pca.scores), component_names(pca.scores.cols()),
                             path, format, warnings, digest);
}

Written write_pca_loadings(const Variables& v, const Pca& pca, const std::string& path,
                           TableFormat format, Digest digest) {
  std::vector<std::string> columns = component_names(pca.loadings.cols());
  columns.insert(columns.begin(), "variable");
  return write_named_table(path, format, columns, v.columns, matrix_rows(pca.loadings), {}, digest);
}

Written write_pca_variance(const Pca& pca, const std::string& path, TableFormat format,
                           Digest digest) {
  double total = 0;
  for (double sd : pca.sdev) total += sd * sd;
  Matrix rows(pca.sdev.size(), 4);
  double cumulative = 0;
  for (std::size_t c = 0; c < pca.sdev.size(); ++c) {
    const double variance = pca.sdev[c] * pca.sdev[c];
    cumulative += variance;
    rows(c, 0) = pca.sdev[c];
    rows(c, 1) = variance;
    rows(c, 2) = variance / total;
    rows(c, 3) = cumulative / total;
  }
  return write_named_table(path, format,
                           {"component", "sd", "variance", "proportion", "cumulative"},
                           component_names(pca.sdev.size()), matrix_rows(rows), {}, digest);
}

}  // namespace dg

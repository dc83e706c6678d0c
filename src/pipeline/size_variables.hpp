// The variables of a study as a whole matrix, described and corrected for
// size: the summary table, the three size corrections (morpho/size_shape)
// and the principal components of any of these datasets (morpho/pca), with
// their tables.
//
// Datasets by name: "lengths", "log-lengths", "constrained", "angles",
// "degrees", "allometric", "log-shape-ratios", "burnaby". The size column is
// not one of a dataset's variables; the correction datasets are written with
// it last, as the distance datasets are.
//
// Tables (CSV or TSV; a plain file has the same numbers without the names):
//   summary    variable, group ("all" for every specimen together, "all
//              groups" when a group is called "all"; plain: the group's
//              number, 0 for all), n, mean, sd, cv_percent, min, max,
//              missing; for each distance, log distance, constrained
//              distance, angle in degrees and the centroid size
//   slopes     variable, slope, se, r_squared, n, df, x0: the fit of
//              ln Y on ln X of the allometric normalisation
//   scores     the specimens' columns, then PC1, PC2, ...
//   loadings   variable, PC1, PC2, ...
//   variance   component, sd, variance, proportion, cumulative
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "morpho/pca.hpp"
#include "morpho/size_shape.hpp"
#include "pipeline/write_outputs.hpp"

namespace dg {

struct Variables {
  std::string dataset;                  // its name, as above
  std::vector<std::string> columns;     // the variables' names
  Matrix values;                        // n x p
  std::vector<double> sizes;            // each specimen's size, as the distance datasets write it
  std::string note;                     // what a correction reports (Burnaby's singular matrix)
  std::vector<AllometricSlope> slopes;  // of the allometric dataset
  double x0 = 0;                        // of the allometric dataset
};

struct SizeOptions {
  // The size variable X of the allometric normalisation: "centroid_size" or
  // the column of a distance ("d3_7").
  std::string allometric_size = "centroid_size";
  std::optional<double> x0;
  BurnabyVector burnaby = BurnabyVector::isometric;
};

// The names of the datasets, in the order above.
const std::vector<std::string>& dataset_names();

// A dataset of the study; raises for an unknown name (listing the names) and
// for one its lists cannot give (distances without pairs, angles without
// triples).
Variables study_variables(const Study& study, const std::string& dataset,
                          const SizeOptions& options = {});

Pca study_pca(const Variables& variables, bool correlation);

// One row of the summary table: a variable of one group, or of all
// specimens together (group 0, named as the table names it).
struct SummaryRow {
  std::string variable;
  std::size_t group = 0;  // 1-based; 0 for all
  std::string group_name;
  ColumnSummary summary;
};

// The rows of the summary table, in its order: each variable's groups (when
// there are groups), then all together.
std::vector<SummaryRow> study_summary(const Study& study);

// One line: how many dimensions the corrected covariance matrix lost.
std::string burnaby_report(const Burnaby& burnaby, std::size_t variables);

Written write_variables(const Study& study, const Variables& variables, const std::string& path,
                        TableFormat format, std::vector<std::string>& warnings,
                        Digest digest = Digest::none);
Written write_summary(const Study& study, const std::string& path, TableFormat format,
                      Digest digest = Digest::none);
Written write_slopes(const Variables& allometric, const std::string& path, TableFormat format,
                     Digest digest = Digest::none);
Written write_pca_scores(const Study& study, const Pca& pca, const std::string& path,
                         TableFormat format, std::vector<std::string>& warnings,
                         Digest digest = Digest::none);
Written write_pca_loadings(const Variables& variables, const Pca& pca, const std::string& path,
                           TableFormat format, Digest digest = Digest::none);
Written write_pca_variance(const Pca& pca, const std::string& path, TableFormat format,
                           Digest digest = Digest::none);

// "PC1", "PC2", ... for `count` components.
std::vector<std::string> component_names(std::size_t count);

}  // namespace dg

#include <cmath>

#include "actions/dahand_actions.hpp"
#include "input/missing_code.hpp"
#include "morpho/landmark_count.hpp"
#include "output/dataset_file.hpp"
#include "output/manifest.hpp"
#include "output/table.hpp"
#include "runtime/array/error.hpp"

namespace dg::actions {
namespace {

constexpr double kPi = 3.141592653589793;

struct SaveKind {
  const char* title;
  const char* suffix;  // of the suggested file name, after the sample's name
};

SaveKind save_kind(Export what) {
  switch (what) {
    case Export::Angles:
      return {"Save the angles (radians) as", "-angles.txt"};
    case Export::Degrees:
      return {"Save the angles (degrees) as", "-degrees.txt"};
    case Export::Lengths:
      return {"Save the distances as", "-distances.txt"};
    case Export::LogLengths:
      return {"Save the log distances as", "-log-distances.txt"};
    case Export::Constrained:
      return {"Save the constrained distances as", "-constrained.txt"};
  }
  return {"", ""};
}

// Natural logarithms of the distances; the size column stays as it is.
void log_transform(std::span<double> row) {
  for (std::size_t j = 0; j + 1 < row.size(); ++j) row[j] = std::log(row[j]);
}

// Distances divided by the root sum of their squares; the size column stays.
void size_constraint(std::span<double> row) {
  double sum = 0;
  for (std::size_t j = 0; j + 1 < row.size(); ++j) sum += row[j] * row[j];
  double length = std::sqrt(sum);
  for (std::size_t j = 0; j + 1 < row.size(); ++j) row[j] /= length;
}

void degrees(std::span<double> row) {
  for (double& v : row) v = (v * 180) / kPi;
}

// The value columns' names: one per pair or triple, then the size column of
// a distance dataset (left as it is by the log and constraint transforms).
std::vector<std::string> column_names(const HandlerState& handler, Export what, std::size_t count) {
  std::vector<std::string> names;
  switch (what) {
    case Export::Angles:
    case Export::Degrees:
      return triple_columns(handler.tangles);
    case Export::Lengths:
      names = pair_columns(handler.tlengths, "d");
      break;
    case Export::LogLengths:
      names = pair_columns(handler.tlengths, "log_d");
      break;
    case Export::Constrained:
      names = pair_columns(handler.tlengths, "c_d");
      break;
  }
  if (names.size() < count) names.push_back("centroid_size");
  return names;
}

}  // namespace

void save(Session& session, Export what) {
  const bool angular = what == Export::Angles || what == Export::Degrees;
  HandlerState& h = session.handler;
  if (angular) {
    if (no_sample(session)) return;
    if (h.tangles.empty()) return session.report("Load a triple list first.");
  } else if (no_distances(session)) {
    return;
  }
  // The triples are checked before the dialog; the rows are computed as they are written.
  RowSource angles;
  if (angular) angles = angle_rows(h.data, h.tangles, h.dimensions);
  const SaveKind kind = save_kind(what);
  auto choice =
      ask_save(session, "*.txt", kind.title, sample_name(h) + kind.suffix, sample_folder(h));
  if (!choice) return;
  const RowSource rows = angular ? std::move(angles) : distance_rows(h);
  RowTransform transform;
  if (what == Export::Degrees) transform = degrees;
  if (what == Export::LogLengths) transform = log_transform;
  if (what == Export::Constrained) transform = size_constraint;
  if (session.table_format == TableFormat::Plain) {
    write_dataset(choice->path(), rows, transform);
  } else {
    const std::string warning = write_table(choice->path(), session.table_format, rows,
                                            column_names(h, what, rows.cols), h.records, transform);
    if (!warning.empty()) session.warn(warning);
  }
  if (!angular) h.distances_saved = true;
  session.report("Saved " + count_of(rows.rows, "row") + " to " + choice->name);
}

void export_tables(Session& session) {
  HandlerState& h = session.handler;
  if (no_sample(session)) return;
  auto folder = session.platform.get_folder("Choose a folder for the tables");
  if (!folder) return;
  const std::string sample = sample_name(h);
  struct Table {
    std::string name;
    RowSource rows;
    std::vector<std::string> columns;
    RowTransform transform;
  };
  std::vector<Table> tables;
  const auto add = [&](const char* suffix, const RowSource& rows, std::vector<std::string> columns,
                       RowTransform transform) {
    tables.push_back({sample + suffix + ".csv", rows, std::move(columns), std::move(transform)});
  };
  bool wrote_distances = false;
  if (const RowSource distances = distance_rows(h); distances.rows * distances.cols != 0) {
    wrote_distances = true;
    const std::size_t cols = distances.cols;
    add("-distances", distances, column_names(h, Export::Lengths, cols), {});
    add("-log-distances", distances, column_names(h, Export::LogLengths, cols), log_transform);
    add("-constrained", distances, column_names(h, Export::Constrained, cols), size_constraint);
  }
  if (!h.tangles.empty()) {
    const RowSource angles = angle_rows(h.data, h.tangles, h.dimensions);
    add("-angles", angles, column_names(h, Export::Angles, angles.cols), {});
    add("-degrees", angles, column_names(h, Export::Degrees, angles.cols), degrees);
  }
  std::vector<std::string> coordinates = coordinate_columns(h.data.cols() - 1, h.dimensions);
  coordinates.push_back("centroid_size");
  add("-superimposed", matrix_rows(h.data), std::move(coordinates), {});
  const std::string manifest = sample + "-manifest.json";
  // Every name is checked before the first table is written.
  const std::vector<ReadFile> inputs = read_files(session);
  for (const Table& table : tables)
    refuse_overwriting_input("The table", *folder + table.name, inputs);
  refuse_overwriting_input("The manifest", *folder + manifest, inputs);
  std::vector<std::string> written;
  for (const Table& table : tables) {
    const std::string warning = write_table(*folder + table.name, TableFormat::Csv, table.rows,
                                            table.columns, h.records, table.transform);
    if (!warning.empty()) session.warn(warning);
    written.push_back(table.name);
  }
  // The manifest of what was written, as the batch tool writes one of its run.
  RunManifest run;
  run.command_line = {"distangler", "Export tables..."};
  for (const SpecimenRecord& record : h.records) {
    if (run.inputs.empty() || run.inputs.back().path != record.file()) {
      run.inputs.push_back({"sample", record.file()});
    }
  }
  run.pairs = h.tlengths;
  run.triples = h.tangles;
  const TpsOptions& reading = session.tps_options;
  run.options = {{"format", "csv"},
                 {"curves", reading.curves},
                 {"missing", reading.missing},
                 {"missing_code", missing_code_text(reading)}};
  run.specimens = h.data.rows();
  run.landmarks = landmark_count(h.data.cols(), h.dimensions);
  run.dimensions = h.dimensions;
  run.consensus_passes = h.consensus_passes;
  run.incomplete_specimens = incomplete_rows(h.data, h.dimensions);
  run.warnings = warning_lines(session.platform.console_text());
  for (const std::string& name : written) run.outputs.push_back({*folder + name, h.data.rows()});
  write_manifest(*folder + manifest, run);
  std::string list;
  for (const std::string& name : written) list += name + ", ";
  const std::string line = "Wrote " + std::to_string(written.size()) +
                           " tables and their manifest to " + *folder + ": " + list + manifest;
  session.print(line + "\n");
  session.report(line);
  if (wrote_distances) h.distances_saved = true;
}

}  // namespace dg::actions

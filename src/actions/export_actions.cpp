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

const char* title(Export what) {
  switch (what) {
    case Export::Angles:
    case Export::Degrees:
      return "File Name for Angular Dataset";
    case Export::Lengths:
      return "File Name for Traditional Dataset";
    case Export::LogLengths:
      return "File Name for Log Transformed Traditional Dataset";
    case Export::Constrained:
      return "File Name for Constrained Traditional Dataset";
  }
  return "";
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
  bool angular = what == Export::Angles || what == Export::Degrees;
  // The triples are checked before the dialog; the rows are computed as they are written.
  RowSource angles;
  if (angular) angles = angle_rows(session.handler.data, session.handler.tangles);
  auto choice = session.platform.put_file("*.*", title(what));
  if (choice) {
    const RowSource rows = angular ? std::move(angles) : distance_rows(session.handler);
    RowTransform transform;
    if (what == Export::Degrees) transform = degrees;
    if (what == Export::LogLengths) transform = log_transform;
    if (what == Export::Constrained) transform = size_constraint;
    if (session.table_format == TableFormat::Plain) {
      write_dataset(choice->path(), rows, transform);
    } else {
      const std::string warning = write_table(choice->path(), session.table_format, rows,
                                              column_names(session.handler, what, rows.cols),
                                              session.handler.records, transform);
      if (!warning.empty()) session.warn(warning);
    }
  }
  if (what == Export::Lengths || what == Export::Constrained) enable(session, "Save", false);
}

void export_tables(Session& session) {
  const HandlerState& h = session.handler;
  if (h.data.empty()) raise("There are no datasets to export: load a sample first.");
  auto folder = session.platform.get_folder("Folder for the tables");
  if (!folder) return;
  // Named after the sample: the first file's name without its extension.
  std::string sample = h.records.empty() ? std::string("sample") : h.records.front().file();
  sample = sample.substr(sample.find_last_of("/\\") + 1);
  if (const std::size_t dot = sample.rfind('.'); dot != std::string::npos && dot > 0) {
    sample.erase(dot);
  }
  std::vector<std::string> written;
  const auto write = [&](const char* suffix, const RowSource& rows,
                         std::vector<std::string> columns, const RowTransform& transform) {
    const std::string name = sample + suffix + ".csv";
    const std::string warning =
        write_table(*folder + name, TableFormat::Csv, rows, columns, h.records, transform);
    if (!warning.empty()) session.warn(warning);
    written.push_back(name);
  };
  if (const RowSource distances = distance_rows(h); distances.rows * distances.cols != 0) {
    const std::size_t cols = distances.cols;
    write("-distances", distances, column_names(h, Export::Lengths, cols), {});
    write("-log-distances", distances, column_names(h, Export::LogLengths, cols), log_transform);
    write("-constrained", distances, column_names(h, Export::Constrained, cols), size_constraint);
  }
  if (!h.tangles.empty()) {
    const RowSource angles = angle_rows(h.data, h.tangles);
    write("-angles", angles, column_names(h, Export::Angles, angles.cols), {});
    write("-degrees", angles, column_names(h, Export::Degrees, angles.cols), degrees);
  }
  std::vector<std::string> coordinates = coordinate_columns(h.data.cols() - 1);
  coordinates.push_back("centroid_size");
  write("-superimposed", matrix_rows(h.data), std::move(coordinates), {});
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
  run.landmarks = landmark_count(h.data.cols());
  run.consensus_passes = h.consensus_passes;
  run.incomplete_specimens = incomplete_rows(h.data);
  run.warnings = warning_lines(session.platform.console_text());
  for (const std::string& name : written) run.outputs.push_back({*folder + name, h.data.rows()});
  const std::string manifest = sample + "-manifest.json";
  write_manifest(*folder + manifest, run);
  std::string list;
  for (const std::string& name : written) list += name + ", ";
  session.print("Wrote " + std::to_string(written.size()) + " tables and their manifest to " +
                *folder + ": " + list + manifest + "\n");
}

}  // namespace dg::actions

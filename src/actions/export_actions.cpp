#include "actions/dahand_actions.hpp"
#include "input/missing_code.hpp"
#include "output/manifest.hpp"
#include "pipeline/write_outputs.hpp"
#include "protocol/landmark_list.hpp"
#include "runtime/array/error.hpp"

namespace dg::actions {
namespace {

struct SaveKind {
  Output output;
  const char* title;
  const char* suffix;  // of the suggested file name, after the sample's name
};

SaveKind save_kind(Export what) {
  switch (what) {
    case Export::Angles:
      return {Output::angles, "Save the angles (radians) as", "-angles.txt"};
    case Export::Degrees:
      return {Output::degrees, "Save the angles (degrees) as", "-degrees.txt"};
    case Export::Lengths:
      return {Output::lengths, "Save the distances as", "-distances.txt"};
    case Export::LogLengths:
      return {Output::log_lengths, "Save the log distances as", "-log-distances.txt"};
    case Export::Constrained:
      break;
  }
  return {Output::constrained, "Save the constrained distances as", "-constrained.txt"};
}

// The lists the outputs use are checked against the sample here, each error
// naming the row and the landmark; a list not used is not checked. The
// tables carry the groups set in the Analyses menu.
Study study_of(const Session& session, bool distances, bool angles) {
  const HandlerState& h = session.handler;
  const std::size_t k = h.sample.landmarks();
  const auto& groups = session.analyses.groups;
  return {h.sample, distances ? checked_list(h.tlengths, 2, k) : CheckedList{h.tlengths, 2, {}},
          angles ? checked_list(h.tangles, 3, k) : CheckedList{h.tangles, 3, {}},
          matrix_rows(h.traddata), groups ? &*groups : nullptr};
}

void warn_all(Session& session, const std::vector<std::string>& warnings) {
  for (const std::string& warning : warnings) session.warn(warning);
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
  // The list is checked before the dialog.
  const Study study = study_of(session, !angular, angular);
  const SaveKind kind = save_kind(what);
  auto choice =
      ask_save(session, "*.txt", kind.title, sample_name(h) + kind.suffix, sample_folder(h));
  if (!choice) return;
  std::vector<std::string> warnings;
  const Written written =
      write_output(study, kind.output, choice->path(), session.table_format, warnings);
  warn_all(session, warnings);
  if (!angular) h.distances_saved = true;
  session.report("Saved " + count_of(written.rows, "row") + " to " + choice->name);
}

void export_tables(Session& session) {
  HandlerState& h = session.handler;
  if (no_sample(session)) return;
  auto folder = session.platform.get_folder("Choose a folder for the tables");
  if (!folder) return;
  const std::string sample = sample_name(h);
  const bool distances = !h.traddata.empty();
  const Study study = study_of(session, distances, !h.tangles.empty());
  std::vector<std::pair<Output, std::string>> tables;
  const auto add = [&](Output what, const char* suffix) {
    tables.emplace_back(what, *folder + sample + suffix + ".csv");
  };
  if (distances) {
    add(Output::lengths, "-distances");
    add(Output::log_lengths, "-log-distances");
    add(Output::constrained, "-constrained");
  }
  if (!h.tangles.empty()) {
    add(Output::angles, "-angles");
    add(Output::degrees, "-degrees");
  }
  add(Output::superimposed, "-superimposed");
  const std::string manifest = sample + "-manifest.json";
  // Every name is checked before the first table is written.
  const std::vector<ReadFile> inputs = read_files(session);
  for (const auto& [what, path] : tables) refuse_overwriting_input("The table", path, inputs);
  refuse_overwriting_input("The manifest", *folder + manifest, inputs);
  std::vector<std::string> warnings;
  std::vector<std::string> written;
  RunManifest run;
  for (const auto& [what, path] : tables) {
    const Written table =
        write_output(study, what, path, TableFormat::Csv, warnings, Digest::sha256);
    warn_all(session, warnings);
    warnings.clear();
    written.push_back(split_path(path).name);
    run.outputs.push_back({path, table.rows, table.sha256});
  }
  // The manifest of what was written, as the batch tool writes one of its run.
  const Sample& s = h.sample;
  run.command_line = {"distangler", "Export tables..."};
  for (const SpecimenRecord& record : s.records) {
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
  if (s.converged) run.options["converge"] = true;
  // Specimens left out of the sample as loaded, each with its file, its
  // number in it, its ID and why.
  for (const LeftOut& out : session.analyses.left_out) {
    run.options["left_out"].push_back({{"file", out.record.file()},
                                       {"specimen", out.record.number},
                                       {"id", std::string(out.record.id())},
                                       {"reason", out.reason}});
  }
  run.specimens = s.specimens();
  run.landmarks = s.landmarks();
  run.dimensions = s.dimensions;
  run.consensus_passes = s.passes;
  run.incomplete_specimens = incomplete_rows(s.coordinates);
  run.warnings = session.warnings;
  write_manifest(*folder + manifest, run);
  std::string list;
  for (const std::string& name : written) list += name + ", ";
  const std::string line = "Wrote " + std::to_string(written.size()) +
                           " tables and their manifest to " + *folder + ": " + list + manifest;
  session.print(line + "\n");
  session.report(line);
  if (distances) h.distances_saved = true;
}

}  // namespace dg::actions

// The manifest of one batch run, a JSON file that says what the run read,
// with which settings, what it found and what it wrote, so that a dataset can
// be traced back to its inputs and checked against them later:
//
//   version         the program's version
//   command_line    the arguments, the program's name first
//   inputs          [{role: "sample" | "pairs" | "triples", path, size, sha256}], a
//                   sample with an edits log beside it (edits_log.hpp) with
//                   edits: {log, rows: [{specimen, id, landmark, old, new, time}]},
//                   old and new the coordinates (null for missing)
//   pairs, triples  the lists as used: [n, a, b] and [n, a, v, b] per row
//   options         what the run was given (format, curves, missing, ...)
//   counts          {specimens, landmarks, consensus_passes, incomplete_specimens}, with
//                   dimensions: 3 after landmarks for a 3-D sample (none for 2-D)
//   warnings        the run's warnings, without their "Warning: " prefix
//   outputs         [{path, rows, sha256}]; empty when the run failed
//   error           null, or the message that ended a failed run
//
// Digests are SHA-256 in lower-case hex (sha256_file). A file that is not a
// regular file (an output written to /dev/null) has null size and digest, as
// has an input of a failed run that cannot be read. Text that is not UTF-8
// (Latin-1 paths, IDs quoted in warnings) is written with its other bytes as
// \xNN, so the file is valid JSON. The manifest is replaced whole
// (AtomicFile), with 2-space indentation; failures raise a RuntimeError
// naming the file.
#pragma once

#include <cstddef>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "output/edits_log.hpp"
#include "runtime/array/matrix.hpp"

namespace dg {

struct ManifestInput {
  std::string role;  // "sample", "pairs" or "triples"
  std::string path;
  std::optional<EditsLog> edits = std::nullopt;  // the corrections logged beside a sample
};

struct ManifestOutput {
  std::string path;
  std::optional<std::size_t> rows;  // data rows (a table's header not counted); none for a plot
  std::optional<std::string> sha256 =
      std::nullopt;  // as its writer read it back; else from the file
};

struct RunManifest {
  std::vector<std::string> command_line;
  std::vector<ManifestInput> inputs;
  Matrix pairs;  // empty when the run used none
  Matrix triples;
  nlohmann::ordered_json options = nlohmann::ordered_json::object();
  std::size_t specimens = 0, landmarks = 0, consensus_passes = 0, incomplete_specimens = 0;
  std::size_t dimensions = 2;  // coordinates per landmark
  std::vector<std::string> warnings;
  std::vector<ManifestOutput> outputs;
  std::optional<std::string> error;
};

// The rows of a coordinate matrix with a missing (NaN) coordinate.
std::size_t incomplete_rows(const Matrix& data);

// The manifest as JSON; reads every input and output for its digest. The
// outputs are left out when `error` is set.
nlohmann::ordered_json manifest_json(const RunManifest& run);

void write_manifest(const std::string& path, const RunManifest& run);

}  // namespace dg

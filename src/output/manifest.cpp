#include "output/manifest.hpp"

#include <cmath>
#include <cstdint>
#include <filesystem>

#include "output/sha256.hpp"
#include "runtime/array/error.hpp"
#include "runtime/array/excerpt.hpp"
#include "runtime/array/file_io.hpp"

#ifndef DISTANGLER_VERSION
#error "DISTANGLER_VERSION is set by CMake from the project's version"
#endif

namespace dg {
namespace {

using json = nlohmann::ordered_json;

// Landmark numbers and labels are whole numbers and are written as such.
json number(double value) {
  if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 9.0e15) {
    return static_cast<std::int64_t>(value);
  }
  return value;  // NaN and infinities become null
}

json list(const Matrix& rows) {
  json out = json::array();
  for (std::size_t r = 0; r < rows.rows(); ++r) {
    json row = json::array();
    for (double value : rows.row(r)) row.push_back(number(value));
    out.push_back(std::move(row));
  }
  return out;
}

bool regular_file(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::is_regular_file(file_path(path), ignored);
}

json edits_entry(const EditsLog& log) {
  json rows = json::array();
  for (const EditsLogRow& row : log.rows) {
    json old_values = json::array();
    json new_values = json::array();
    for (double v : row.old_values) old_values.push_back(number(v));
    for (double v : row.new_values) new_values.push_back(number(v));
    rows.push_back({{"specimen", row.specimen},
                    {"id", row.id},
                    {"landmark", row.landmark},
                    {"old", std::move(old_values)},
                    {"new", std::move(new_values)},
                    {"time", row.time}});
  }
  return {{"log", log.name}, {"rows", std::move(rows)}};
}

json input_entry(const ManifestInput& input, bool run_failed) {
  json entry = {{"role", input.role}, {"path", input.path}, {"size", nullptr}, {"sha256", nullptr}};
  if (input.edits) entry["edits"] = edits_entry(*input.edits);
  if (!regular_file(input.path)) return entry;
  try {
    const FileDigest digest = sha256_file(input.path);
    entry["size"] = digest.size;
    entry["sha256"] = digest.sha256;
  } catch (const RuntimeError&) {
    // A failed run may have failed on this very file; its manifest still records the error.
    if (!run_failed) throw;
  }
  return entry;
}

json output_entry(const ManifestOutput& output) {
  json entry = {{"path", output.path}, {"rows", nullptr}, {"sha256", nullptr}};
  if (output.rows) entry["rows"] = *output.rows;
  if (output.sha256) {
    entry["sha256"] = *output.sha256;
  } else if (regular_file(output.path)) {
    entry["sha256"] = sha256_file(output.path).sha256;
  }
  return entry;
}

// Every text of the document as valid UTF-8, bytes outside it as \xNN.
void escape_texts(json& value) {
  if (value.is_string()) {
    value = escape_bytes(value.get_ref<const std::string&>(), false);
  } else if (value.is_structured()) {
    for (json& item : value) escape_texts(item);
  }
}

}  // namespace

std::size_t incomplete_rows(const Matrix& data) {
  const std::size_t coordinates = data.cols();
  std::size_t count = 0;
  for (std::size_t r = 0; r < data.rows(); ++r) {
    const auto row = data.row(r);
    for (std::size_t c = 0; c < coordinates; ++c) {
      if (std::isnan(row[c])) {
        ++count;
        break;
      }
    }
  }
  return count;
}

json manifest_json(const RunManifest& run) {
  const bool failed = run.error.has_value();
  json inputs = json::array();
  for (const ManifestInput& input : run.inputs) inputs.push_back(input_entry(input, failed));
  json outputs = json::array();
  if (!failed) {
    for (const ManifestOutput& output : run.outputs) outputs.push_back(output_entry(output));
  }
  json out = json::object();
  out["version"] = DISTANGLER_VERSION;
  out["command_line"] = run.command_line;
  out["inputs"] = std::move(inputs);
  out["pairs"] = list(run.pairs);
  out["triples"] = list(run.triples);
  out["options"] = run.options;
  json counts = {{"specimens", run.specimens}, {"landmarks", run.landmarks}};
  // A 2-D run's manifest stays as it always was; a 3-D one says so.
  if (run.dimensions != 2) counts["dimensions"] = run.dimensions;
  counts["consensus_passes"] = run.consensus_passes;
  counts["incomplete_specimens"] = run.incomplete_specimens;
  out["counts"] = std::move(counts);
  out["warnings"] = run.warnings;
  out["outputs"] = std::move(outputs);
  out["error"] = failed ? json(*run.error) : json(nullptr);
  escape_texts(out);
  return out;
}

void write_manifest(const std::string& path, const RunManifest& run) {
  const std::string text = manifest_json(run).dump(2) + "\n";
  AtomicFile file(path);
  file.write(text);
  file.commit();
}

}  // namespace dg

// The road of a sample from its files to a Sample: reading (TPS files as one
// sample, or a plain matrix taken as it is), each specimen's record and
// size, the checks of what was read, the superimposition of a TPS sample
// (with specimens that miss landmarks fitted by their present ones) and the
// findings that do not stop the load, returned as warnings in the order they
// arose. Raises a RuntimeError naming the file and the specimen for what
// cannot be loaded; nothing is returned then. No dialog, no current folder.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "input/tps_scan.hpp"
#include "pipeline/sample.hpp"

namespace dg {

enum class SampleFormat { tps, tps_scale, matrix };

struct LoadOptions {
  SampleFormat format = SampleFormat::tps;
  // How TPS files are read; `dimensions` also sets a matrix's (3: 3k + 1
  // columns). with_scale follows the format.
  TpsOptions reading;
  // Superimpose a TPS sample until it has converged (converge_sample).
  bool converge = false;
};

// The steps of a TPS load after the reading (`data`, read with centsize as
// its size): the superimposition (specimens that miss landmarks fitted by
// their present ones), then the findings that do not stop a load, appended
// to `warnings` after the reader's own. `name` names the sample in warnings,
// `source` (as "loaded from a.tps") the refusal of a sample without a
// complete specimen.
Sample finish_tps_load(TpsData data, const std::string& name, const std::string& source,
                       std::vector<std::string>& warnings);

// Takes a superimposed sample on until no specimen turns by more than a few
// units in the last place in a pass (converge_consensus; incomplete
// specimens fitted again by their present landmarks), which the
// Procrustes distances and exported coordinates of a study can rely on; the
// standard stopping of a load leaves specimens up to about 1e-5 radians
// short. A warning is appended when it does not settle. A sample taken as it
// is (no consensus) or converged already is left as it is.
void converge_sample(Sample& sample, std::vector<std::string>& warnings);

// The sample without the specimens in `rows` (0-based), the others
// superimposed again as they stand (converged again when the sample was; a
// matrix taken as it is stays as it is), their sizes, records and partial
// sizes kept. Raises a RuntimeError for a row beyond the sample and when no
// specimen would be left.
Sample without_specimens(const Sample& sample, const std::vector<std::size_t>& rows,
                         std::vector<std::string>& warnings);

// What the analyses that need the converged superimposition take: the sample
// itself when it is converged or has no consensus, else a converged copy,
// kept in `copy`.
const Sample& converged_view(const Sample& sample, std::optional<Sample>& copy,
                             std::vector<std::string>& warnings);

// `paths` names the files (one for a matrix). The findings are appended to
// `warnings` (without a "Warning: " prefix) as they arise, so that those made
// before a failure are kept too.
Sample load_sample(const std::vector<std::string>& paths, const LoadOptions& options,
                   std::vector<std::string>& warnings);

}  // namespace dg

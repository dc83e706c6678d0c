#include "pipeline/load_sample.hpp"

#include <algorithm>
#include <memory>

#include "input/dload.hpp"
#include "input/sample_survey.hpp"
#include "morpho/centsize.hpp"
#include "morpho/getconsensus.hpp"
#include "morpho/partial_fit.hpp"
#include "output/manifest.hpp"
#include "runtime/array/error.hpp"
#include "runtime/array/file_io.hpp"

namespace dg {
namespace {

// A plain matrix, one specimen a line: the coordinates of its k landmarks,
// then its size in the last column; a column between them is not used.
Sample read_matrix(const std::string& path, std::size_t dims, std::vector<std::string>& warnings) {
  const std::string name = file_name(path);
  Matrix m = dload(path);
  if (m.empty()) {
    raise("The file \"" + name + "\" holds no numbers; a landmark matrix needs at least one row.");
  }
  const std::size_t width = m.cols();
  if (dims == 3 && width % 3 != 1) {
    raise("\"" + name + "\" has " + std::to_string(width) +
          " columns where a 3-D sample of k landmarks has 3k + 1 (x, y and z of each "
          "landmark, then the size).");
  }
  const std::size_t k = (width - 1) / dims;
  if (dims == 2 && width % 2 == 0) {
    warnings.push_back("\"" + name + "\" has " + std::to_string(width) +
                       " columns where a sample of k landmarks has 2k + 1 (x and y of each "
                       "landmark, then the size); it is read as " +
                       std::to_string(k) +
                       " landmarks with the size in its last column, and column " +
                       std::to_string(width - 1) + " is not used.");
  }
  Sample s;
  s.dimensions = dims;
  s.name = name;
  s.coordinates = Matrix(m.rows(), dims * k);
  s.sizes.resize(m.rows());
  for (std::size_t i = 0; i < m.rows(); ++i) {
    const auto row = m.row(i);
    std::copy(row.begin(), row.begin() + static_cast<std::ptrdiff_t>(dims * k),
              s.coordinates.row(i).begin());
    s.sizes[i] = row[width - 1];
  }
  s.records.resize(m.rows());
  const auto text = std::make_shared<const RecordText>(RecordText{path, {}});
  for (std::size_t i = 0; i < s.records.size(); ++i) {
    // Rows end at the first blank line, so row i stands on line i.
    s.records[i].attach(text);
    s.records[i].number = s.records[i].line = i + 1;
  }
  return s;
}

std::string unsettled(const std::string& name) {
  return "the superimposition of \"" + name + "\" did not settle within " +
         std::to_string(kConsensusPassLimit) + " passes; the last pass is kept.";
}

// Superimposes `coordinates` into `s` (its coordinates, dimension, consensus
// and passes, and the partial sizes of specimens fitted by their present
// landmarks), with the warnings of a superimposition that did not settle.
void superimpose(Sample& s, Matrix coordinates, std::size_t dims, bool incomplete,
                 std::vector<std::string>& warnings) {
  PartialFitResult partial;
  if (incomplete) {
    partial = superimpose_with_missing(std::move(coordinates), dims);
  } else {
    partial.fit = getconsensus(std::move(coordinates), dims);
  }
  ConsensusResult& fit = partial.fit;
  if (fit.reached_pass_limit) {
    warnings.push_back(unsettled(s.name));
  } else if (fit.non_finite) {
    warnings.push_back("\"" + s.name +
                       "\" has specimens with missing (NaN) or coinciding coordinates; the "
                       "superimposition stopped after its first pass.");
  }
  s.coordinates = std::move(fit.superimposed);
  s.dimensions = dims;
  s.consensus = std::move(fit.consensus);
  s.consensus_scale = fit.scale;
  s.passes = fit.passes;
  s.partial_size = std::move(partial.partial_size);
}

}  // namespace

Sample without_specimens(const Sample& sample, const std::vector<std::size_t>& rows,
                         std::vector<std::string>& warnings) {
  const std::size_t n = sample.specimens();
  std::vector<bool> drop(n, false);
  for (const std::size_t row : rows) {
    if (row >= n) {
      raise("The sample has " + std::to_string(n) + " specimens; there is no specimen " +
            std::to_string(row + 1) + " to leave out.");
    }
    drop[row] = true;
  }
  const auto kept = static_cast<std::size_t>(std::count(drop.begin(), drop.end(), false));
  if (kept == 0) raise("Leaving out every specimen would leave no sample.");
  Matrix coordinates(kept, sample.coordinates.cols());
  Sample s;
  s.name = sample.name;
  std::vector<double> partial;
  for (std::size_t i = 0, to = 0; i < n; ++i) {
    if (drop[i]) continue;
    const auto row = sample.coordinates.row(i);
    std::copy(row.begin(), row.end(), coordinates.row(to++).begin());
    s.sizes.push_back(sample.sizes[i]);
    s.records.push_back(sample.records[i]);
    if (!sample.partial_size.empty()) partial.push_back(sample.partial_size[i]);
  }
  if (sample.consensus.empty()) {
    s.coordinates = std::move(coordinates);
    s.dimensions = sample.dimensions;
    return s;
  }
  // The specimens left are superimposed again as they stand; an incomplete
  // one is fitted at its present size, so its factor back to the size it was
  // read at is the old one times the new fit's.
  const bool incomplete = incomplete_rows(coordinates) > 0;
  superimpose(s, std::move(coordinates), sample.dimensions, incomplete, warnings);
  if (!s.partial_size.empty()) {
    for (std::size_t i = 0; i < kept; ++i) s.partial_size[i] *= partial[i];
  }
  if (sample.converged) converge_sample(s, warnings);
  return s;
}

void converge_sample(Sample& s, std::vector<std::string>& warnings) {
  if (s.consensus.empty() || s.converged) return;
  PartialFitResult fit;
  fit.fit.superimposed = std::move(s.coordinates);
  fit.fit.consensus = std::move(s.consensus);
  fit.fit.scale = s.consensus_scale;
  fit.fit.passes = s.passes;
  fit.partial_size = std::move(s.partial_size);
  if (!fit.partial_size.empty()) fit.incomplete = incomplete_rows(fit.fit.superimposed);
  converge_with_missing(fit, s.dimensions);
  if (fit.fit.reached_pass_limit) warnings.push_back(unsettled(s.name));
  s.coordinates = std::move(fit.fit.superimposed);
  s.consensus = std::move(fit.fit.consensus);
  s.consensus_scale = fit.fit.scale;
  s.passes = fit.fit.passes;
  s.partial_size = std::move(fit.partial_size);
  s.converged = true;
}

const Sample& converged_view(const Sample& sample, std::optional<Sample>& copy,
                             std::vector<std::string>& warnings) {
  if (sample.converged || sample.consensus.empty()) return sample;
  copy = sample;
  converge_sample(*copy, warnings);
  return *copy;
}

Sample finish_tps_load(TpsData data, const std::string& name, const std::string& source,
                       std::vector<std::string>& warnings) {
  for (std::string& warning : data.warnings) warnings.push_back(std::move(warning));
  if (data.incomplete > 0 && data.incomplete == data.coordinates.rows()) {
    raise(no_complete_specimen(data.incomplete, source));
  }
  // Superimposed before anything is kept, so a failure keeps nothing.
  Sample s;
  s.name = name;
  superimpose(s, std::move(data.coordinates), data.dimensions, data.incomplete > 0, warnings);
  s.sizes = std::move(data.sizes);
  s.records = std::move(data.records);
  for (std::string& warning : sample_warnings(s.sizes, s.records)) {
    warnings.push_back(std::move(warning));
  }
  return s;
}

Sample load_sample(const std::vector<std::string>& paths, const LoadOptions& options,
                   std::vector<std::string>& warnings) {
  if (paths.empty()) raise("No file to load the sample from.");
  if (options.format == SampleFormat::matrix) {
    Sample s = read_matrix(paths.front(), options.reading.dimensions == 3 ? 3 : 2, warnings);
    // Sizes far from the median and IDs used twice; the load goes on.
    for (std::string& warning : sample_warnings(s.sizes, s.records)) {
      warnings.push_back(std::move(warning));
    }
    return s;
  }
  TpsOptions reading = options.reading;
  reading.with_scale = options.format == SampleFormat::tps_scale;
  TpsData data = read_tps_files(paths, reading, centsize);
  std::string name = file_name(paths.front());
  if (paths.size() > 1) {
    name += " and " + std::to_string(paths.size() - 1) +
            (paths.size() == 2 ? " more file" : " more files");
  }
  Sample s = finish_tps_load(std::move(data), name, "loaded from " + name, warnings);
  if (options.converge) converge_sample(s, warnings);
  return s;
}

}  // namespace dg

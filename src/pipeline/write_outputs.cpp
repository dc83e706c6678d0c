#include "pipeline/write_outputs.hpp"

#include <cctype>
#include <memory>

#include "output/sha256.hpp"
#include "output/write_tps.hpp"
#include "pipeline/measurements.hpp"
#include "protocol/landmark_list.hpp"
#include "runtime/array/error.hpp"

namespace dg {
namespace {

// Whether a file name ends in ".tps", in any letter case.
bool tps_name(const std::string& path) {
  if (path.size() < 4) return false;
  std::string end = path.substr(path.size() - 4);
  for (char& c : end) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return end == ".tps";
}

std::vector<std::string> coordinate_names(const Sample& sample) {
  std::vector<std::string> names = coordinate_columns(sample.coordinates.cols(), sample.dimensions);
  names.push_back("centroid_size");
  return names;
}

// A plain dataset, or a table of `rows` with the sample's records.
std::size_t write_rows(const std::string& path, TableFormat format, const RowSource& rows,
                       const std::vector<std::string>& columns,
                       std::span<const SpecimenRecord> records, const RowTransform& transform,
                       bool exact, std::vector<std::string>& warnings,
                       const GroupColumn& groups = {}) {
  if (format == TableFormat::Plain) {
    exact ? write_exact(path, rows) : write_dataset(path, rows, transform);
  } else {
    const std::string warning =
        write_table(path, format, rows, columns, records, transform, {}, groups);
    if (!warning.empty()) warnings.push_back(warning);
  }
  return rows.rows;
}

std::size_t write_consensus(const Sample& sample, const std::string& path, TableFormat format,
                            std::vector<std::string>& warnings) {
  if (sample.consensus.empty()) {
    raise("No consensus to write to \"" + path + "\": the sample was not superimposed.");
  }
  if (tps_name(path)) {
    write_tps_consensus(path, sample.consensus, sample.dimensions);
    return 1;
  }
  const Matrix row = consensus_row(sample);
  std::vector<SpecimenRecord> record(1);
  auto text = std::make_shared<RecordText>();
  record[0].set(SpecimenRecord::Id, text->values, "consensus");
  record[0].number = 1;
  record[0].attach(text);
  return write_rows(path, format, matrix_rows(row), coordinate_names(sample), record, {}, true,
                    warnings);
}

RowTransform transform_of(Output what) {
  switch (what) {
    case Output::log_lengths:
      return log_transform;
    case Output::constrained:
      return size_constraint;
    case Output::degrees:
      return degrees;
    default:
      return {};
  }
}

}  // namespace

std::vector<std::string> output_columns(const Study& study, Output what, std::size_t count) {
  std::vector<std::string> names;
  switch (what) {
    case Output::angles:
    case Output::degrees:
      return triple_columns(study.triples.rows);
    case Output::lengths:
      names = pair_columns(study.pairs.rows, "d");
      break;
    case Output::log_lengths:
      names = pair_columns(study.pairs.rows, "log_d");
      break;
    case Output::constrained:
      names = pair_columns(study.pairs.rows, "c_d");
      break;
    default:
      return coordinate_names(study.sample);
  }
  if (names.size() < count) names.push_back("centroid_size");
  return names;
}

namespace {

Written write_one(const Study& study, Output what, const std::string& path, TableFormat format,
                  std::vector<std::string>& warnings) {
  const Sample& s = study.sample;
  const auto& records = s.records;
  switch (what) {
    case Output::lengths:
    case Output::log_lengths:
    case Output::constrained:
      return {path, write_rows(path, format, study.distances,
                               output_columns(study, what, study.distances.cols), records,
                               transform_of(what), false, warnings, group_column(study.groups))};
    case Output::angles:
    case Output::degrees: {
      const RowSource angles = angle_rows(s, study.triples.landmarks);
      return {path,
              write_rows(path, format, angles, output_columns(study, what, angles.cols), records,
                         transform_of(what), false, warnings, group_column(study.groups))};
    }
    case Output::superimposed:
      return {path, write_rows(path, format, coordinate_rows(s), coordinate_names(s), records, {},
                               true, warnings, group_column(study.groups))};
    case Output::superimposed_tps:
      write_tps(path, s.coordinates, s.dimensions, records);
      return {path, s.specimens()};
    case Output::consensus:
      return {path, write_consensus(s, path, format, warnings)};
  }
  return {path, 0};
}

}  // namespace

Written written_file(const std::string& path, std::size_t rows, Digest digest) {
  Written written{path, rows};
  if (digest == Digest::sha256) written.sha256 = sha256_file(path).sha256;
  return written;
}

Written write_named_table(const std::string& path, TableFormat format,
                          const std::vector<std::string>& columns,
                          const std::vector<std::string>& names, const RowSource& rows,
                          const FieldText& text, Digest digest) {
  if (format == TableFormat::Plain) {
    write_exact(path, rows);
  } else {
    write_named_rows(path, format, columns, names, rows, text);
  }
  return written_file(path, rows.rows, digest);
}

Written write_output(const Study& study, Output what, const std::string& path, TableFormat format,
                     std::vector<std::string>& warnings, Digest digest) {
  const Written written = write_one(study, what, path, format, warnings);
  return written_file(path, written.rows, digest);
}

bool distance_output(Output what) {
  return what == Output::lengths || what == Output::log_lengths || what == Output::constrained;
}

std::optional<std::vector<Written>> write_distances_at_once(
    const Study& study, const std::vector<std::pair<Output, std::string>>& outputs,
    TableFormat format, std::vector<std::string>& warnings, Digest digest) {
  if (outputs.size() < 2) return std::nullopt;
  std::vector<std::string> paths;
  for (const auto& [what, path] : outputs) {
    if (!distance_output(what)) return std::nullopt;
    paths.push_back(path);
  }
  if (!plain_targets(paths)) return std::nullopt;
  if (format == TableFormat::Plain) {
    std::vector<DatasetFile> files;
    for (const auto& [what, path] : outputs) files.push_back({path, transform_of(what)});
    write_datasets(files, study.distances);
  } else {
    std::vector<TableFile> files;
    for (const auto& [what, path] : outputs) {
      files.push_back(
          {path, output_columns(study, what, study.distances.cols), transform_of(what)});
    }
    for (std::string& warning : write_tables(files, format, study.distances, study.sample.records,
                                             group_column(study.groups))) {
      if (!warning.empty()) warnings.push_back(std::move(warning));
    }
  }
  std::vector<Written> written;
  for (const std::string& path : paths) {
    written.push_back(written_file(path, study.distances.rows, digest));
  }
  return written;
}

std::vector<Written> write_outputs(const Study& study,
                                   const std::vector<std::pair<Output, std::string>>& outputs,
                                   TableFormat format, std::vector<std::string>& warnings,
                                   Digest digest) {
  if (auto together = write_distances_at_once(study, outputs, format, warnings, digest)) {
    return *together;
  }
  std::vector<Written> written;
  for (const auto& [what, path] : outputs) {
    written.push_back(write_output(study, what, path, format, warnings, digest));
  }
  return written;
}

}  // namespace dg

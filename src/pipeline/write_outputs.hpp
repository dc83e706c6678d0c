// Writes the datasets, tables and TPS files of a study, each whole or not at
// all (the writers replace a file only when it is complete), and says what
// was written, for the manifest of a run.
//
// A study is a sample with its pair and triple lists checked against it and
// the rows of its traditional dataset (computed as they are written, or
// kept).
// Each output is written in the plain dataset format (values as "%g ", the
// superimposed sample and the consensus with every digit), or as a CSV or
// TSV table with a header and the specimens' columns; TPS outputs are TPS
// whatever the format, and a consensus file whose name ends in ".tps" too.
// Warnings (values a table writes as NA) are appended to `warnings`.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "output/dataset_file.hpp"
#include "output/table.hpp"
#include "pipeline/groups.hpp"
#include "pipeline/sample.hpp"
#include "protocol/landmark_list.hpp"

namespace dg {

struct Study {
  const Sample& sample;
  CheckedList pairs;
  CheckedList triples;
  RowSource distances;
  // The groups of the specimens, which the tables write in a group column.
  const SpecimenGroups* groups = nullptr;
};

enum class Output {
  lengths,           // the traditional dataset: the distances, then the size
  log_lengths,       // their natural logarithms, then the size
  constrained,       // each divided by their root sum of squares, then the size
  angles,            // the angles of the triples, in radians
  degrees,           // in degrees
  superimposed,      // each specimen's coordinates, then its size
  superimposed_tps,  // the sample as a TPS file
  consensus,         // the consensus of a superimposed sample
};

// Whether a write also reads back what it wrote for its SHA-256, as a
// manifest records it.
enum class Digest { none, sha256 };

struct Written {
  std::string path;
  std::size_t rows = 0;
  std::optional<std::string> sha256 = std::nullopt;  // lower-case hex, with Digest::sha256
};

Written write_output(const Study& study, Output what, const std::string& path, TableFormat format,
                     std::vector<std::string>& warnings, Digest digest = Digest::none);

// Whether the output is a dataset of the distances: lengths, log lengths or
// constrained distances.
bool distance_output(Output what);

// Distance datasets or tables (lengths, log lengths, constrained) written in
// one pass over the sample, each row's distances computed once, the files'
// bytes and warnings those write_output writes; in the order given. Nullopt,
// and nothing written, unless there are two or more, each is a distance
// dataset and their paths allow it (plain_targets).
std::optional<std::vector<Written>> write_distances_at_once(
    const Study& study, const std::vector<std::pair<Output, std::string>>& outputs,
    TableFormat format, std::vector<std::string>& warnings, Digest digest = Digest::none);

// The outputs in the order given.
std::vector<Written> write_outputs(const Study& study,
                                   const std::vector<std::pair<Output, std::string>>& outputs,
                                   TableFormat format, std::vector<std::string>& warnings,
                                   Digest digest = Digest::none);

// What was written at `path`, with its SHA-256 for Digest::sha256.
Written written_file(const std::string& path, std::size_t rows, Digest digest);

// A table of one row per entry: plain (each value exactly, without the
// names) or named (write_named_rows).
Written write_named_table(const std::string& path, TableFormat format,
                          const std::vector<std::string>& columns,
                          const std::vector<std::string>& names, const RowSource& rows,
                          const FieldText& text = {}, Digest digest = Digest::none);

// The table columns of a dataset: one per pair or triple, then the size
// column of a distance dataset.
std::vector<std::string> output_columns(const Study& study, Output what, std::size_t count);

}  // namespace dg

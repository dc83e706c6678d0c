// Which specimens of a sample belong together: the groups a study compares
// (--groups), and the specimens that replicates measure again.
//
// sample_groups takes a rule:
//   "file"           each specimen's group is the file it was read from
//                    (named by its file name, by its path where two files
//                    share a name);
//   "id:PATTERN"     the first group of the regular expression PATTERN,
//   "image:PATTERN"  searched in the specimen's ID= or IMAGE=, names its
//                    group (the whole match when it has no group);
//   a file name      a CSV file of two columns, a specimen's ID (its IMAGE=
//                    where it has no ID, as the tables' id column) and its
//                    group, one specimen a line; a first line whose first
//                    field is "id" or "specimen" is a header.
// Raises a RuntimeError naming the specimens a rule gives no group, and for
// a CSV file each ID that matches no specimen and each ID given two groups.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "output/table.hpp"
#include "pipeline/sample.hpp"

namespace dg {

struct SpecimenGroups {
  std::string rule;                // as given
  std::vector<std::size_t> of;     // each row's group, row for row
  std::vector<std::string> names;  // each group's name, in the order first met
};

SpecimenGroups sample_groups(const Sample& sample, const std::string& rule);
// The groups of the text of a CSV file of ID and group, which `path` names
// in errors.
SpecimenGroups csv_groups(const Sample& sample, std::string_view text, const std::string& path);

// The groups of rows named `names` (in the order first met); raises
// `unnamed_lead` followed by the rows that have no name.
SpecimenGroups named_groups(const Sample& sample, const std::string& rule,
                            const std::vector<std::optional<std::string>>& names,
                            const std::string& unnamed_lead);

// The table column of the groups (none without groups).
GroupColumn group_column(const SpecimenGroups* groups);

// For a rule "id:PATTERN" or "image:PATTERN", each row's name by the pattern
// (none for a row it does not match) and in `what` what named them ("the
// pattern "..." in ID="); nothing for a rule of another kind.
std::optional<std::vector<std::optional<std::string>>> field_pattern_names(const Sample& sample,
                                                                           const std::string& rule,
                                                                           std::string& what);

// "specimen 3 (ID=a), specimen 7 and 2 more": at most five rows named.
std::string some_specimens(const std::vector<std::size_t>& rows, const Sample& sample);

}  // namespace dg

// Names read from texts by a regular expression (ECMAScript): the first
// group of the first match, else the whole match; none for a text it does
// not match. The replicates' rule uses it on IDs and images.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace dg {

// Raises a RuntimeError naming the pattern and the reason for a pattern that
// does not compile.
std::vector<std::optional<std::string>> pattern_names(const std::string& pattern,
                                                      const std::vector<std::string>& texts);

}  // namespace dg

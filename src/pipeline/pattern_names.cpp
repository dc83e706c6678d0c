// On its own because GCC 12 warns, wrongly, of an uninitialised std::function
// inside libstdc++'s <regex> in optimised builds with the sanitizers; the
// build turns that one warning off for this file alone.
#include "pipeline/pattern_names.hpp"

#include <regex>

#include "runtime/array/error.hpp"

namespace dg {

std::vector<std::optional<std::string>> pattern_names(const std::string& pattern,
                                                      const std::vector<std::string>& texts) {
  std::regex expression;
  try {
    expression = std::regex(pattern, std::regex::ECMAScript);
  } catch (const std::regex_error& e) {
    raise("The pattern \"" + pattern + "\" is not a regular expression: " + e.what() + ".");
  }
  std::vector<std::optional<std::string>> names(texts.size());
  for (std::size_t i = 0; i < texts.size(); ++i) {
    std::smatch match;
    if (!std::regex_search(texts[i], match, expression)) continue;
    names[i] = match.size() > 1 && match[1].matched ? match[1].str() : match[0].str();
  }
  return names;
}

}  // namespace dg

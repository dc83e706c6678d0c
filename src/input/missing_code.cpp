#include "input/missing_code.hpp"

#include <cmath>

#include "input/text_input.hpp"
#include "runtime/array/error.hpp"
#include "runtime/array/format.hpp"

namespace dg {

void set_missing_code(TpsOptions& options, std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  if (text.empty()) {
    options.missing_code.reset();
    options.negative_missing = false;
    return;
  }
  if (text == "negative") {
    options.missing_code.reset();
    options.negative_missing = true;
    options.missing = true;
    return;
  }
  double code = 0;
  const char* end = text.data() + text.size();
  if (parse_number(text.data(), end, code) != end || !std::isfinite(code)) {
    raise("The missing-value code \"" + std::string(text) +
          "\" is neither a number nor \"negative\".");
  }
  options.missing_code = code;
  options.negative_missing = false;
  options.missing = true;
}

std::string missing_code_text(const TpsOptions& options) {
  if (options.negative_missing) return "negative";
  if (options.missing_code) return num2str(*options.missing_code);
  return "";
}

}  // namespace dg

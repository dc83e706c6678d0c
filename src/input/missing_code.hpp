// Reads the missing-value code a user types (the batch tool's --missing-code,
// the window's "Missing-value code..."): a number, "negative" for any negative
// coordinate, or nothing for no code. Setting a code turns missing values on.
// Raises a RuntimeError naming the text when it is none of these.
#pragma once

#include <string>
#include <string_view>

#include "input/tps_scan.hpp"

namespace dg {

void set_missing_code(TpsOptions& options, std::string_view text);

// The code as the user would type it again: "", "negative" or the number.
std::string missing_code_text(const TpsOptions& options);

}  // namespace dg

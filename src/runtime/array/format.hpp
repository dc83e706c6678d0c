// printf-compatible text formatting for the conversions the system writes:
// %g, %f, %e, %d, %c, %s and %%, with flags, width and precision. Non-finite
// numbers are always spelled NaN, Inf and -Inf (the spellings statistics
// programs read), padded to the field width like any number.
//
// sprintf() cycles the format over all arguments, as the array runtime's
// formatted print does: "%g " with three values gives three fields; with no
// argument the literal text up to the first conversion is written.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace dg {

using FormatArg = std::variant<double, std::string_view>;

std::string sprintf(std::string_view format, std::span<const FormatArg> args);
std::string sprintf(std::string_view format, double value);
std::string sprintf(std::string_view format, std::span<const double> values);

// Writes value as "%g" would (six significant digits) at out, which must have
// room for kMaxG characters; returns the end of what was written.
inline constexpr std::size_t kMaxG = 32;
char* write_g(char* out, double value);
void append_g(std::string& out, double value);

// Appends to `out` what fill(char* at) writes and returns the end of, at most
// `most` bytes, through a scratch buffer of this thread: growing `out` by
// `most` first would fill that room with zeros for every row of a dataset.
template <class Fill>
void append_written(std::string& out, std::size_t most, Fill&& fill) {
  thread_local std::vector<char> scratch;
  if (scratch.size() < most) scratch.resize(most);
  const char* end = fill(scratch.data());
  out.append(scratch.data(), static_cast<std::size_t>(end - scratch.data()));
}

// A statistic as a message quotes it: three significant digits ("%.3g").
std::string short_number(double value);

// "NaN", "Inf" or "-Inf" for a non-finite value.
const char* non_finite_text(double value);

// Number to text as a label shows it: whole numbers without decimals ("1"),
// others with enough significant digits to be told apart ("0.5", "3.1416").
std::string num2str(double value);

}  // namespace dg

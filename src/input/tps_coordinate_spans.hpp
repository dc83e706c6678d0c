// Where the coordinates of a TPS text stand in its bytes, so that a file can
// be corrected by replacing a few numbers and keeping every other byte.
//
// tps_coordinate_spans walks the text on the reader's lexer: each specimen
// starts at an LM= (or LM3=) keyword, its count follows the keyword, its
// numbers start on the line after the count, and its landmarks are the first
// d * k number tokens (NA too, with missing values on), where k is the first
// specimen's count and d is 3 when the first specimen starts with LM3= or
// the options ask for 3-D, else 2. A later count above k keeps its first k
// landmarks; the numbers after them, and CURVES=/POINTS= blocks, are no
// landmarks. For a text the reader accepts with the same options, the
// specimens, their order and the values of the tokens are the reader's; any
// other text gives the specimens whose d * k tokens it finds, up to the first
// whose tokens it cannot find (none without an LM= keyword). Nothing here
// raises.
//
// tps_missing_mark finds how the text writes a missing coordinate.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "input/tps_scan.hpp"

namespace dg {

// A token's bytes: offset from the start of the text as given (a UTF-8
// byte-order mark counted) and length.
struct TokenSpan {
  std::size_t begin = 0;
  std::size_t size = 0;
};

struct CoordinateSpans {
  std::size_t dimensions = 2;  // coordinates per landmark
  std::size_t landmarks = 0;   // k, the first specimen's count
  // d * k tokens per specimen, specimen after specimen in file order.
  std::vector<TokenSpan> tokens;

  std::size_t width() const { return dimensions * landmarks; }
  std::size_t specimens() const { return width() == 0 ? 0 : tokens.size() / width(); }
  // The tokens of specimen `number` (1-based, as SpecimenRecord::number).
  std::span<const TokenSpan> specimen(std::size_t number) const {
    return std::span(tokens).subspan((number - 1) * width(), width());
  }
};

CoordinateSpans tps_coordinate_spans(std::string_view text, const TpsOptions& options);

// The value of a coordinate token as the reader reads it: its number, or NaN
// for NA.
double token_value(std::string_view text, TokenSpan token);

// The exact text of the coordinate tokens that the reader, with `options`,
// reads as missing (NA, nan, the missing-value code as written, such as "-1"
// or "-1.00000", or a negative number when negatives are missing), among the
// tokens of the landmarks it reads as missing: the most used one. None
// without missing values on or when no landmark is missing.
std::optional<std::string> tps_missing_mark(std::string_view text, const TpsOptions& options);

}  // namespace dg

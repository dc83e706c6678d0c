// Quotes a piece of a user's file for a message: the text between double
// quotes, cut after `limit` bytes with "..." added, control bytes and bytes
// that are not UTF-8 shown as \xNN, so a message never carries raw binary or
// a whole line of megabytes. Valid UTF-8 letters are kept as they are.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace dg {

std::string excerpt(const char* begin, const char* end, std::size_t limit);

// The length of the well-formed UTF-8 sequence at s[i] (2 to 4 bytes: no
// overlong forms, surrogates or code points above U+10FFFF), or 0.
std::size_t utf8_length(std::string_view s, std::size_t i);

// The text with every byte outside well-formed UTF-8 written as \xNN (and
// control bytes too when `controls`), so it is valid UTF-8 (for JSON).
std::string escape_bytes(std::string_view text, bool controls);

}  // namespace dg

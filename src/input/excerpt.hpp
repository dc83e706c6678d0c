// Quotes a piece of a user's file for a message: the text between double
// quotes, cut after `limit` bytes with "..." added, control bytes and bytes
// that are not UTF-8 shown as \xNN, so a message never carries raw binary or
// a whole line of megabytes. Valid UTF-8 letters are kept as they are.
#pragma once

#include <cstddef>
#include <string>

namespace dg {

std::string excerpt(const char* begin, const char* end, std::size_t limit);

}  // namespace dg

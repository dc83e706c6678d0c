// Whether a text can name a field of a structure (and so a tag can be collected
// by guihandles): a one-row text of at most 31 characters that starts with a
// letter, holds only letters, digits and "_", and is not a reserved word (see
// iskeyword). Letters are the ASCII letters. The empty text is not a name.
// Raises nothing.
#pragma once

#include <cstddef>
#include <string_view>

#include "runtime/array/value.hpp"

namespace dg {

inline constexpr std::size_t kMaxNameLength = 31;

bool isvarname(std::string_view s);
bool isvarname(const Value& s);

}  // namespace dg

// UTF-8, the text of the core and of every path it keeps, to and from the
// UTF-16 of the Win32 API. Bytes that are not UTF-8 (a Latin-1 name in an
// old file) become replacement characters rather than cutting a text short.
#pragma once

#include <string>
#include <string_view>

namespace dg {

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

}  // namespace dg

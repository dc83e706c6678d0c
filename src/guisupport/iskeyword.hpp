// The reserved words, which can never name a field or a variable. iskeyword(s)
// is true when s is a one-row text equal to one of them, matched exactly and
// case-sensitively ("End" is not reserved). iskeyword() gives the 17 x 1 cell of
// the words in their fixed order. Raises nothing.
#pragma once

#include <array>
#include <string_view>

#include "runtime/array/value.hpp"

namespace dg {

inline constexpr std::array<std::string_view, 17> kReservedWords{
    "break",  "case", "catch",     "continue",   "else",   "elseif", "end", "for",  "function",
    "global", "if",   "otherwise", "persistent", "return", "switch", "try", "while"};

bool iskeyword(std::string_view s);
bool iskeyword(const Value& s);
const Value& iskeyword();

}  // namespace dg

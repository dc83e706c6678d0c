// Builds the table of the system's functions callable by name, in their fixed
// order, each with its declared input and output counts and a thin adapter
// between dynamic values and the typed function.
#pragma once

#include "runtime/array/function_table.hpp"

namespace dg {

FunctionTable make_function_table();

// Converts call arguments given as values into the texts of a command line.
Values text_arguments(int argc, const char* const* argv);

}  // namespace dg

// What a file dropped on the window holds, told from its name and the head of
// its text: a TPS file (an LM= line, or a name ending in .tps), or a plain
// file told apart by the columns of its first line of numbers: 3 a pair list,
// 4 a triple list, 5 or more a landmark matrix.
#pragma once

#include <string>
#include <string_view>

namespace dg {

enum class FileKind { Tps, Pairs, Triples, Matrix };

// The kind of a file called `name` whose text starts with `head`; raises,
// naming the file, when it is none of them.
FileKind file_kind(std::string_view name, std::string_view head);

// Reads the first megabyte of the file and tells its kind; raises naming the
// file when it cannot be read or is none of them.
FileKind file_kind_of(const std::string& path);

}  // namespace dg

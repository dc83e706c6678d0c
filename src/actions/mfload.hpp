// Asks for a plain numeric file (by default "*.*", "Enter file to Load?") and reads it as
// a matrix with dload, one row per line. Returns nullopt when the dialog is
// cancelled; read errors raise a RuntimeError naming the file and line. After a
// load the current folder is the file's folder.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/array/matrix.hpp"
#include "runtime/array/specimen_record.hpp"
#include "runtime/graphics/platform.hpp"

namespace dg {

struct MatrixLoad {
  Matrix y;
  std::string fn;                       // the file name without its folder
  std::vector<SpecimenRecord> records;  // per row: the file, the row's number and line
  std::string path;                     // the file as picked
};

std::optional<MatrixLoad> mfload(Platform& platform, std::string_view filter = "*.*",
                                 std::string_view title = "Enter file to Load?");

}  // namespace dg

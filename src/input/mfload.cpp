#include "input/mfload.hpp"

#include <filesystem>

#include "input/dload.hpp"
#include "runtime/array/file_io.hpp"

namespace dg {

std::optional<MatrixLoad> mfload(Platform& platform) {
  auto choice = platform.get_file("*.*", "Enter file to Load?");
  if (!choice) return std::nullopt;
  MatrixLoad load{dload(choice->path()), choice->name};
  std::error_code ignored;
  std::filesystem::current_path(file_path(choice->folder), ignored);
  return load;
}

}  // namespace dg

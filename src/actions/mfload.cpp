#include "actions/mfload.hpp"

#include <filesystem>
#include <memory>

#include "input/dload.hpp"
#include "runtime/array/file_io.hpp"

namespace dg {

std::optional<MatrixLoad> mfload(Platform& platform, std::string_view filter,
                                 std::string_view title) {
  auto choice = platform.get_file(filter, title);
  if (!choice) return std::nullopt;
  MatrixLoad load{dload(choice->path()), choice->name, {}, choice->path()};
  load.records.resize(load.y.rows());
  const auto text = std::make_shared<const RecordText>(RecordText{choice->path(), {}});
  for (std::size_t i = 0; i < load.records.size(); ++i) {
    // Rows end at the first blank line, so row i stands on line i.
    load.records[i].attach(text);
    load.records[i].number = load.records[i].line = i + 1;
  }
  std::error_code ignored;
  std::filesystem::current_path(file_path(choice->folder), ignored);
  return load;
}

}  // namespace dg

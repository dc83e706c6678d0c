#include "actions/gettpsfile2.hpp"

#include <algorithm>
#include <filesystem>

#include "runtime/array/file_io.hpp"

namespace dg {

std::optional<TpsLoad> load_tps(Platform& platform, double cs, RowSize size_of,
                                const TpsOptions& options, const char* title) {
  const std::vector<FileChoice> choices = platform.get_files("*.tps;*.TPS", title);
  if (choices.empty()) return std::nullopt;
  std::vector<std::string> paths;
  for (const FileChoice& choice : choices) paths.push_back(choice.path());
  TpsData data = read_tps_files(paths, options, cs == 1 ? size_of : nullptr);
  for (const auto& warning : data.warnings) warn(platform, warning);
  std::string name = choices.front().name;
  if (choices.size() > 1) {
    name += " and " + std::to_string(choices.size() - 1) +
            (choices.size() == 2 ? " more file" : " more files");
  }
  // The size column follows the coordinates of each row.
  Matrix y = std::move(data.coordinates);
  if (cs == 1) {
    Matrix sized(y.rows(), y.cols() + 1);
    for (std::size_t i = 0; i < y.rows(); ++i) {
      std::copy(y.row(i).begin(), y.row(i).end(), sized.row(i).begin());
      sized(i, y.cols()) = data.sizes[i];
    }
    y = std::move(sized);
  }
  TpsLoad load{std::move(y),    std::move(name), std::move(data.namelist), std::move(data.records),
               data.incomplete, data.dimensions};
  std::error_code ignored;
  std::filesystem::current_path(file_path(choices.front().folder), ignored);
  return load;
}

std::optional<TpsLoad> gettpsfile2(Platform& platform, double cs, RowSize size_of,
                                   TpsOptions options) {
  options.with_scale = false;
  return load_tps(platform, cs, size_of, options, "Open a TPS landmark file");
}

}  // namespace dg

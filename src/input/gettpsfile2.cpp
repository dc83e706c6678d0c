#include "input/gettpsfile2.hpp"

#include <filesystem>

#include "input/tps_scan.hpp"
#include "runtime/array/file_io.hpp"

namespace dg {

std::optional<TpsLoad> load_tps(Platform& platform, double cs, bool with_scale, const char* title) {
  auto choice = platform.get_file("*.tps", title);
  if (!choice) return std::nullopt;
  TpsData data = read_tps_file(choice->path(), with_scale, cs == 1);
  for (const auto& warning : data.warnings) warn(platform, warning);
  TpsLoad load{std::move(data.coordinates), choice->name, std::move(data.namelist)};
  std::error_code ignored;
  std::filesystem::current_path(file_path(choice->folder), ignored);
  return load;
}

std::optional<TpsLoad> gettpsfile2(Platform& platform, double cs) {
  return load_tps(platform, cs, false, "Specify TPS file to load");
}

}  // namespace dg

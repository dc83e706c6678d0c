#include "input/specimen_images.hpp"

#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "runtime/array/file_io.hpp"

namespace dg {
namespace {

namespace fs = std::filesystem;

char lower_ascii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool same_letters(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lower_ascii(a[i]) != lower_ascii(b[i])) return false;
  }
  return true;
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// The value after any repeated "IMAGE=" keywords.
std::string_view image_value(std::string_view value) {
  constexpr std::string_view kKeyword = "IMAGE=";
  value = trimmed(value);
  while (value.size() >= kKeyword.size() &&
         same_letters(value.substr(0, kKeyword.size()), kKeyword)) {
    value = trimmed(value.substr(kKeyword.size()));
  }
  return value;
}

// A path that names a place on a Windows machine: a drive (C:\ or C:/), a
// share (\\server\...) or the root of the current drive (\...).
bool windows_absolute(std::string_view value) {
  const bool drive = value.size() >= 2 && value[1] == ':' &&
                     ((value[0] >= 'A' && value[0] <= 'Z') || (value[0] >= 'a' && value[0] <= 'z'));
  return drive || (!value.empty() && value.front() == '\\');
}

bool regular_file(const fs::path& path) {
  std::error_code error;
  return fs::is_regular_file(path, error);
}

// The file in `folder` whose name is `name` in any letter case, the first in
// byte order when several are.
std::optional<fs::path> any_case(const fs::path& folder, std::string_view name) {
  std::error_code error;
  std::optional<fs::path> found;
  std::string best;
  for (fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, error), end;
       !error && it != end; it.increment(error)) {
    const std::string entry = path_text(it->path().filename());
    if (!same_letters(entry, name) || (found && entry >= best)) continue;
    if (!regular_file(it->path())) continue;
    found = folder / it->path().filename();
    best = entry;
  }
  return found;
}

}  // namespace

std::optional<std::string> find_specimen_image(std::string_view image, const std::string& tps_path,
                                               const std::string& images_dir) {
  const std::string value(image_value(image));
  if (value.empty()) return std::nullopt;
  const fs::path folder = file_path(tps_path).parent_path();

  const fs::path as_given = file_path(value);
  if (as_given.is_absolute()) {
    if (regular_file(as_given)) return value;
  } else if (!windows_absolute(value)) {
    std::string relative = value;
    for (char& c : relative) c = c == '\\' ? '/' : c;
    const fs::path beside = folder / file_path(relative);
    if (regular_file(beside)) return path_text(beside);
  }

  const std::size_t slash = value.find_last_of("/\\");
  const std::string name = slash == std::string::npos ? value : value.substr(slash + 1);
  if (name.empty() || name == "." || name == "..") return std::nullopt;
  std::vector<fs::path> folders{folder};
  if (!images_dir.empty()) folders.push_back(file_path(images_dir));
  for (const fs::path& where : folders) {
    if (regular_file(where / file_path(name))) return path_text(where / file_path(name));
  }
  for (const fs::path& where : folders) {
    if (auto found = any_case(where, name)) return path_text(*found);
  }
  return std::nullopt;
}

}  // namespace dg

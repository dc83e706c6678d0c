#include "runtime/graphics/figure_files.hpp"

#ifdef _WIN32
#include <windows.h>
#endif

#include "runtime/array/error.hpp"
#include "runtime/graphics/layout_file.hpp"

namespace dg {

// Generated at build time from resources/Distangler.fig.
extern const std::string_view kBuiltInDistanglerFig;
extern const std::string_view kBuiltInProtocolDesignerFig;
extern const std::string_view kBuiltInOutlierPanelFig;
extern const std::string_view kBuiltInPcaPanelFig;
extern const std::string_view kBuiltInSpecimenBrowserFig;
extern const std::string_view kBuiltInDigitiserFig;

namespace fs = std::filesystem;

namespace {

// The running program's file; empty when the system does not tell.
fs::path program_file() {
#ifdef _WIN32
  std::wstring name(32768, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
  if (length == 0 || length >= name.size()) return {};
  name.resize(length);
  return fs::path(name);
#else
  std::error_code error;
  fs::path program = fs::read_symlink("/proc/self/exe", error);
  return error ? fs::path() : program;
#endif
}

}  // namespace

std::vector<fs::path> figure_folders() {
  std::vector<fs::path> folders;
  std::error_code error;
  fs::path current = fs::current_path(error);
  if (!error) folders.push_back(current);
  const fs::path program = program_file();
  if (!program.empty()) {
    // The data folder is found from the program's own folder, so an install
    // under any prefix, or a package extracted anywhere, finds its files.
    folders.push_back(program.parent_path());
    folders.push_back((program.parent_path() / DISTANGLER_DATA_DIR).lexically_normal());
  }
  return folders;
}

std::optional<fs::path> find_figure_file(const std::string& file) {
  fs::path path(file);
  std::error_code error;
  if (path.has_parent_path()) {
    if (fs::is_regular_file(path, error)) return path;
    return std::nullopt;
  }
  for (const fs::path& folder : figure_folders()) {
    if (fs::is_regular_file(folder / path, error)) return folder / path;
  }
  return std::nullopt;
}

std::optional<std::string_view> built_in_figure(std::string_view name) {
  if (name == "Distangler.fig") return kBuiltInDistanglerFig;
  if (name == "ProtocolDesigner.fig") return kBuiltInProtocolDesignerFig;
  if (name == "OutlierPanel.fig") return kBuiltInOutlierPanelFig;
  if (name == "PcaPanel.fig") return kBuiltInPcaPanelFig;
  if (name == "SpecimenBrowser.fig") return kBuiltInSpecimenBrowserFig;
  if (name == "Digitiser.fig") return kBuiltInDigitiserFig;
  return std::nullopt;
}

Handle load_figure(Graphics& graphics, const std::string& file) {
  if (auto path = find_figure_file(file)) return load_figure_file(graphics, path->string());
  if (!fs::path(file).has_parent_path()) {
    if (auto text = built_in_figure(file)) {
      return load_figure_text(graphics, *text, "built-in " + file);
    }
    std::string searched;
    for (const fs::path& folder : figure_folders()) {
      searched += (searched.empty() ? "" : ", ") + folder.string();
    }
    raise("The figure file \"" + file + "\" was not found in " + searched + ".");
  }
  raise("The figure file \"" + file + "\" was not found.");
}

}  // namespace dg

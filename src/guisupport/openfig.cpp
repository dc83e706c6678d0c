#include "guisupport/openfig.hpp"

#include <algorithm>
#include <vector>

#include "guisupport/movegui.hpp"
#include "runtime/array/error.hpp"
#include "runtime/array/file_io.hpp"
#include "runtime/graphics/figure_files.hpp"

namespace dg {
namespace {

constexpr std::size_t kRegistryNameLength = 31;

struct FileParts {
  std::string folder, base, extension;
};

FileParts fileparts(const std::string& filename) {
  FileParts parts;
  std::string name = filename;
  if (auto slash = last_separator(filename); slash != std::string::npos) {
    parts.folder = filename.substr(0, slash == 0 ? 1 : slash);
    name = filename.substr(slash + 1);
  }
  auto dot = name.find_last_of('.');
  parts.base = name.substr(0, dot);
  if (dot != std::string::npos) parts.extension = name.substr(dot);
  return parts;
}

std::string fullfile(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

}  // namespace

Handle openfig(Graphics& graphics, const std::string& filename, const std::string& policy) {
  FileParts parts = fileparts(filename);
  if (parts.extension.empty()) parts.extension = ".fig";
  if (parts.extension != ".fig") raise("Argument must be a .fig file");
  std::string file = fullfile(parts.folder, parts.base + ".fig");

  std::string token = (parts.base + "_SINGLETON_handle").substr(0, kRegistryNameLength);
  std::vector<double> figs;
  Value stored = graphics.getappdata(0, token);
  for (double h : stored.matrix().values()) {
    if (graphics.is_handle(h)) figs.push_back(h);
  }

  Handle fig = 0;
  if (policy == "new") {
    fig = load_figure(graphics, file);
    figs.push_back(fig);
  } else if (policy == "reuse") {
    if (figs.empty()) figs.push_back(load_figure(graphics, file));
    fig = figs.back();
  } else {
    raise("Second input argument must be 'new' or 'reuse'.");
  }
  graphics.setappdata(0, token, Value::row(figs));

  movegui(graphics, fig, std::string("onscreen"));
  if (graphics.get(fig, "Visible").text() == "on") graphics.raise_figure(fig);
  return fig;
}

}  // namespace dg

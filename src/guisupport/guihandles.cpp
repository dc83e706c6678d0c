#include "guisupport/guihandles.hpp"

#include <string_view>
#include <unordered_map>

#include "guisupport/getParentFigure.hpp"
#include "guisupport/isvarname.hpp"

namespace dg {
namespace {

Value createHandles(const Graphics& graphics, Handle figure) {
  Struct handles;
  std::vector<std::vector<double>> rows;  // beside the fields, in the same order
  std::unordered_map<std::string_view, std::size_t> index;
  for (Handle h : graphics.findall(figure)) {
    const std::string& tag = graphics.tag_of(h);
    if (tag.empty() || !isvarname(std::string_view(tag))) continue;
    auto [it, added] = index.emplace(tag, handles.fields.size());
    if (added) {
      handles.fields.emplace_back(tag, Value());
      rows.emplace_back();
    }
    rows[it->second].push_back(h);
  }
  if (handles.fields.empty()) return Value();
  for (std::size_t i = 0; i < rows.size(); ++i) handles.fields[i].second = Value::row(rows[i]);
  return Value(std::move(handles));
}

}  // namespace

Value guihandles(Graphics& graphics) {
  return createHandles(graphics, graphics.gcf());
}

Value guihandles(const Graphics& graphics, Handle h) {
  return createHandles(graphics, holder_figure(graphics, h));
}

}  // namespace dg

#include "runtime/graphics/layout_file.hpp"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <string_view>
#include <vector>

#include "runtime/array/error.hpp"
#include "runtime/array/file_io.hpp"
#include "runtime/graphics/callback_text.hpp"

namespace dg {
namespace {

using Json = nlohmann::ordered_json;

// Deeper than any real menu goes; the limits keep a hostile file from costing
// time and memory in proportion to its nesting.
constexpr std::size_t kMaxMenuDepth = 32;
constexpr std::size_t kMaxJsonDepth = 128;

// Raises when lists and objects nest deeper than kMaxJsonDepth, naming the line
// where the limit is passed; checked before the JSON parser sees the text.
void check_nesting(std::string_view text, const std::string& source) {
  std::size_t depth = 0;
  std::size_t line = 1;
  bool in_string = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\n') ++line;
    if (in_string) {
      if (c == '\\') {
        ++i;  // an escaped character cannot end the string (nor be a line end)
      } else if (c == '"') {
        in_string = false;
      }
    } else if (c == '"') {
      in_string = true;
    } else if (c == '[' || c == '{') {
      if (++depth > kMaxJsonDepth) {
        raise("Layout file \"" + source + "\" nests lists and objects more than " +
              std::to_string(kMaxJsonDepth) + " deep (line " + std::to_string(line) + ").");
      }
    } else if ((c == ']' || c == '}') && depth > 0) {
      --depth;
    }
  }
}

// Converts a property value of the file into a value of the tree.
Value property_value(const Json& json, const std::string& key) {
  switch (json.type()) {
    case Json::value_t::string:
      return Value(json.get<std::string>());
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned:
    case Json::value_t::number_float:
      return Value(json.get<double>());
    case Json::value_t::null:
      return Value();
    case Json::value_t::array: {
      if (json.empty()) return Value(Matrix());
      if (json.front().is_string()) {
        std::vector<Value> lines;
        for (const Json& item : json) {
          if (!item.is_string()) raise("\"" + key + "\" mixes texts with other values.");
          lines.emplace_back(item.get<std::string>());
        }
        return Value::cell_row(std::move(lines));
      }
      std::vector<double> numbers;
      for (const Json& item : json) {
        if (!item.is_number()) {
          raise("\"" + key + "\" must be a list of numbers or a list of texts.");
        }
        numbers.push_back(item.get<double>());
      }
      return Value::row(numbers);
    }
    case Json::value_t::boolean:
      raise("\"" + key + "\" cannot be true or false; write \"on\" or \"off\".");
    default:
      raise("\"" + key + "\" must be a text, a number, or a list of numbers or of texts.");
  }
}

class Builder {
 public:
  Builder(Graphics& graphics, std::string source) : g_(graphics), source_(std::move(source)) {}

  Handle build(const Json& root) {
    if (!root.is_object()) fail("the figure", "the file must hold one object, the figure");
    std::string type = type_of(root, "the figure");
    if (type != "figure") fail("the figure", "the outer object must have \"Type\": \"figure\"");
    Handle figure = g_.new_figure();
    try {
      apply(figure, root, "the figure");
      children(figure, root);
    } catch (const RuntimeError&) {
      g_.delete_object(figure);
      throw;
    }
    return figure;
  }

 private:
  [[noreturn]] void fail(const std::string& where, const std::string& what) const {
    raise("Layout file \"" + source_ + "\", " + where + ": " + what);
  }

  std::string type_of(const Json& object, const std::string& where) const {
    auto it = object.find("Type");
    if (it == object.end() || !it->is_string()) fail(where, "it needs a \"Type\" text.");
    return lower(it->get<std::string>());
  }

  static std::string describe(const Json& object, const std::string& number) {
    std::string where = "object " + number;
    auto tag = object.find("Tag");
    if (tag != object.end() && tag->is_string() && !tag->get_ref<const std::string&>().empty()) {
      where += " (tag \"" + tag->get<std::string>() + "\")";
    }
    return where;
  }

  // One list of children being built: whose they are, and the next to build.
  struct Level {
    Handle parent;
    const Json* list;
    std::size_t next;
    std::string prefix;  // the parent's object number, empty for the figure
  };

  // Builds the figure's children and the menus' own children depth first, in
  // file order, with an explicit stack so no file can exhaust the call stack.
  void children(Handle figure, const Json& root) {
    std::vector<Level> levels;
    if (const Json* list = children_of(root, "the figure")) {
      levels.push_back({figure, list, 0, ""});
    }
    while (!levels.empty()) {
      Level& level = levels.back();
      if (level.next == level.list->size()) {
        levels.pop_back();
        continue;
      }
      const Json& child = (*level.list)[level.next++];
      const Handle parent = level.parent;
      const std::string number =
          level.prefix + (level.prefix.empty() ? "" : ".") + std::to_string(level.next);
      const std::string where = child.is_object() ? describe(child, number) : "object " + number;
      if (!child.is_object()) fail(where, "each child must be an object.");
      std::string type = type_of(child, where);
      const bool menu = g_.type(parent) == ObjectType::UIMenu;
      Handle h = 0;
      if (type == "uimenu") {
        h = g_.new_uimenu(parent);
      } else if (menu) {
        fail(where, "a menu can only hold menus (\"Type\": \"uimenu\"), not \"" + type + "\".");
      } else if (type == "uicontrol") {
        h = g_.new_uicontrol(parent);
      } else if (type == "axes") {
        h = g_.new_axes(parent);
      } else {
        fail(where, "\"" + type + "\" is not a type a figure can hold; use \"axes\", " +
                        "\"uicontrol\" or \"uimenu\".");
      }
      apply(h, child, where);
      if (type != "uimenu") {
        if (child.contains("Children")) fail(where, "only menus can hold children.");
        continue;
      }
      const Json* list = children_of(child, "object " + number);
      if (list == nullptr || list->empty()) continue;
      // levels holds the figure's level and one per enclosing menu.
      if (levels.size() >= kMaxMenuDepth) {
        fail(where, "menus may be nested at most " + std::to_string(kMaxMenuDepth) + " deep.");
      }
      levels.push_back({h, list, 0, number});
    }
  }

  const Json* children_of(const Json& object, const std::string& owner) const {
    auto list = object.find("Children");
    if (list == object.end()) return nullptr;
    if (!list->is_array()) fail(owner, "\"Children\" must be a list of objects.");
    return &*list;
  }

  // Sets the properties of one object: "Units" first, then the rest in file order.
  void apply(Handle h, const Json& object, const std::string& where) {
    try {
      if (auto units = object.find("Units"); units != object.end()) {
        g_.set(h, "Units", property_value(*units, "Units"));
      }
      const ObjectType type = g_.type(h);
      for (const auto& [key, json] : object.items()) {
        if (key == "Type" || key == "Children" || key == "Units") continue;
        const Property& p = property(type, key);  // an unknown name is refused before its value
        Value value = property_value(json, key);
        const bool callback = p.name == "Callback" || p.name.ends_with("Fcn");
        if (callback && value.is_char() && !value.is_empty()) {
          parse_callback(value.text());
        }
        g_.set(h, key, value);
      }
    } catch (const RuntimeError& error) {
      fail(where, error.what());
    }
  }

  Graphics& g_;
  std::string source_;
};

}  // namespace

Handle load_figure_text(Graphics& graphics, std::string_view text, const std::string& source) {
  check_nesting(text, source);
  Json root;
  try {
    root = Json::parse(text);
  } catch (const Json::exception& error) {
    // Syntax errors, and numbers out of the range of a double ("1e400").
    std::string what = error.what();
    if (auto end = what.find("] "); end != std::string::npos) what.erase(0, end + 2);
    raise("Layout file \"" + source + "\" is not valid JSON: " + what);
  }
  return Builder(graphics, source).build(root);
}

Handle load_figure_file(Graphics& graphics, const std::string& path) {
  FileText text;
  std::string reason;
  if (!read_whole_file(path, text, reason)) {
    raise("The layout file \"" + path + "\" cannot be opened.");
  }
  const Handle figure = load_figure_text(graphics, text.view(), path);
  std::error_code ignored;
  graphics.setappdata(figure, kLayoutFileData,
                      Value(path_text(std::filesystem::absolute(file_path(path), ignored))));
  return figure;
}

}  // namespace dg

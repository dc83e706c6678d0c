#include "runtime/graphics/layout_file.hpp"

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "runtime/array/error.hpp"
#include "runtime/array/file_io.hpp"
#include "runtime/graphics/callback_text.hpp"

namespace dg {
namespace {

using Json = nlohmann::ordered_json;

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
      children(figure, root, "");
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

  void children(Handle parent, const Json& object, const std::string& prefix) {
    auto list = object.find("Children");
    if (list == object.end()) return;
    bool menu = g_.type(parent) == ObjectType::UIMenu;
    std::string owner = prefix.empty() ? "the figure" : "object " + prefix;
    if (!list->is_array()) fail(owner, "\"Children\" must be a list of objects.");
    std::size_t index = 0;
    for (const Json& child : *list) {
      std::string number = prefix + (prefix.empty() ? "" : ".") + std::to_string(++index);
      std::string where = child.is_object() ? describe(child, number) : "object " + number;
      if (!child.is_object()) fail(where, "each child must be an object.");
      std::string type = type_of(child, where);
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
      if (type == "uimenu") {
        children(h, child, number);
      } else if (child.contains("Children")) {
        fail(where, "only menus can hold children.");
      }
    }
  }

  // Sets the properties of one object: "Units" first, then the rest in file order.
  void apply(Handle h, const Json& object, const std::string& where) {
    try {
      if (auto units = object.find("Units"); units != object.end()) {
        g_.set(h, "Units", property_value(*units, "Units"));
      }
      for (const auto& [key, json] : object.items()) {
        if (key == "Type" || key == "Children" || key == "Units") continue;
        Value value = property_value(json, key);
        if (lower(key) == "callback" && value.is_char() && !value.is_empty()) {
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
  Json root;
  try {
    root = Json::parse(text);
  } catch (const Json::parse_error& error) {
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
  return load_figure_text(graphics, text.view(), path);
}

}  // namespace dg

#include "runtime/array/value.hpp"

#include "runtime/array/error.hpp"

namespace dg {

const Value* Struct::find(std::string_view name) const {
  for (const auto& [key, value] : fields) {
    if (key == name) return &value;
  }
  return nullptr;
}

Value& Struct::field(const std::string& name) {
  for (auto& [key, value] : fields) {
    if (key == name) return value;
  }
  fields.emplace_back(name, Value());
  return fields.back().second;
}

Value::Value(Matrix m) : v_(std::move(m)) {}

Value::Value(std::string text) {
  CharArray chars;
  if (!text.empty()) chars.rows.push_back(std::move(text));
  v_ = std::move(chars);
}

Value Value::cell_row(std::vector<Value> items) {
  Cell cell;
  cell.rows = items.empty() ? 0 : 1;
  cell.cols = items.size();
  cell.items = std::move(items);
  return Value(std::move(cell));
}

Value Value::text_cell(std::initializer_list<std::string> lines) {
  std::vector<Value> items;
  for (const auto& line : lines) items.emplace_back(line);
  return cell_row(std::move(items));
}

bool Value::is_empty() const {
  return numel() == 0;
}

std::size_t Value::numel() const {
  switch (kind()) {
    case Kind::Empty:
      return 0;
    case Kind::Double:
      return std::get<Matrix>(v_).size();
    case Kind::Char: {
      const auto& rows = std::get<CharArray>(v_).rows;
      return rows.empty() ? 0 : rows.size() * rows.front().size();
    }
    case Kind::Cell:
      return std::get<Cell>(v_).items.size();
    case Kind::Struct:
      return 1;
  }
  return 0;
}

std::string Value::kind_name() const {
  switch (kind()) {
    case Kind::Empty:
      return "the empty value";
    case Kind::Double:
      return "a number array";
    case Kind::Char:
      return "a text";
    case Kind::Cell:
      return "a cell array";
    case Kind::Struct:
      return "a structure";
  }
  return "a value";
}

Matrix Value::matrix() && { return static_cast<const Value&>(*this).matrix(); }

const Matrix& Value::matrix() const& {
  static const Matrix empty;
  if (kind() == Kind::Empty) return empty;
  if (!is_double()) raise("Expected a number array but found " + kind_name() + ".");
  return std::get<Matrix>(v_);
}

double Value::scalar() const {
  const Matrix& m = matrix();
  if (m.size() != 1) {
    raise("Expected a single number but found a " + size_text(m.rows(), m.cols()) + " array.");
  }
  return m(0, 0);
}

const CharArray& Value::chars() const {
  static const CharArray empty;
  if (kind() == Kind::Empty) return empty;
  if (!is_char()) raise("Expected a text but found " + kind_name() + ".");
  return std::get<CharArray>(v_);
}

std::string Value::text() const {
  const auto& rows = chars().rows;
  std::string out;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (i) out += '\n';
    out += rows[i];
  }
  return out;
}

const Cell& Value::cell() const {
  if (!is_cell()) raise("Expected a cell array but found " + kind_name() + ".");
  return std::get<Cell>(v_);
}

const Struct& Value::structure() const {
  if (!is_struct()) raise("Expected a structure but found " + kind_name() + ".");
  return std::get<Struct>(v_);
}

Struct& Value::structure() {
  if (!is_struct()) raise("Expected a structure but found " + kind_name() + ".");
  return std::get<Struct>(v_);
}

std::vector<std::string> Value::lines() const {
  if (kind() == Kind::Empty) return {};
  if (is_char()) return chars().rows;
  if (is_cell()) {
    std::vector<std::string> out;
    for (const Value& item : cell().items) out.push_back(item.text());
    return out;
  }
  raise("Expected a text or a cell array of texts but found " + kind_name() + ".");
}

}  // namespace dg

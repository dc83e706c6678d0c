// The dynamic value passed across the by-name boundary: callbacks, the command
// line, graphics properties and calls through the function table. Numeric and
// reading code works on typed C++ (Matrix, std::string) and converts here.
//
// Kinds: the empty value, a double matrix, character rows (a string is one
// row), a cell array (row-major items) and a scalar structure whose fields keep
// the order in which they were first set.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "runtime/array/matrix.hpp"

namespace dg {

class Value;

struct CharArray {
  std::vector<std::string> rows;
};

struct Cell {
  std::size_t rows = 0;
  std::size_t cols = 0;
  std::vector<Value> items;
};

struct Struct {
  std::vector<std::pair<std::string, Value>> fields;
  const Value* find(std::string_view name) const;
  Value& field(const std::string& name);  // created (empty) when absent
};

// Declared before Value, whose defaulted comparison compares its alternatives.
inline bool operator==(const CharArray& a, const CharArray& b);
inline bool operator==(const Cell& a, const Cell& b);
inline bool operator==(const Struct& a, const Struct& b);

class Value {
 public:
  enum class Kind { Empty, Double, Char, Cell, Struct };

  Value() = default;
  Value(double number) : v_(Matrix::scalar(number)) {}
  Value(Matrix m);
  Value(std::string text);
  Value(const char* text) : Value(std::string(text)) {}
  Value(std::string_view text) : Value(std::string(text)) {}
  Value(CharArray chars) : v_(std::move(chars)) {}
  Value(Cell cell) : v_(std::move(cell)) {}
  Value(Struct s) : v_(std::move(s)) {}

  // A 1 x n cell array of character rows, as a multi-line "String" is given.
  static Value cell_row(std::vector<Value> items);
  static Value text_cell(std::initializer_list<std::string> lines);
  static Value row(std::span<const double> values) { return Matrix::row_vector(values); }

  Kind kind() const { return static_cast<Kind>(v_.index()); }
  bool is_double() const { return kind() == Kind::Double; }
  bool is_char() const { return kind() == Kind::Char; }
  bool is_cell() const { return kind() == Kind::Cell; }
  bool is_struct() const { return kind() == Kind::Struct; }
  // True for the empty value and for any array with no elements.
  bool is_empty() const;
  std::size_t numel() const;

  // Typed access; each raises a RuntimeError naming the kind found when the
  // value is of another kind.
  const Matrix& matrix() const&;
  Matrix matrix() &&;
  double scalar() const;     // a 1 x 1 double
  std::string text() const;  // character rows joined with line ends
  const CharArray& chars() const;
  const Cell& cell() const;
  const Struct& structure() const;
  Struct& structure();

  // Lines of a "String": a string, character rows or a cell of strings.
  std::vector<std::string> lines() const;

  std::string kind_name() const;
  bool operator==(const Value&) const = default;

 private:
  std::variant<std::monostate, Matrix, CharArray, Cell, Struct> v_;
};

inline bool operator==(const CharArray& a, const CharArray& b) {
  return a.rows == b.rows;
}
inline bool operator==(const Cell& a, const Cell& b) {
  return a.rows == b.rows && a.cols == b.cols && a.items == b.items;
}
inline bool operator==(const Struct& a, const Struct& b) {
  return a.fields == b.fields;
}

using Values = std::vector<Value>;

}  // namespace dg

// A contiguous matrix of doubles, stored row by row (one specimen per row).
// Element access with operator() is unchecked; at() checks both indices and
// raises a RuntimeError naming the 1-based index and the matrix size. The
// default matrix is the empty 0 x 0 matrix.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace dg {

// Allocates as std::allocator does, but leaves an element made without a
// value unwritten, so a matrix grown for rows that threads then fill is not
// first zeroed on one thread.
template <class T>
struct UnsetAllocator : std::allocator<T> {
  template <class U>
  struct rebind {
    using other = UnsetAllocator<U>;
  };
  UnsetAllocator() noexcept = default;
  template <class U>
  UnsetAllocator(const UnsetAllocator<U>&) noexcept {}
  template <class U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};

class Matrix {
 public:
  Matrix() = default;
  Matrix(std::size_t rows, std::size_t cols, double fill = 0.0);
  // Builds a matrix from literal rows; all rows must have the same length.
  Matrix(std::initializer_list<std::initializer_list<double>> rows);
  static Matrix scalar(double value) { return Matrix(1, 1, value); }
  static Matrix row_vector(std::span<const double> values);

  std::size_t rows() const { return rows_; }
  std::size_t cols() const { return cols_; }
  std::size_t size() const { return values_.size(); }
  bool empty() const { return values_.empty(); }

  double& operator()(std::size_t r, std::size_t c) { return values_[r * cols_ + c]; }
  double operator()(std::size_t r, std::size_t c) const { return values_[r * cols_ + c]; }
  // Checked access with 0-based indices; the error message counts from 1.
  double& at(std::size_t r, std::size_t c);
  double at(std::size_t r, std::size_t c) const;

  std::span<double> row(std::size_t r) { return {values_.data() + r * cols_, cols_}; }
  std::span<const double> row(std::size_t r) const { return {values_.data() + r * cols_, cols_}; }
  double* data() { return values_.data(); }
  const double* data() const { return values_.data(); }
  std::span<const double> values() const { return values_; }

  // Appends a row. The first row of an empty matrix fixes the width; a row of
  // another width raises a RuntimeError naming both widths.
  void append_row(std::span<const double> values);
  void reserve_rows(std::size_t rows) { values_.reserve(rows * (cols_ ? cols_ : 1)); }
  // Grows a matrix of at least one row by `rows` rows whose values are left
  // unset: the caller writes every one before anything reads them.
  void add_unset_rows(std::size_t rows) {
    values_.resize(values_.size() + rows * cols_);
    rows_ += rows;
  }
  // Appends a column of rows() values (or makes an n x 1 matrix from empty).
  void append_column(std::span<const double> values);

  bool operator==(const Matrix&) const = default;

 private:
  void check(std::size_t r, std::size_t c) const;

  std::size_t rows_ = 0;
  std::size_t cols_ = 0;
  std::vector<double, UnsetAllocator<double>> values_;
};

// Converts a 1-based index held in a double into a 0-based position, raising a
// RuntimeError that names `what`, the value and the limit when the value is not
// a whole number from 1 to `limit`.
std::size_t index_from_double(double value, std::size_t limit, const std::string& what);

// "3 x 5"
std::string size_text(std::size_t rows, std::size_t cols);

}  // namespace dg

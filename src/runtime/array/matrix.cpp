#include "runtime/array/matrix.hpp"

#include <algorithm>
#include <cmath>

#include "runtime/array/error.hpp"
#include "runtime/array/format.hpp"

namespace dg {

Matrix::Matrix(std::size_t rows, std::size_t cols, double fill)
    : rows_(rows), cols_(cols), values_(rows * cols, fill) {
  if (rows == 0 || cols == 0) rows_ = cols_ = 0;
}

Matrix::Matrix(std::initializer_list<std::initializer_list<double>> rows) {
  for (const auto& r : rows) append_row(std::span<const double>(r.begin(), r.size()));
}

Matrix Matrix::row_vector(std::span<const double> values) {
  Matrix m;
  m.append_row(values);
  return m;
}

void Matrix::check(std::size_t r, std::size_t c) const {
  if (r >= rows_ || c >= cols_) {
    raise("Index (" + std::to_string(r + 1) + ", " + std::to_string(c + 1) +
          ") exceeds the matrix dimensions (" + size_text(rows_, cols_) + ").");
  }
}

double& Matrix::at(std::size_t r, std::size_t c) {
  check(r, c);
  return (*this)(r, c);
}

double Matrix::at(std::size_t r, std::size_t c) const {
  check(r, c);
  return (*this)(r, c);
}

void Matrix::append_row(std::span<const double> values) {
  if (values.empty()) raise("Cannot append a row of no values to a matrix.");
  if (rows_ == 0) {
    cols_ = values.size();
  } else if (values.size() != cols_) {
    raise("Row " + std::to_string(rows_ + 1) + " has " + std::to_string(values.size()) +
          " values where the matrix has " + std::to_string(cols_) + " columns.");
  }
  values_.insert(values_.end(), values.begin(), values.end());
  ++rows_;
}

void Matrix::append_column(std::span<const double> values) {
  if (values.empty()) return;
  if (rows_ == 0) {
    rows_ = values.size();
    cols_ = 1;
    values_.assign(values.begin(), values.end());
    return;
  }
  if (values.size() != rows_) {
    raise("A column of " + std::to_string(values.size()) + " values cannot be appended to a " +
          size_text(rows_, cols_) + " matrix.");
  }
  decltype(values_) grown(rows_ * (cols_ + 1));  // every value is written below
  for (std::size_t r = 0; r < rows_; ++r) {
    std::copy_n(values_.data() + r * cols_, cols_, grown.data() + r * (cols_ + 1));
    grown[r * (cols_ + 1) + cols_] = values[r];
  }
  values_ = std::move(grown);
  ++cols_;
}

std::size_t index_from_double(double value, std::size_t limit, const std::string& what) {
  if (!(value >= 1) || std::floor(value) != value) {
    raise(what + " " + num2str(value) + " is not a whole positive number.");
  }
  if (value > static_cast<double>(limit)) {
    raise(what + " " + num2str(value) + " exceeds the limit of " + std::to_string(limit) + ".");
  }
  return static_cast<std::size_t>(value) - 1;
}

std::string size_text(std::size_t rows, std::size_t cols) {
  return std::to_string(rows) + " x " + std::to_string(cols);
}

}  // namespace dg

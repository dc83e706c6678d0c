#include "protocol/landmark_list.hpp"

#include <cmath>

#include "runtime/array/error.hpp"
#include "runtime/array/format.hpp"

namespace dg {

void check_width(const Matrix& list, std::size_t first_column, std::size_t count,
                 const char* what) {
  if (!list.empty() && list.cols() < first_column + count - 1) {
    raise(std::string(what) + " list rows need " + std::to_string(first_column + count - 1) +
          " columns (a number, then " + std::to_string(count) +
          " landmark numbers); this list has " + std::to_string(list.cols()) + ".");
  }
}

std::vector<std::size_t> landmark_indices(const Matrix& list, std::size_t first_column,
                                          std::size_t count, std::size_t landmarks,
                                          const char* what) {
  std::vector<std::size_t> out;
  check_width(list, first_column, count, what);
  if (list.empty()) return out;
  out.reserve(list.rows() * count);
  for (std::size_t i = 0; i < list.rows(); ++i) {
    for (std::size_t c = 0; c < count; ++c) {
      double value = list(i, first_column - 1 + c);
      if (!(value >= 1) || std::floor(value) != value) {
        raise(std::string(what) + " " + std::to_string(i + 1) + " names landmark " +
              num2str(value) + ", which is not a whole positive landmark number.");
      }
      if (landmarks == 0) {
        raise(std::string(what) + " " + std::to_string(i + 1) + " names landmark " +
              num2str(value) + ", but no sample is loaded.");
      }
      if (value > static_cast<double>(landmarks)) {
        raise(std::string(what) + " " + std::to_string(i + 1) + " names landmark " +
              num2str(value) + ", but the data have " + std::to_string(landmarks) + " landmarks.");
      }
      out.push_back(static_cast<std::size_t>(value) - 1);
    }
  }
  return out;
}

CheckedList checked_list(const Matrix& rows, std::size_t arity, std::size_t landmarks) {
  return {rows, arity, landmark_indices(rows, 2, arity, landmarks, arity == 2 ? "Pair" : "Triple")};
}

std::optional<std::string> list_misfit(const Matrix& list, std::size_t first_column,
                                       std::size_t count, std::size_t landmarks) {
  if (list.empty()) return std::nullopt;
  if (list.cols() < first_column + count - 1) return std::to_string(list.cols()) + " columns";
  for (std::size_t i = 0; i < list.rows(); ++i) {
    for (std::size_t c = 0; c < count; ++c) {
      const double value = list(i, first_column - 1 + c);
      if (!(value >= 1) || std::floor(value) != value) return "landmark " + num2str(value);
      if (value > static_cast<double>(landmarks)) {
        return "landmark " + num2str(value) + " of " + std::to_string(landmarks);
      }
    }
  }
  return std::nullopt;
}

std::vector<std::size_t> loaded_list_indices(const Matrix& list, std::string_view file,
                                             std::size_t count, std::size_t landmarks) {
  const std::string name(file);
  const char* noun = count == 2 ? "pair" : "triple";
  if (list.empty()) {
    raise("The file \"" + name + "\" holds no " + noun + "s; each line names a " + noun +
          ": a number, then " + std::to_string(count) + " landmark numbers.");
  }
  try {
    return landmark_indices(list, 2, count, landmarks, count == 2 ? "Pair" : "Triple");
  } catch (const RuntimeError& error) {
    raise("\"" + name + "\": " + error.what() + " The list is not loaded.");
  }
}

}  // namespace dg

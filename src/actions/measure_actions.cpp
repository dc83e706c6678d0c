#include <algorithm>
#include <cmath>

#include "actions/dahand_actions.hpp"
#include "input/mfload.hpp"
#include "morpho/formtrad2.hpp"
#include "morpho/landmark_count.hpp"
#include "runtime/array/error.hpp"
#include "runtime/array/format.hpp"

namespace dg::actions {
namespace {

// Loads a list into `list`, reports it in the length box and moves the enabling on.
bool load_list(Session& session, Matrix& list, const char* line) {
  auto load = mfload(session.platform);
  if (!load) return false;
  list = std::move(load->y);
  set_tagged(session, "LengthBox", "String",
             Value::text_cell({load->fn, sprintf(line, static_cast<double>(list.rows()))}));
  enable(session, "GetPairs", false);
  enable(session, "Calc", true);
  return true;
}

// Raises when a non-empty list has fewer columns than a label and `count`
// landmark numbers starting at `first_column` need.
void check_width(const Matrix& list, std::size_t first_column, std::size_t count,
                 const char* what) {
  if (!list.empty() && list.cols() < first_column + count - 1) {
    raise(std::string(what) + " list rows need " + std::to_string(first_column + count - 1) +
          " columns (a number, then " + std::to_string(count) +
          " landmark numbers); this list has " + std::to_string(list.cols()) + ".");
  }
}

}  // namespace

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

void get_lengths(Session& session) {
  if (!load_list(session, session.handler.tlengths, "%3.0f Lengths requested")) return;
  if (session.draws) draw_pairs(session);
}

void get_angles(Session& session) {
  if (!load_list(session, session.handler.tangles, "%3.0f Angles requested")) return;
  if (session.draws) draw_triples(session);
}

void calc_lengths(Session& session) {
  const Matrix& list = session.handler.tlengths;
  Matrix pairs;
  check_width(list, 2, 2, "Pair");
  if (!list.empty()) {
    pairs = Matrix(list.rows(), 2);
    for (std::size_t i = 0; i < list.rows(); ++i) {
      pairs(i, 0) = list(i, 1);
      pairs(i, 1) = list(i, 2);
    }
  }
  session.handler.traddata = formtrad2(session.handler.data, pairs, session.handler.partial_size);
  enable(session, "Calc", false);
  enable(session, "Save", true);
  enable(session, "GetPairs", false);
}

Matrix tradangle(const Matrix& data, const Matrix& triples) {
  std::size_t landmarks = landmark_count(data.cols());
  auto index = landmark_indices(triples, 2, 3, landmarks, "Triple");
  std::size_t t = index.size() / 3;
  Matrix angles(data.rows(), t);
  for (std::size_t s = 0; s < data.rows(); ++s) {
    auto row = data.row(s);
    for (std::size_t i = 0; i < t; ++i) {
      std::size_t a = index[3 * i], v = index[3 * i + 1], b = index[3 * i + 2];
      double dx1 = row[2 * a] - row[2 * v], dy1 = row[2 * a + 1] - row[2 * v + 1];
      double dx2 = row[2 * b] - row[2 * v], dy2 = row[2 * b + 1] - row[2 * v + 1];
      // atan2 of the cross and dot products keeps every digit near 0 and pi,
      // where the arc cosine of the normalised dot product loses half of them.
      const double cross = dx1 * dy2 - dy1 * dx2;
      const double dot = dx1 * dx2 + dy1 * dy2;
      const bool zero_arm = (dx1 == 0 && dy1 == 0) || (dx2 == 0 && dy2 == 0);
      angles(s, i) = zero_arm ? std::nan("") : std::atan2(std::abs(cross), dot);
    }
  }
  return angles;
}

}  // namespace dg::actions

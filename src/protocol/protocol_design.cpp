#include "protocol/protocol_design.hpp"

#include <algorithm>
#include <utility>

#include "protocol/all_pairs.hpp"
#include "protocol/write_list.hpp"
#include "runtime/array/error.hpp"

namespace dg {
namespace {

const char* noun(ProtocolDesign::List list) {
  return list == ProtocolDesign::List::pairs ? "pair" : "triple";
}

}  // namespace

std::optional<std::size_t> nearest_landmark(std::span<const PixelPoint> points, double x, double y,
                                            double radius) {
  std::optional<std::size_t> best;
  double best_d2 = radius * radius;
  for (std::size_t i = 0; i < points.size(); ++i) {
    const double dx = points[i].x - x, dy = points[i].y - y;
    const double d2 = dx * dx + dy * dy;
    // Strictly nearer only, so the lower number keeps a tie.
    if (d2 <= best_d2 && (!best || d2 < best_d2)) {
      best = i + 1;
      best_d2 = d2;
    }
  }
  return best;
}

void ProtocolDesign::set_landmarks(std::size_t k) {
  k_ = k;
  picking_.reset();
  picked_.clear();
  changed();
}

std::span<const std::size_t> ProtocolDesign::row(List list, std::size_t position) const {
  check_position(list, position);
  return std::span(values(list)).subspan(position * width(list), width(list));
}

Matrix ProtocolDesign::matrix(List list) const {
  const std::size_t n = rows(list), w = width(list);
  if (n == 0) return Matrix();
  Matrix out(n, w + 1);
  const Values& v = values(list);
  for (std::size_t i = 0; i < n; ++i) {
    out(i, 0) = static_cast<double>(i + 1);
    for (std::size_t c = 0; c < w; ++c) out(i, c + 1) = static_cast<double>(v[i * w + c]);
  }
  return out;
}

std::optional<std::string> ProtocolDesign::misfit(List list) const {
  return list_misfit(matrix(list), 2, width(list), k_);
}

ProtocolDesign::PickOutcome ProtocolDesign::pick_pair() {
  return start(List::pairs);
}

ProtocolDesign::PickOutcome ProtocolDesign::pick_angle() {
  return start(List::triples);
}

ProtocolDesign::PickOutcome ProtocolDesign::start(List list) {
  if (k_ == 0) return refuse("No sample is loaded.");
  picking_ = list;
  picked_.clear();
  changed();
  return {PickOutcome::Kind::waiting, list, 0, {}};
}

ProtocolDesign::PickOutcome ProtocolDesign::refuse(std::string message) const {
  return {PickOutcome::Kind::refused, picking_.value_or(List::pairs), 0, std::move(message)};
}

ProtocolDesign::PickOutcome ProtocolDesign::pick(std::size_t landmark) {
  if (k_ == 0) return refuse("No sample is loaded.");
  if (!picking_) return refuse("Start a distance or an angle before picking landmarks.");
  const List list = *picking_;
  if (landmark < 1 || landmark > k_) {
    return refuse("There is no landmark " + std::to_string(landmark) + ": the sample has " +
                  std::to_string(k_) + (k_ == 1 ? " landmark." : " landmarks."));
  }
  if (std::find(picked_.begin(), picked_.end(), landmark) != picked_.end()) {
    return refuse(list == List::pairs
                      ? "Landmark " + std::to_string(landmark) + " cannot be paired with itself."
                      : "Landmark " + std::to_string(landmark) +
                            " is already picked: an angle needs three "
                            "different landmarks.");
  }
  std::vector<std::size_t> landmarks = picked_;
  landmarks.push_back(landmark);
  if (landmarks.size() < width(list)) {
    picked_ = std::move(landmarks);
    changed();
    return {PickOutcome::Kind::waiting, list, 0, {}};
  }
  if (auto same = find(list, landmarks)) {
    std::string names = "Landmarks " + std::to_string(landmarks[0]);
    if (list == List::triples) names += ", " + std::to_string(landmarks[1]);
    names += " and " + std::to_string(landmarks.back());
    return refuse(names + " are already " + noun(list) + " " + std::to_string(*same + 1) + ".");
  }
  Values after = values(list);
  after.insert(after.end(), landmarks.begin(), landmarks.end());
  picked_.clear();
  commit(list, std::move(after));
  return {PickOutcome::Kind::added, list, rows(list) - 1, {}};
}

void ProtocolDesign::cancel_pick() {
  if (!picking_) return;
  picking_.reset();
  picked_.clear();
  changed();
}

std::optional<std::size_t> ProtocolDesign::find(List list,
                                                std::span<const std::size_t> landmarks) const {
  const std::size_t w = width(list);
  const Values& v = values(list);
  for (std::size_t i = 0; i < rows(list); ++i) {
    const std::size_t* r = v.data() + i * w;
    // Reversing a pair, or the arms of an angle, measures the same thing.
    const bool same = std::equal(r, r + w, landmarks.begin()) ||
                      std::equal(r, r + w, landmarks.rbegin(), landmarks.rend());
    if (same) return i;
  }
  return std::nullopt;
}

std::size_t ProtocolDesign::add_pairs(const Matrix& pairs) {
  Values after = pairs_;
  std::size_t added = 0;
  const std::size_t existing = rows(List::pairs);
  for (std::size_t i = 0; i < pairs.rows(); ++i) {
    const std::size_t pair[2] = {static_cast<std::size_t>(pairs(i, 1)),
                                 static_cast<std::size_t>(pairs(i, 2))};
    if (existing && find(List::pairs, pair)) continue;
    after.insert(after.end(), pair, pair + 2);
    ++added;
  }
  if (added) commit(List::pairs, std::move(after));
  return added;
}

std::size_t ProtocolDesign::add_all_pairs() {
  require_sample();
  return add_pairs(all_pairs(k_));
}

std::size_t ProtocolDesign::add_chain() {
  require_sample();
  if (k_ < 2) (void)all_pairs(k_);  // raises the message for a sample without pairs
  Matrix chain(k_ - 1, 3);
  for (std::size_t i = 0; i + 1 < k_; ++i) {
    chain(i, 0) = static_cast<double>(i + 1);
    chain(i, 1) = static_cast<double>(i + 1);
    chain(i, 2) = static_cast<double>(i + 2);
  }
  return add_pairs(chain);
}

void ProtocolDesign::delete_rows(List list, std::span<const std::size_t> positions) {
  if (positions.empty()) return;
  for (std::size_t p : positions) check_position(list, p);
  std::vector<bool> gone(rows(list), false);
  for (std::size_t p : positions) gone[p] = true;
  const std::size_t w = width(list);
  const Values& v = values(list);
  Values after;
  after.reserve(v.size());
  for (std::size_t i = 0; i < gone.size(); ++i) {
    if (!gone[i]) after.insert(after.end(), v.begin() + i * w, v.begin() + (i + 1) * w);
  }
  commit(list, std::move(after));
}

void ProtocolDesign::move_row(List list, std::size_t from, std::size_t to) {
  check_position(list, from);
  check_position(list, to);
  if (from == to) return;
  const std::size_t w = width(list);
  Values after = values(list);
  const auto first = after.begin() + std::min(from, to) * w;
  const auto last = after.begin() + (std::max(from, to) + 1) * w;
  // Down, the row goes behind the rows it passes; up, in front of them.
  std::rotate(first, from < to ? first + w : last - w, last);
  commit(list, std::move(after));
}

void ProtocolDesign::clear(List list) {
  if (values(list).empty()) return;
  commit(list, {});
}

void ProtocolDesign::replace(List list, const Matrix& loaded, std::string_view file_name) {
  require_sample();
  std::vector<std::size_t> index = loaded_list_indices(loaded, file_name, width(list), k_);
  for (std::size_t& i : index) ++i;
  if (index == values(list)) return;
  commit(list, std::move(index));
}

void ProtocolDesign::save(List list, const std::string& path) const {
  if (values(list).empty()) raise(std::string("There are no ") + noun(list) + "s to save.");
  write_list(path, matrix(list));
}

bool ProtocolDesign::undo() {
  if (!can_undo()) return false;
  const Step& step = history_[--done_];
  values(step.list) = step.before;
  changed();
  return true;
}

bool ProtocolDesign::redo() {
  if (!can_redo()) return false;
  const Step& step = history_[done_++];
  values(step.list) = step.after;
  changed();
  return true;
}

void ProtocolDesign::require_sample() const {
  if (k_ == 0) raise("No sample is loaded.");
}

void ProtocolDesign::check_position(List list, std::size_t position) const {
  if (position >= rows(list)) {
    raise("There is no " + std::string(noun(list)) + " " + std::to_string(position + 1) +
          ": the list has " + std::to_string(rows(list)) + ".");
  }
}

void ProtocolDesign::commit(List list, Values after) {
  history_.resize(done_);  // a new change drops what could be redone
  history_.push_back({list, values(list), after});
  ++done_;
  values(list) = std::move(after);
  changed();
}

void ProtocolDesign::changed() {
  ++revision_;
  if (observer_) observer_();
}

}  // namespace dg

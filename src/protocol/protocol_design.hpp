// The protocol designer's model: the pair list and the triple list a user
// builds by picking landmarks on the mean shape, with edits, generators,
// undo and redo, loading and saving. No window: the panel draws it, turns
// clicks into picks and shortcuts into calls, and refreshes on each change.
//
// A row is a list of 1-based landmark numbers: 2 for a pair (a distance), 3
// for a triple (an angle: first arm end, vertex, second arm end). Rows are
// addressed by their 0-based position; a row's number in a saved list is its
// position plus 1.
//
// Picks are refused, with the lists and the landmarks picked so far kept, in
// these words:
//   No sample is loaded.
//   Start a distance or an angle before picking landmarks.
//   There is no landmark 25: the sample has 20 landmarks.
//   Landmark 3 cannot be paired with itself.
//   Landmarks 2 and 5 are already pair 4.
//   Landmark 3 is already picked: an angle needs three different landmarks.
//   Landmarks 1, 2 and 3 are already triple 2.
// A pair repeats another in either order; a triple repeats another with the
// same vertex and the same arm ends in either order.
//
// Edits raise a RuntimeError and change nothing when refused: an edit without
// a sample ("No sample is loaded."), a row that is not there ("There is no
// pair 7: the list has 5."), saving an empty list, and a loaded list that
// does not fit the sample, with the loader's error ("\"pairs.txt\": Pair 2
// names landmark 5, but the data have 4 landmarks. The list is not loaded.").
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "protocol/landmark_list.hpp"
#include "runtime/array/matrix.hpp"

namespace dg {

struct PixelPoint {
  double x = 0;
  double y = 0;
};

// The landmark (1-based) whose position is nearest (x, y) and at most `radius`
// away, all in pixels; the lower number of two at the same distance; nothing
// when none is that close.
std::optional<std::size_t> nearest_landmark(std::span<const PixelPoint> points, double x, double y,
                                            double radius);

class ProtocolDesign {
 public:
  enum class List { pairs, triples };

  struct PickOutcome {
    enum class Kind { waiting, added, refused };
    Kind kind = Kind::waiting;
    List list = List::pairs;  // the list a pick fills
    std::size_t row = 0;      // the position of the row added
    std::string message;      // why a pick was refused
  };

  // Landmarks a row of `list` names: 2 or 3.
  static std::size_t width(List list) { return list == List::pairs ? 2 : 3; }

  // The sample's landmark count; 0 while there is no sample. A new count ends
  // a half-made pick and keeps the lists (misfit() says whether they fit).
  std::size_t landmarks() const { return k_; }
  void set_landmarks(std::size_t k);

  std::size_t rows(List list) const { return values(list).size() / width(list); }
  std::span<const std::size_t> row(List list, std::size_t position) const;
  // As the rest of the program holds lists: "n a b" or "n a v b" rows,
  // n = 1..rows; the empty matrix for an empty list.
  Matrix matrix(List list) const;
  // Why the list does not fit the sample, as list_misfit says it; nothing
  // when it fits or is empty.
  std::optional<std::string> misfit(List list) const;

  // Picks. Starting a pick drops a half-made one. pick() adds a landmark and,
  // when the pick is complete, adds the row and starts the same pick again.
  PickOutcome pick_pair();
  PickOutcome pick_angle();
  PickOutcome pick(std::size_t landmark);
  void cancel_pick();
  bool picking() const { return picking_.has_value(); }
  std::optional<List> pick_list() const { return picking_; }
  const std::vector<std::size_t>& picked() const { return picked_; }

  // Edits; each is one undo step. The generators add the rows of their kind
  // that the pair list lacks, in their order, and return how many.
  std::size_t add_all_pairs();  // 1-2, 1-3, ..., (k-1)-k
  std::size_t add_chain();      // 1-2, 2-3, ..., (k-1)-k
  void delete_rows(List list, std::span<const std::size_t> positions);
  void delete_row(List list, std::size_t position) { delete_rows(list, {&position, 1}); }
  // Moves a row to another position, the rows between shifting by one.
  void move_row(List list, std::size_t from, std::size_t to);
  void clear(List list);
  // Replaces a list with one read from a file (`file_name` names it in an
  // error); its landmark columns are checked against the sample.
  void replace(List list, const Matrix& loaded, std::string_view file_name);
  // Writes the list as matrix() gives it, in the format the loaders read.
  void save(List list, const std::string& path) const;

  bool can_undo() const { return done_ > 0; }
  bool can_redo() const { return done_ < history_.size(); }
  bool undo();
  bool redo();

  // Counts every change a panel shows (rows, a pick, the sample, undo and
  // redo); the observer, if set, is called after each.
  std::uint64_t revision() const { return revision_; }
  void set_observer(std::function<void()> observer) { observer_ = std::move(observer); }

 private:
  using Values = std::vector<std::size_t>;  // rows one after another
  struct Step {
    List list;
    Values before;
    Values after;
  };

  const Values& values(List list) const { return list == List::pairs ? pairs_ : triples_; }
  Values& values(List list) { return list == List::pairs ? pairs_ : triples_; }
  void require_sample() const;
  void check_position(List list, std::size_t position) const;
  void commit(List list, Values after);
  void changed();
  PickOutcome start(List list);
  PickOutcome refuse(std::string message) const;
  std::optional<std::size_t> find(List list, std::span<const std::size_t> landmarks) const;
  std::size_t add_pairs(const Matrix& pairs);

  std::size_t k_ = 0;
  Values pairs_, triples_;
  std::optional<List> picking_;
  std::vector<std::size_t> picked_;
  std::vector<Step> history_;
  std::size_t done_ = 0;  // steps of history_ in effect; the rest can be redone
  std::uint64_t revision_ = 0;
  std::function<void()> observer_;
};

}  // namespace dg

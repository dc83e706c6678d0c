#include "protocol/protocol_design.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "input/dload.hpp"
#include "protocol/all_pairs.hpp"
#include "test_support.hpp"

namespace dg {
namespace {

namespace fs = std::filesystem;
using List = ProtocolDesign::List;
using Kind = ProtocolDesign::PickOutcome::Kind;

class ProtocolDesignTest : public ScratchTest {
 protected:
  ProtocolDesignTest() { design.set_landmarks(5); }
  // Picks the landmarks in turn and returns the last outcome.
  ProtocolDesign::PickOutcome pick(std::initializer_list<std::size_t> landmarks) {
    ProtocolDesign::PickOutcome outcome;
    for (std::size_t l : landmarks) outcome = design.pick(l);
    return outcome;
  }
  void expect_refused(const ProtocolDesign::PickOutcome& outcome, const std::string& message) {
    EXPECT_EQ(outcome.kind, Kind::refused);
    EXPECT_EQ(outcome.message, message);
  }

  ProtocolDesign design;
};

TEST_F(ProtocolDesignTest, PairPicksBecomeRowsAndRefusalsKeepThePick) {
  expect_refused(design.pick(1), "Start a distance or an angle before picking landmarks.");
  EXPECT_EQ(design.pick_pair().kind, Kind::waiting);
  EXPECT_EQ(design.pick(2).kind, Kind::waiting);
  EXPECT_EQ(design.picked(), std::vector<std::size_t>{2});
  auto added = design.pick(5);
  EXPECT_EQ(added.kind, Kind::added);
  EXPECT_EQ(added.list, List::pairs);
  EXPECT_EQ(added.row, 0u);
  EXPECT_TRUE(design.picked().empty());
  EXPECT_TRUE(design.picking());  // ready for the next pair

  design.pick(3);
  expect_refused(design.pick(3), "Landmark 3 cannot be paired with itself.");
  expect_refused(design.pick(6), "There is no landmark 6: the sample has 5 landmarks.");
  expect_refused(design.pick(0), "There is no landmark 0: the sample has 5 landmarks.");
  EXPECT_EQ(design.picked(), std::vector<std::size_t>{3});
  EXPECT_EQ(design.pick(4).row, 1u);
  expect_refused(pick({5, 2}), "Landmarks 5 and 2 are already pair 1.");
  EXPECT_EQ(design.picked(), std::vector<std::size_t>{5});

  design.cancel_pick();
  EXPECT_FALSE(design.picking());
  EXPECT_TRUE(design.picked().empty());
  EXPECT_EQ(design.matrix(List::pairs), (Matrix{{1, 2, 5}, {2, 3, 4}}));
  EXPECT_TRUE(design.matrix(List::triples).empty());

  design.set_landmarks(0);
  expect_refused(design.pick_pair(), "No sample is loaded.");
  expect_refused(design.pick(1), "No sample is loaded.");
  EXPECT_EQ(design.rows(List::pairs), 2u);
}

TEST_F(ProtocolDesignTest, AnglePicksBecomeRowsAndRefusalsKeepThePick) {
  design.pick_pair();
  design.pick(1);
  design.pick_angle();  // drops the half-made pair
  pick({1, 2});
  expect_refused(design.pick(1),
                 "Landmark 1 is already picked: an angle needs three different landmarks.");
  EXPECT_EQ(design.picked(), (std::vector<std::size_t>{1, 2}));
  EXPECT_EQ(design.pick(3).list, List::triples);
  // The same vertex with its arms swapped is the same angle; another vertex is not.
  expect_refused(pick({3, 2, 1}), "Landmarks 3, 2 and 1 are already triple 1.");
  design.pick_angle();
  EXPECT_EQ(pick({2, 1, 3}).row, 1u);
  EXPECT_EQ(design.matrix(List::triples), (Matrix{{1, 1, 2, 3}, {2, 2, 1, 3}}));
  EXPECT_EQ(design.rows(List::pairs), 0u);
}

TEST_F(ProtocolDesignTest, NearestLandmarkWithinTheRadiusAndTheLowerOfATie) {
  const std::vector<PixelPoint> points{{10, 10}, {20, 10}, {30, 10}, {20, 10}};
  EXPECT_EQ(nearest_landmark(points, 12, 11, 5), 1u);
  EXPECT_EQ(nearest_landmark(points, 15, 10, 5), 1u);  // as near 1 as 2
  EXPECT_EQ(nearest_landmark(points, 21, 10, 5), 2u);  // 2 and 4 share a place
  EXPECT_EQ(nearest_landmark(points, 30, 14, 4), 3u);  // on the radius
  EXPECT_FALSE(nearest_landmark(points, 30, 15, 4));
  EXPECT_FALSE(nearest_landmark({}, 0, 0, 4));
}

TEST_F(ProtocolDesignTest, GeneratorsAddTheMissingPairsInOrder) {
  EXPECT_EQ(design.add_chain(), 4u);
  EXPECT_EQ(design.matrix(List::pairs), (Matrix{{1, 1, 2}, {2, 2, 3}, {3, 3, 4}, {4, 4, 5}}));
  EXPECT_EQ(design.add_chain(), 0u);
  EXPECT_EQ(design.add_all_pairs(), 6u);
  // The chain kept, then the pairs it lacks.
  const Matrix pairs = design.matrix(List::pairs);
  const auto values = pairs.values();
  EXPECT_EQ(std::vector<double>(values.begin() + 12, values.end()),
            (std::vector<double>{5, 1, 3, 6, 1, 4, 7, 1, 5, 8, 2, 4, 9, 2, 5, 10, 3, 5}));
  design.clear(List::pairs);
  design.add_all_pairs();
  EXPECT_EQ(design.matrix(List::pairs), all_pairs(5));

  design.set_landmarks(1);
  EXPECT_THROW_MSG(design.add_chain(), "A sample of 1 landmark has no pairs.");
  design.set_landmarks(0);
  EXPECT_THROW_MSG(design.add_all_pairs(), "No sample is loaded.");
  EXPECT_EQ(design.matrix(List::pairs), all_pairs(5));
}

TEST_F(ProtocolDesignTest, RowEditsMoveAndDeleteAndRefuseMissingRows) {
  design.add_chain();  // 1-2 2-3 3-4 4-5
  design.move_row(List::pairs, 0, 2);
  design.move_row(List::pairs, 3, 0);
  EXPECT_EQ(design.matrix(List::pairs), (Matrix{{1, 4, 5}, {2, 2, 3}, {3, 3, 4}, {4, 1, 2}}));
  const std::size_t gone[] = {3, 1};
  design.delete_rows(List::pairs, gone);
  EXPECT_EQ(design.matrix(List::pairs), (Matrix{{1, 4, 5}, {2, 3, 4}}));

  const auto revision = design.revision();
  EXPECT_THROW_MSG(design.delete_row(List::pairs, 2), "There is no pair 3: the list has 2.");
  EXPECT_THROW_MSG(design.move_row(List::triples, 0, 0), "There is no triple 1: the list has 0.");
  EXPECT_EQ(design.revision(), revision);
}

TEST_F(ProtocolDesignTest, UndoAndRedoWalkAMixedHistory) {
  std::vector<std::pair<Matrix, Matrix>> states{{Matrix(), Matrix()}};
  const auto keep = [&] {
    states.emplace_back(design.matrix(List::pairs), design.matrix(List::triples));
  };
  EXPECT_FALSE(design.can_undo());
  design.pick_pair();
  pick({1, 3});
  keep();
  design.pick_angle();
  pick({1, 2, 3});
  keep();
  design.add_chain();
  keep();
  design.move_row(List::pairs, 4, 0);
  keep();
  design.delete_row(List::pairs, 1);
  keep();
  design.replace(List::triples, Matrix{{7, 5, 4, 3}, {8, 1, 5, 2}}, "t.txt");
  keep();
  design.clear(List::pairs);
  keep();

  for (std::size_t i = states.size() - 1; i > 0; --i) {
    ASSERT_TRUE(design.can_undo());
    EXPECT_TRUE(design.undo());
    EXPECT_EQ(design.matrix(List::pairs), states[i - 1].first) << "undo to " << i - 1;
    EXPECT_EQ(design.matrix(List::triples), states[i - 1].second) << "undo to " << i - 1;
  }
  EXPECT_FALSE(design.undo());
  for (std::size_t i = 1; i < states.size(); ++i) {
    EXPECT_TRUE(design.redo());
    EXPECT_EQ(design.matrix(List::pairs), states[i].first) << "redo to " << i;
    EXPECT_EQ(design.matrix(List::triples), states[i].second) << "redo to " << i;
  }
  EXPECT_FALSE(design.can_redo());

  // A change after undoing drops the steps that could be redone.
  design.undo();
  design.undo();
  design.add_all_pairs();
  EXPECT_FALSE(design.can_redo());
  design.undo();
  EXPECT_EQ(design.matrix(List::pairs), states[states.size() - 3].first);
  EXPECT_EQ(design.matrix(List::triples), states[states.size() - 3].second);
}

TEST_F(ProtocolDesignTest, SavedListsHoldTheRowsAsShown) {
  design.add_chain();
  design.move_row(List::pairs, 0, 3);
  design.pick_angle();
  pick({5, 1, 3});
  pick({2, 4, 1});
  design.save(List::pairs, at("pairs.txt"));
  design.save(List::triples, at("triples.txt"));
  EXPECT_EQ(contents(at("pairs.txt")), "1 2 3\n2 3 4\n3 4 5\n4 1 2\n");
  EXPECT_EQ(contents(at("triples.txt")), "1 5 1 3\n2 2 4 1\n");

  design.clear(List::pairs);
  EXPECT_THROW_MSG(design.save(List::pairs, at("none.txt")), "There are no pairs to save.");
  EXPECT_FALSE(fs::exists(at("none.txt")));
}

TEST_F(ProtocolDesignTest, ARefusedLoadChangesNothing) {
  design.add_chain();
  const Matrix pairs = design.matrix(List::pairs);
  const auto revision = design.revision();
  EXPECT_THROW_MSG(
      design.replace(List::triples, dload(file("narrow.txt", "1 1 2\n")), "narrow.txt"),
      "\"narrow.txt\": Triple list rows need 4 columns (a number, then 3 landmark "
      "numbers); this list has 3. The list is not loaded.");
  EXPECT_THROW_MSG(design.replace(List::pairs, dload(file("empty.txt", "")), "empty.txt"),
                   "The file \"empty.txt\" holds no pairs; each line names a pair: a number, then "
                   "2 landmark numbers.");
  EXPECT_EQ(design.matrix(List::pairs), pairs);
  EXPECT_TRUE(design.matrix(List::triples).empty());
  EXPECT_EQ(design.revision(), revision);
  design.undo();
  EXPECT_TRUE(design.matrix(List::pairs).empty());  // the chain was the last step

  // Lists stay when the sample changes; the misfit says why they no longer apply.
  design.redo();
  design.set_landmarks(4);
  EXPECT_EQ(design.misfit(List::pairs), "landmark 5 of 4");
  EXPECT_FALSE(design.misfit(List::triples));
}

}  // namespace
}  // namespace dg

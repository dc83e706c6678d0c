// Replicates matched in a sample, the edge cases of their analysis of
// variance, and the specimens whose replicates lie furthest apart. The
// numbers themselves are checked against R in tests/batch/against_r_test.sh.
#include "pipeline/replicates.hpp"

#include <cmath>
#include <sstream>

#include "pipeline_support.hpp"
#include "test_support.hpp"

namespace dg {
namespace {

using ReplicatesTest = ScratchTest;

// Squares of four landmarks, each specimen twice ("<id>_r1", "<id>_r2");
// the second replicate of specimen c has landmark 3 moved far.
std::string replicate_text() {
  std::ostringstream tps;
  const char* ids[] = {"a", "b", "c", "d", "e"};
  for (int r = 1; r <= 2; ++r) {
    for (int i = 0; i < 5; ++i) {
      const double far = r == 2 && i == 2 ? 0.4 : 0.0;
      tps << "LM=4\n0 0\n"
          << 1 + 0.05 * i << " 0\n1 " << 1 + 0.01 * r + far << "\n0 1\nID=" << ids[i] << "_r" << r
          << "\n";
    }
  }
  return tps.str();
}

TEST_F(ReplicatesTest, RowsAreMatchedByPatternOrIdAndUnmatchedRowsAreNamed) {
  const Sample sample = load(file("r.tps", replicate_text()));
  const ReplicateGroups groups = replicate_groups(sample, "id:^(.*)_r[0-9]+$");
  EXPECT_EQ(groups.names, (std::vector<std::string>{"a", "b", "c", "d", "e"}));
  EXPECT_EQ(groups.of, (std::vector<std::size_t>{0, 1, 2, 3, 4, 0, 1, 2, 3, 4}));

  EXPECT_THROW_MSG(replicate_groups(sample, "id:_r1$"),
                   "Replicates are matched by the pattern \"_r1$\" in ID=, which names no "
                   "specimen for specimen 6 (ID=a_r2), specimen 7 (ID=b_r2), specimen 8 "
                   "(ID=c_r2), specimen 9 (ID=d_r2) and specimen 10 (ID=e_r2).");
  EXPECT_THROW_HAS(replicate_groups(sample, "files"), "No specimen has two replicates");
  EXPECT_THROW_HAS(replicate_groups(sample, "id:(unclosed"), "is not a regular expression");
  EXPECT_THROW_HAS(replicate_groups(sample, "name:x"), "\"name:x\" is none of them");
}

TEST_F(ReplicatesTest, ReplicatesFurthestApartAreRankedAndWrittenPlain) {
  const Sample sample = load(file("r.tps", replicate_text()));
  const Study study{sample, {}, {}, distance_rows(sample, {})};
  std::vector<std::string> warnings;
  const MeasurementError e =
      measurement_error(study, replicate_groups(sample, "id:^(.*)_r"), warnings);
  ASSERT_EQ(e.variables, (std::vector<std::string>{"centroid_size"}));
  ASSERT_TRUE(e.shape);
  ASSERT_EQ(e.distances.size(), 5u);
  EXPECT_EQ(e.distances[2].rank, 1u);
  EXPECT_TRUE(e.distances[2].flagged);
  EXPECT_EQ(e.distances[2].first, 3u);
  EXPECT_EQ(e.distances[2].second, 8u);
  write_replicate_distances(e, at("d.txt"), TableFormat::Plain);
  std::istringstream lines(contents(at("d.txt")));
  std::string line;
  for (int i = 0; i < 3; ++i) std::getline(lines, line);
  EXPECT_EQ(line.substr(0, 2), "2 ");
  EXPECT_EQ(line.substr(line.size() - 8), " 3 8 1 1");
}

TEST(OneWayAnovaTest, EdgeCasesKeepWhatTheyMeasure) {
  const std::vector<std::size_t> groups{0, 0, 1, 1, 2, 2};
  // Replicates that agree exactly: no measurement error at all.
  const OneWayAnova exact = one_way_anova(std::vector<double>{1, 1, 2, 2, 4, 4}, groups, 3);
  EXPECT_EQ(exact.repeatability, 1);
  EXPECT_EQ(exact.percent_me, 0);
  EXPECT_EQ(exact.ci_lower, 1);
  // More variation within specimens than among them: a negative component,
  // kept as it is, and a NaN value drops out of the counts.
  const OneWayAnova noisy = one_way_anova(std::vector<double>{1, 3, 3, 1, 2, 2, std::nan("")},
                                          std::vector<std::size_t>{0, 0, 1, 1, 2, 2, 2}, 3);
  EXPECT_EQ(noisy.measurements, 6u);
  EXPECT_LT(noisy.s2_among, 0);
  EXPECT_LT(noisy.repeatability, 0);
  // One specimen has no among-specimen variance to estimate.
  EXPECT_TRUE(std::isnan(
      one_way_anova(std::vector<double>{1, 2}, std::vector<std::size_t>{0, 0}, 1).repeatability));
}

}  // namespace
}  // namespace dg

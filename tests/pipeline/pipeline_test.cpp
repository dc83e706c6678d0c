// The road of a study through the pipeline: load, superimpose, measure, write.
#include <cmath>
#include <sstream>

#include "input/dload.hpp"
#include "input/tps_scan.hpp"
#include "morpho/centsize.hpp"
#include "pipeline/write_outputs.hpp"
#include "pipeline_support.hpp"
#include "runtime/array/format.hpp"
#include "test_support.hpp"

namespace dg {
namespace {

using PipelineTest = ScratchTest;

TEST_F(PipelineTest, TheSmallStudyIsSuperimposedAndWrittenAsTheIndependentlyComputedDatasets) {
  const Sample sample = load(kRoad + "small.tps");
  ASSERT_EQ(sample.dimensions, 2u);
  ASSERT_EQ(sample.specimens(), 4u);
  ASSERT_EQ(sample.landmarks(), 4u);
  EXPECT_EQ(sample.name, "small.tps");
  const TpsData raw = read_tps_file(kRoad + "small.tps", false, centsize);
  for (std::size_t i = 0; i < sample.specimens(); ++i) {
    double cx = 0, cy = 0, ss = 0;
    for (int j = 0; j < 4; ++j) {
      cx += sample.coordinates(i, 2 * j) / 4, cy += sample.coordinates(i, 2 * j + 1) / 4;
    }
    for (int j = 0; j < 8; ++j) ss += sample.coordinates(i, j) * sample.coordinates(i, j);
    EXPECT_NEAR(cx, 0, 1e-12);
    EXPECT_NEAR(cy, 0, 1e-12);
    EXPECT_NEAR(ss, 1, 1e-12);
    EXPECT_EQ(sample.sizes[i], raw.sizes[i]);  // the size as read
    EXPECT_EQ(sample.records[i].number, i + 1);
  }
  EXPECT_EQ(sample.consensus.cols(), 8u);  // a configuration: no size element
  EXPECT_GT(sample.passes, 0u);

  const Matrix pairs = dload(kRoad + "pairs.txt");
  const CheckedList checked = checked_list(pairs, 2, sample.landmarks());
  const Study study{sample, checked, checked_list(dload(kRoad + "triples.txt"), 3, 4),
                    distance_rows(sample, checked.landmarks)};
  std::vector<std::string> warnings;
  const auto written = write_outputs(study,
                                     {{Output::lengths, at("l.txt")},
                                      {Output::log_lengths, at("ll.txt")},
                                      {Output::constrained, at("c.txt")}},
                                     TableFormat::Plain, warnings, Digest::sha256);
  ASSERT_EQ(written.size(), 3u);
  EXPECT_EQ(written[1].path, at("ll.txt"));
  EXPECT_EQ(written[1].rows, 4u);
  EXPECT_EQ(written[0].sha256, "c0b9a3443fadf5bc15d875f4512c4c27dd1d988b23d7417e173dcd2c5b253034");
  EXPECT_EQ(contents(at("l.txt")), contents(kRoad + "expected-lengths.txt"));
  EXPECT_EQ(contents(at("ll.txt")), contents(kRoad + "expected-log-lengths.txt"));
  EXPECT_EQ(contents(at("c.txt")), contents(kRoad + "expected-constrained.txt"));
  EXPECT_TRUE(warnings.empty());
}

// Distances of zero (two coinciding landmarks): the log gives -Inf, the
// constraint 0/0 NaN, and the size is kept.
TEST_F(PipelineTest, CoincidingLandmarksWriteZeroMinusInfAndNaN) {
  const Sample sample = load(file("flat.txt", "0 0 0 0 1 1 5\n"), {}, SampleFormat::matrix);
  const CheckedList pairs = checked_list(Matrix{{1, 1, 2}}, 2, sample.landmarks());
  const Study study{sample, pairs, {}, distance_rows(sample, pairs.landmarks)};
  std::vector<std::string> warnings;
  const auto written = write_outputs(study,
                                     {{Output::lengths, at("l.txt")},
                                      {Output::log_lengths, at("ll.txt")},
                                      {Output::constrained, at("c.txt")}},
                                     TableFormat::Plain, warnings);
  EXPECT_FALSE(written[0].sha256);  // read back only when asked
  EXPECT_EQ(contents(at("l.txt")), "0 5  \n");
  EXPECT_EQ(contents(at("ll.txt")), "-Inf 5  \n");
  EXPECT_EQ(contents(at("c.txt")), "NaN 5  \n");
}

TEST_F(PipelineTest, EachSpecimenIsMultipliedByItsOwnScaleFactor) {
  const std::string square = "0 0\n2 0\n2 2\n0 2\n";
  const Sample sample = load(
      file("s.tps", "LM=4\n" + square + "ID=Lepomis L1\nSCALE=0.0125\n" + "lm=4\n" + square +
                        "IMAGE=a.jpg\nscale=0.025\nCOMMENT=x\n" + "Lm=4\n" + square + "Scale=1\n"),
      {}, SampleFormat::tps_scale);
  ASSERT_EQ(sample.specimens(), 3u);
  EXPECT_NEAR(sample.sizes[0], 0.0125 * std::sqrt(8), 1e-15);
  EXPECT_NEAR(sample.sizes[1], 0.025 * std::sqrt(8), 1e-15);
  EXPECT_NEAR(sample.sizes[2], std::sqrt(8), 1e-15);
  const Matrix d = distances(sample, Matrix{{1, 1, 2}});
  EXPECT_NEAR(d(0, 0), 0.025, 1e-15);
  EXPECT_NEAR(d(1, 0) / d(0, 0), 2, 1e-12);
}

TEST_F(PipelineTest, AnglesIgnoreRotationTranslationAndScaleAndDegreesFollowRadians) {
  // Specimen 2 is specimen 1 turned by 0.7 rad, scaled by 3.5 and moved.
  const std::vector<double> a{0, 0, 4, 0.5, 3, 3, 0.5, 2.5, 2, -1};
  std::string text;
  for (int s = 0; s < 2; ++s) {
    for (std::size_t j = 0; j < a.size(); j += 2) {
      double x = a[j], y = a[j + 1];
      if (s == 1) {
        const double c = std::cos(0.7), n = std::sin(0.7);
        const double rx = 3.5 * (c * x - n * y) + 12, ry = 3.5 * (n * x + c * y) - 7;
        x = rx, y = ry;
      }
      std::ostringstream v;
      v.precision(17);
      v << x << " " << y << " ";
      text += v.str();
    }
    text += "1\n";
  }
  const Sample sample = load(file("two.txt", text), {}, SampleFormat::matrix);
  const Matrix triples{{1, 1, 2, 3}, {2, 5, 1, 4}, {3, 2, 3, 4}};
  const Matrix radians = angles(sample, triples);
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(radians(0, i), radians(1, i), 1e-12);
  const Study study{sample, {}, checked_list(triples, 3, sample.landmarks()), {}};
  std::vector<std::string> warnings;
  write_output(study, Output::degrees, at("deg.txt"), TableFormat::Plain, warnings);
  std::string expected;
  for (std::size_t s = 0; s < 2; ++s) {
    for (int i = 0; i < 3; ++i) expected += dg::sprintf("%g ", radians(s, i) * 180 / M_PI);
    expected += " \n";
  }
  EXPECT_EQ(contents(at("deg.txt")), expected);
}

}  // namespace
}  // namespace dg

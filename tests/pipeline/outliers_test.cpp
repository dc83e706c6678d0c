// The outlier screen of a loaded sample, its report and its tables.
#include "pipeline/outliers.hpp"

#include <complex>
#include <iterator>
#include <sstream>

#include "input/tps_scan.hpp"
#include "morpho/centsize.hpp"
#include "pipeline/load_sample.hpp"
#include "pipeline_support.hpp"
#include "test_support.hpp"

namespace dg {
namespace {

using OutliersTest = ScratchTest;

TEST_F(OutliersTest, DistancesAreThoseOfEachSpecimenFittedAnewOntoTheConsensus) {
  const Sample sample = load(kRoad + "small.tps");
  std::vector<std::string> warnings;
  const OutlierScreen screen = screen_outliers(sample, warnings);
  // With landmarks as complex numbers, centred and of unit size, the
  // distance after the best rotation is sqrt(2 - 2 |sum conj(z) w|).
  const TpsData raw = read_tps_file(kRoad + "small.tps", false, centsize);
  const auto complex_row = [](std::span<const double> row) {
    std::vector<std::complex<double>> z;
    std::complex<double> mean = 0;
    for (std::size_t j = 0; j < row.size(); j += 2) z.emplace_back(row[j], row[j + 1]);
    for (const auto& p : z) mean += p / static_cast<double>(z.size());
    double size = 0;
    for (auto& p : z) size += std::norm(p -= mean);
    for (auto& p : z) p /= std::sqrt(size);
    return z;
  };
  // The screen fits onto the converged consensus, not the load's.
  Sample converged = sample;
  converge_sample(converged, warnings);
  const auto w = complex_row(converged.consensus.row(0));
  for (std::size_t i = 0; i < sample.specimens(); ++i) {
    const auto z = complex_row(raw.coordinates.row(i));
    std::complex<double> product = 0;
    for (std::size_t j = 0; j < z.size(); ++j) product += std::conj(z[j]) * w[j];
    EXPECT_NEAR(screen.specimens[i].distance, std::sqrt(2 - 2 * std::abs(product)), 1e-12);
  }
  const std::vector<std::string> report = outlier_report(sample, screen);
  EXPECT_EQ(report.size(), 1 + screen.flagged);
  EXPECT_NE(report[0].find("(on the converged superimposition): "), std::string::npos);
  EXPECT_NE(report[0].find("above Q3 + 1.5 (Q3 - Q1) = "), std::string::npos) << report[0];
}

TEST_F(OutliersTest, PlainFilesHoldTheValuesAsNumbersAndAMatrixIsRefused) {
  // Twelve near squares, the fourth with landmarks 2 and 3 swapped.
  std::ostringstream tps;
  for (int i = 0; i < 12; ++i) {
    tps << "LM=4\n0 0\n" << (i == 3 ? "1 1\n1 0\n" : "1 0\n1 1\n") << 0.01 * (i % 5) << " 1\n";
  }
  const Sample sample = load(file("s.tps", tps.str()));
  std::vector<std::string> warnings;
  const OutlierScreen screen = screen_outliers(sample, warnings);
  const Written plain =
      write_outliers(sample, screen, at("o.txt"), TableFormat::Plain, Digest::sha256);
  EXPECT_EQ(plain.rows, 12u);
  EXPECT_TRUE(plain.sha256.has_value());
  std::istringstream text(contents(at("o.txt")));
  std::vector<std::vector<std::string>> lines;
  for (std::string line; std::getline(text, line);) {
    std::istringstream fields(line);
    lines.emplace_back(std::istream_iterator<std::string>(fields),
                       std::istream_iterator<std::string>());
  }
  ASSERT_EQ(lines.size(), 12u);
  // incomplete, rank, flagged, worst landmark; the swap; mirrored.
  const std::vector<std::string>& swapped = lines[3];
  ASSERT_EQ(swapped.size(), 10u);
  EXPECT_EQ(std::vector<std::string>(
                {swapped[1], swapped[2], swapped[3], swapped[6], swapped[7], swapped[9]}),
            std::vector<std::string>({"0", "1", "1", "2", "3", "0"}));
  EXPECT_EQ(swapped[4], std::to_string(screen.specimens[3].worst_landmark));
  EXPECT_EQ(std::vector<std::string>(lines[4].begin() + 6, lines[4].end()),
            std::vector<std::string>(4, "NaN"));

  Sample matrix = sample;
  matrix.consensus = Matrix();
  EXPECT_THROW_HAS(screen_outliers(matrix, warnings),
                   "needs a superimposed sample with its consensus");
}

}  // namespace
}  // namespace dg

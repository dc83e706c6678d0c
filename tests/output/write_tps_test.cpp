// TPS files written from a sample: the exact text, and the reader's view of
// them (the same doubles, IDs and images), also after a second superimposition.
#include "output/write_tps.hpp"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "input/tps_scan.hpp"
#include "morpho/centsize.hpp"
#include "morpho/getconsensus.hpp"
#include "runtime/array/file_io.hpp"
#include "test_support.hpp"

namespace dg {
namespace {

namespace fs = std::filesystem;

class WriteTpsTest : public ScratchTest {};

bool same_bits(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b));
}

// The coordinates of `a` and `b` differ by at most `tolerance`.
void expect_coordinates_near(const Matrix& a, const Matrix& b, double tolerance) {
  ASSERT_EQ(a.rows(), b.rows());
  ASSERT_EQ(a.cols(), b.cols());
  for (std::size_t i = 0; i < a.rows(); ++i) {
    for (std::size_t j = 0; j < a.cols(); ++j) {
      ASSERT_NEAR(a(i, j), b(i, j), tolerance) << "row " << i << ", column " << j;
    }
  }
}

TEST_F(WriteTpsTest, SampleByteForByteAndReadBackExactly) {
  std::vector<SpecimenRecord> records(2);
  auto text = std::make_shared<RecordText>();
  text->file = "in.tps";
  records[0].set(SpecimenRecord::Id, text->values, "R\xEDo 1");
  records[0].set(SpecimenRecord::Image, text->values, "a b.jpg");
  records[1].set(SpecimenRecord::Id, text->values, "two\r\nLM=9");
  for (SpecimenRecord& record : records) record.attach(text);
  const double nan = std::nan("");
  // The third row has no record.
  const Matrix rows{{0.1 + 0.2, -0.0, 1e21, 2.5e-300}, {nan, nan, 1.0 / 3, -4}, {1, 2, 3, 4}};
  write_tps(at("s.tps"), rows, 2, records);
  EXPECT_EQ(contents(at("s.tps")),
            "LM=2\n0.30000000000000004 -0\n1e+21 2.5e-300\nIMAGE=a b.jpg\nID=R\xEDo 1\n"
            "LM=2\nNA NA\n0.3333333333333333 -4\nID=two  LM=9\n"
            "LM=2\n1 2\n3 4\n");

  TpsOptions options;
  options.missing = true;
  const TpsData back = read_tps(contents(at("s.tps")), "s.tps", options);
  ASSERT_EQ(back.coordinates.rows(), 3u);
  ASSERT_EQ(back.coordinates.cols(), 4u);
  for (std::size_t i = 0; i < 3; ++i) {
    for (std::size_t j = 0; j < 4; ++j) {
      EXPECT_TRUE(same_bits(back.coordinates(i, j), rows(i, j))) << i << ", " << j;
    }
  }
  EXPECT_EQ(back.records[0].id(), "R\xEDo 1");
  EXPECT_EQ(back.records[0].image(), "a b.jpg");
  EXPECT_EQ(back.records[1].id(), "two  LM=9");
  EXPECT_FALSE(back.records[2].has(SpecimenRecord::Id));
  EXPECT_EQ(back.incomplete, 1u);

  write_tps_consensus(at("c.tps"), Matrix{{-0.5, 0.25, 0.5, -0.25}}, 2);
  EXPECT_EQ(contents(at("c.tps")), "LM=2\n-0.5 0.25\n0.5 -0.25\nID=consensus\n");

  const std::string nowhere = at("missing-folder/s.tps");
  EXPECT_THROW_HAS(write_tps(nowhere, rows, 2, records), "Cannot open \"" + nowhere + "\"");

  // A 3-D sample: LM3= and x y z lines, read back as 3-D without being asked.
  const Matrix solid{{0.1 + 0.2, -0.0, 1e21, 1, 2, 3}, {1, nan, 3, 4, 5, 6}};
  write_tps(at("s3.tps"), solid, 3, std::span(records).first(1));
  EXPECT_EQ(contents(at("s3.tps")),
            "LM3=2\n0.30000000000000004 -0 1e+21\n1 2 3\nIMAGE=a b.jpg\nID=R\xEDo 1\n"
            "LM3=2\nNA NA NA\n4 5 6\n");
  const TpsData back3 = read_tps(contents(at("s3.tps")), "s3.tps", options);
  EXPECT_EQ(back3.dimensions, 3u);
  EXPECT_TRUE(same_bits(back3.coordinates(0, 1), -0.0));
  EXPECT_TRUE(std::isnan(back3.coordinates(1, 0)) && back3.coordinates(1, 5) == 6);
  write_tps_consensus(at("c3.tps"), Matrix{{-0.5, 0.25, 0, 0.5, -0.25, 0}}, 3);
  EXPECT_EQ(contents(at("c3.tps")), "LM3=2\n-0.5 0.25 0\n0.5 -0.25 0\nID=consensus\n");
}

// A published file with scale factors, CR LF line ends and IDs.
TEST_F(WriteTpsTest, PublishedSampleReadsBackWithItsIds) {
  SKIP_WITHOUT_REAL_DATA();
  const TpsData read =
      read_tps_file(real_data("bluegill-body-417spec-k19-scale-crlf.TPS"), true, centsize);
  const ConsensusResult fit = getconsensus(read.coordinates, 2);
  write_tps(at("b.tps"), fit.superimposed, 2, read.records);
  const TpsData back = read_tps_file(at("b.tps"), false, centsize);
  ASSERT_EQ(back.records.size(), 417u);
  for (std::size_t i = 0; i < 417; ++i) {
    ASSERT_EQ(back.records[i].id(), read.records[i].id()) << "specimen " << i + 1;
    ASSERT_EQ(back.records[i].image(), read.records[i].image()) << "specimen " << i + 1;
    ASSERT_FALSE(back.records[i].has(SpecimenRecord::Scale));
  }
  expect_coordinates_near(back.coordinates, fit.superimposed, 0);
  expect_coordinates_near(getconsensus(back.coordinates, 2).superimposed, fit.superimposed, 1e-12);
}

}  // namespace
}  // namespace dg

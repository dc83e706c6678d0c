// The specimens as digitised, and the names and verdicts of their pictures.
#include "pipeline/specimen_photos.hpp"

#include <cmath>

#include "pipeline/outliers.hpp"
#include "pipeline/specimen_sheet.hpp"
#include "pipeline_support.hpp"
#include "test_support.hpp"

namespace dg {
namespace {

using SpecimenPhotosTest = ScratchTest;

TEST_F(SpecimenPhotosTest, RowsAreTheFilesPixelsUnscaledAlsoWithSpecimensLeftOut) {
  file("b.png", "");
  const std::string tps = file("a.tps",
                               "LM=3\n10 20\n30 20\n20 40\nIMAGE=C:\\x\\b.png\nID=one\nSCALE=0.5\n"
                               "LM=3\n11 21\n31 22\nNA NA\nIMAGE=gone.jpg\nID=two\nSCALE=2\n"
                               "LM=3\n12 19\n33 18\n21 42\nID=three\nSCALE=4\n");
  TpsOptions reading;
  reading.missing = true;
  const LoadOptions options{SampleFormat::tps_scale, reading};
  std::vector<std::string> warnings;
  const Sample sample = load_sample({tps}, options, warnings);
  const DigitisedSpecimens all = digitised_specimens(sample, options);
  ASSERT_EQ(all.coordinates.rows(), 3u);
  EXPECT_EQ(all.coordinates(0, 0), 10);
  EXPECT_EQ(all.coordinates(2, 5), 42);
  EXPECT_TRUE(std::isnan(all.coordinates(1, 4)));
  EXPECT_EQ(all.images[0], at("b.png"));
  EXPECT_FALSE(all.images[1]);
  EXPECT_FALSE(all.images[2]);

  const DigitisedSpecimens kept =
      digitised_specimens(without_specimens(sample, {0}, warnings), options);
  ASSERT_EQ(kept.coordinates.rows(), 2u);
  EXPECT_EQ(kept.coordinates(1, 0), 12);

  file("a.tps", "LM=3\n10 20\n30 20\n20 40\n");
  EXPECT_THROW_MSG(digitised_specimens(sample, options),
                   "\"" + tps +
                       "\" changed since the sample was loaded: specimen 2 is no longer in it; "
                       "load it again.");
  const std::string m = file("m.txt", "0 0 1 0 1 1 1\n0 0 2 0 2 2 2\n");
  const LoadOptions matrix{SampleFormat::matrix, {}};
  EXPECT_THROW_MSG(digitised_specimens(load_sample({m}, matrix, warnings), matrix),
                   "\"m.txt\" has no photos: it was not read from a TPS file.");
}

TEST_F(SpecimenPhotosTest, PictureNamesAndVerdictsSayWhoAndHowFar) {
  const std::string tps = file("n.tps",
                               "LM=2\n0 0\n1 0\nID=a<&\"b\n"
                               "LM=2\n0 0\n1 0\nIMAGE=C:\\scans\\M-12 maxilla.tif\n"
                               "LM=2\n0 0\n1 0\n");
  const Sample sample = load(tps);
  const std::vector<std::string> names{"1-a_b.png", "2-M-12_maxilla.png", "3.png"};
  for (std::size_t row = 0; row < 3; ++row) {
    EXPECT_EQ(specimen_plot_name(row, 3, sample.records[row], ".png"), names[row]);
  }
  EXPECT_EQ(specimen_plot_name(6, 120, sample.records[2], ".png"), "007.png");
  EXPECT_EQ(outlier_verdict(nullptr, 0), "not screened");
  OutlierScreen screen;
  screen.threshold = 0.08;
  screen.specimens.resize(3);
  screen.specimens[0] = {0.21, true, 1, true, 4, 0.5, 4, 5, 0.04, 0.3, true};
  screen.specimens[1].distance = 0.0213, screen.specimens[1].rank = 2;
  EXPECT_EQ(outlier_verdict(&screen, 0),
            "distance 0.21 over its present landmarks, rank 1 of 3; flagged (above 0.08): "
            "landmarks 4 and 5 look swapped; the mirror image fits better");
  EXPECT_EQ(outlier_verdict(&screen, 1), "distance 0.0213, rank 2 of 3");
  EXPECT_EQ(outlier_verdict(&screen, 2), "no landmark to measure");
  EXPECT_EQ(html_text("a<&\"'>"), "a&lt;&amp;&quot;&#39;&gt;");
  EXPECT_EQ(url_name("1-a b%.png"), "1-a%20b%25.png");
}

}  // namespace
}  // namespace dg

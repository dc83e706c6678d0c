// Where the coordinate tokens of a TPS text stand: the reader's specimens and
// values on the published files (the layouts are the corrected files' tests),
// and the text a file writes for a missing coordinate.
#include "input/tps_coordinate_spans.hpp"

#include <cmath>
#include <filesystem>

#include "input/missing_code.hpp"
#include "input_test_support.hpp"
#include "test_support.hpp"

namespace dg {
namespace {

// The spans give the reader's specimens, and each token reads as the
// reader's value (a missing landmark has a token read as missing).
void expect_reader_agrees(std::string_view text, const TpsOptions& options,
                          const std::string& name) {
  SCOPED_TRACE(name);
  const TpsData read = read_tps(text, name, options);
  const CoordinateSpans spans = tps_coordinate_spans(text, options);
  ASSERT_EQ(spans.specimens(), read.coordinates.rows());
  ASSERT_EQ(spans.dimensions, read.dimensions);
  ASSERT_EQ(spans.width() + read.curve_points * read.dimensions, read.coordinates.cols());
  const std::size_t d = spans.dimensions;
  for (std::size_t r = 0; r < read.coordinates.rows(); ++r) {
    const auto tokens = spans.specimen(r + 1);
    for (std::size_t t = 0; t < tokens.size(); ++t) {
      const double expected = read.coordinates(r, t);
      if (std::isnan(expected)) {
        bool marked = false;
        for (std::size_t c = t - t % d; c < t - t % d + d; ++c) {
          marked = marked || missing_value(token_value(text, tokens[c]), options) ||
                   std::isnan(token_value(text, tokens[c]));
        }
        ASSERT_TRUE(marked) << "specimen " << r + 1 << ", token " << t + 1;
      } else {
        ASSERT_EQ(token_value(text, tokens[t]), expected)
            << "specimen " << r + 1 << ", token " << t + 1;
      }
    }
  }
}

TEST(TpsCoordinateSpans, AgreeWithTheReaderOnThePublishedFiles) {
  SKIP_WITHOUT_REAL_DATA();
  TpsOptions missing;
  missing.missing = true;
  TpsOptions coded = missing;
  coded.missing_code = -1;
  TpsOptions solid;
  solid.dimensions = 3;
  std::size_t read = 0;
  for (const auto& entry : std::filesystem::directory_iterator(DISTANGLER_REAL_DATA_DIR)) {
    const std::string path = path_text(entry.path());
    if (entry.path().extension() == ".md") continue;
    FileText bytes;
    std::string reason;
    ASSERT_TRUE(read_whole_file(path, bytes, reason)) << reason;
    for (const TpsOptions& options : {TpsOptions{}, missing, coded, solid}) {
      // Files the reader refuses with these options have nothing to agree on.
      if (error_message([&] { read_tps(bytes.view(), path, options); }) != "(no error)") continue;
      expect_reader_agrees(bytes.view(), options, path);
      ++read;
    }
  }
  EXPECT_GE(read, 12u);
}

TEST(TpsMissingMark, IsTheTextTheFileWritesForAMissingCoordinate) {
  const auto options = [](std::string_view code) {
    TpsOptions o;
    o.missing = true;
    set_missing_code(o, code);
    return o;
  };
  const struct {
    std::string_view text;
    TpsOptions options;
    std::optional<std::string> mark;
  } cases[] = {
      {"LM=2\nNA NA\n1 2\n", options(""), "NA"},
      {"LM=2\nnan nan\n1 2\n", options(""), "nan"},
      {"LM=2\n-1.00000 -1.00000\n1.00000 2.00000\n", options("-1"), "-1.00000"},
      // Only the coordinate that is missing counts: 5 is no mark.
      {"LM=2\n-999 5\n1 2\nLM=2\n1 2\n-999 -999\n", options("-999"), "-999"},
      {"LM=2\n-3 4\n1 -2\n", options("negative"), "-3"},
      // The most used mark wins.
      {"LM=3\nNA 1\n-1 -1\n-1 -1\n", options("-1"), "-1"},
      // None: no landmark is missing, or missing values are off.
      {"LM=2\n-1 -1\n1 2\n", options("-2"), std::nullopt},
      {"LM=2\n-1 -1\n1 2\n", TpsOptions{}, std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(tps_missing_mark(c.text, c.options), c.mark) << c.text;
}

}  // namespace
}  // namespace dg

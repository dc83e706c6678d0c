// The published TPS files under the shared data folder, each with the outcome
// decided from reading it: a load equal to the file's numbers, or an error that
// names the specimen and the problem.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "input/input_test_support.hpp"
#include "input/tps_scan.hpp"
#include "morpho/centsize.hpp"
#include "runtime/array/file_io.hpp"
#include "test_support.hpp"

namespace dg {
namespace {

std::vector<std::string> lines_of(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool starts_with_nocase(const std::string& line, const std::string& keyword) {
  if (line.size() < keyword.size()) return false;
  for (std::size_t i = 0; i < keyword.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(line[i])) != keyword[i]) return false;
  }
  return true;
}

// A reading that works line by line with strtod, for files whose keywords
// stand at line starts and whose coordinates start on the next line.
Matrix reference_coordinates(const std::string& path, std::size_t k) {
  Matrix m;
  std::vector<double> row;
  bool in_block = false;
  for (const std::string& line : lines_of(path)) {
    if (starts_with_nocase(line, "lm=")) {
      row.clear();
      in_block = true;
      continue;
    }
    const char* p = line.c_str();
    for (char* e = nullptr; in_block && row.size() < 2 * k; p = e) {
      const double v = std::strtod(p, &e);
      if (e == p) break;
      row.push_back(v);
    }
    if (in_block && row.size() == 2 * k) {
      m.append_row(row);
      in_block = false;
    }
  }
  return m;
}

std::vector<double> reference_scales(const std::string& path) {
  std::vector<double> scales;
  for (const std::string& line : lines_of(path)) {
    if (starts_with_nocase(line, "scale="))
      scales.push_back(std::strtod(line.c_str() + 6, nullptr));
  }
  return scales;
}

std::string no_scale_error(const std::string& path, std::size_t next_keyword_line,
                           const std::string& id = "") {
  return "\"" + path + "\", specimen 1 (" + (id.empty() ? "" : "ID=" + id + ", ") +
         "line 1): no SCALE= follows its coordinates before the next LM= (line " +
         std::to_string(next_keyword_line) + ").";
}

struct LoadingFile {
  const char* name;
  std::size_t rows;
  std::size_t landmarks;
  std::size_t second_keyword_line;  // 0 when every specimen has a SCALE= line
  const char* first_id;             // the first specimen's ID=, or ""
};

const std::string kCurvesFile = "trilobite-cephala-300spec-k16-curves.tps";

const LoadingFile kLoadingFiles[] = {
    {"bluegill-body-417spec-k19-scale-crlf.TPS", 417, 19, 0, "0"},
    {"dragonfly-forewing-120spec-k20-noscale.tps", 120, 20, 24, "ORTALB001"},
    {"fixture-lowercase-6spec-k4.tps", 6, 4, 8, "Sample01"},
    {"horsefly-wing-60spec-k30-padded-sentinel.tps", 60, 30, 33, "Tabanus"},
    {"lithic-flake-1158spec-k9-blanklines.tps", 1158, 9, 13, "1"},
    {"shape-coords-4spec-k14-exponent.tps", 4, 14, 17, "Thypld"},
    {"trilobite-cephala-300spec-k16-curves.tps", 300, 16, 0, "1020_Liu_1977"},
};

TEST(RealFiles, LoadAsTheFileReads) {
  SKIP_WITHOUT_REAL_DATA();
  for (const LoadingFile& f : kLoadingFiles) {
    SCOPED_TRACE(f.name);
    const std::string path = real_data(f.name);
    TpsOptions options;
    options.names = true;
    const TpsData d = read_tps_file(path, options);
    ASSERT_EQ(d.coordinates.rows(), f.rows);
    ASSERT_EQ(d.coordinates.cols(), 2 * f.landmarks);
    EXPECT_EQ(d.namelist.size(), f.rows);
    // Each file has one ID= line per specimen, after its coordinates.
    std::vector<std::string> ids;
    for (std::string line : lines_of(path)) {
      if (!starts_with_nocase(line, "id=")) continue;
      line.erase(line.find_last_not_of(" \r") + 1);
      ids.push_back(line.substr(3));
    }
    ASSERT_EQ(d.records.size(), f.rows);
    ASSERT_EQ(ids.size(), f.rows);
    EXPECT_EQ(ids[0], f.first_id);
    for (std::size_t i = 0; i < f.rows; ++i) {
      ASSERT_EQ(d.records[i].id(), ids[i]) << "specimen " << i + 1;
      ASSERT_EQ(d.records[i].number, i + 1);
    }
    EXPECT_TRUE(same_values(d.coordinates, reference_coordinates(path, f.landmarks)));
    if (f.second_keyword_line != 0) {
      EXPECT_ERROR_MSG(read_tps_file(path, true),
                       no_scale_error(path, f.second_keyword_line, f.first_id));
    }
  }
}

TEST(RealFiles, ScaleFactorsMultiplyEachSpecimen) {
  SKIP_WITHOUT_REAL_DATA();
  const std::string path = real_data("bluegill-body-417spec-k19-scale-crlf.TPS");
  const Matrix raw = read_tps_file(path, false).coordinates;
  const Matrix scaled = read_tps_file(path, true).coordinates;
  const std::vector<double> scales = reference_scales(path);
  ASSERT_EQ(scales.size(), raw.rows());
  ASSERT_EQ(scaled.rows(), raw.rows());
  for (std::size_t r = 0; r < raw.rows(); ++r) {
    for (std::size_t c = 0; c < raw.cols(); ++c) ASSERT_EQ(scaled(r, c), raw(r, c) * scales[r]);
  }
}

TEST(RealFiles, ScaleMissingInAMiddleSpecimenNamesIt) {
  SKIP_WITHOUT_REAL_DATA();
  const std::string path = real_data("trilobite-cephala-300spec-k16-curves.tps");
  EXPECT_ERROR_MSG(read_tps_file(path, true),
                   "\"" + path +
                       "\", specimen 23 (ID=Brauckmann_1986-6.5a, line 2113): no SCALE= follows "
                       "its coordinates before the "
                       "next LM= (line 2208).");
}

TEST(RealFiles, BrokenFilesFailNamingSpecimenAndProblem) {
  SKIP_WITHOUT_REAL_DATA();
  struct Case {
    const char* name;
    std::string problem;  // after the file name
  };
  const Case cases[] = {
      {"horsefly-wing-1spec-k30-latin1-crlf.tps",
       "specimen 1 (ID=Tabanidae_Dasybasis opaca_Termas de Chill\\xE1n_1, line 1): \"NA\" on "
       "line 31 marks a missing landmark; load with --missing (in the window: File > Missing "
       "landmarks) to keep the specimen with that landmark missing."},
      {"insect-wing-200blocks-k14-mixedk.tps",
       "specimen 191 (line 3043): no coordinates follow LM=0; reading stopped at "
       "\"IMAGE=P-334.tif\" (line 3044)."},
      {"bluegill-gillraker-36spec-lm0-partialscale-crlf.TPS",
       "specimen 1 (ID=0, line 1): no coordinates follow LM=0; reading stopped at "
       "\"IMAGE=C:\\Users\\Chelsea\\Documents\\MCGILL\\...\" (line 2)."},
  };
  for (const Case& c : cases) {
    const std::string expected = "\"" + real_data(c.name) + "\", " + c.problem;
    EXPECT_ERROR_MSG(read_tps_file(real_data(c.name), false), expected);
    // The same fault stops the scaled load, unless a missing factor comes first.
    const std::string scaled_expected =
        c.name == std::string("insect-wing-200blocks-k14-mixedk.tps")
            ? no_scale_error(real_data(c.name), 17)
            : expected;
    EXPECT_ERROR_MSG(read_tps_file(real_data(c.name), true), scaled_expected);
  }
}

// Without --curves the file warns that its curves are not used (checked with
// the pipeline's load of it).
TEST(RealFiles, CurvesBecomeLandmarks) {
  SKIP_WITHOUT_REAL_DATA();
  const std::string path = real_data(kCurvesFile);
  TpsOptions options;
  options.curves = true;
  const TpsData d = read_tps_file(path, options);
  ASSERT_EQ(d.coordinates.rows(), 300u);
  ASSERT_EQ(d.coordinates.cols(), 2u * (16 + 72));
  EXPECT_EQ(d.curve_points, 72u);
  EXPECT_TRUE(d.warnings.empty());
  // The first curve point is the first pair after the first POINTS= line.
  const std::vector<std::string> lines = lines_of(path);
  const auto points = std::find_if(lines.begin(), lines.end(),
                                   [](const std::string& l) { return l.rfind("POINTS=", 0) == 0; });
  ASSERT_NE(points, lines.end());
  char* e = nullptr;
  const double x = std::strtod(points[1].c_str(), &e);
  EXPECT_EQ(d.coordinates(0, 32), x);
  EXPECT_EQ(d.coordinates(0, 33), std::strtod(e, nullptr));
  EXPECT_TRUE(same_values(Matrix::row_vector(d.coordinates.row(0).first(32)),
                          Matrix::row_vector(read_tps_file(path, false).coordinates.row(0))));
}

// Every published file, in every way of loading it, reads alike whole, in
// windows of a few bytes, from the file itself and on two threads.
TEST(RealFiles, WindowedAndThreadedReadsAgreeWithTheWholeText) {
  SKIP_WITHOUT_REAL_DATA();
  std::vector<TpsOptions> ways(4);
  ways[0].names = true;
  ways[1].with_scale = true;
  ways[2].curves = ways[2].missing = true;
  ways[3].missing = ways[3].negative_missing = true;
  ways[3].missing_code = -1000001;
  for (const auto& entry : std::filesystem::directory_iterator(DISTANGLER_REAL_DATA_DIR)) {
    const std::string path = path_text(entry.path());
    std::string extension = path_text(entry.path().extension());
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension != ".tps") continue;
    SCOPED_TRACE(path);
    std::ifstream in(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (const TpsOptions& options : ways) {
      expect_windowed_reads_agree(text, path, options, centsize);
      set_thread_count(2);
      EXPECT_EQ(read_outcome([&] { return read_tps_file(path, options, centsize, 4096); }),
                read_outcome([&] { return read_tps(text, path, options, centsize); }));
      set_thread_count(0);
    }
  }
}

}  // namespace
}  // namespace dg

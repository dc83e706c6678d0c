// The CSV and TSV tables: column names, the exact text of small tables
// (quoting, text conversion, the file column, numbers), and the warning about
// values written as NA.
#include "output/table.hpp"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>

#include "output/dataset_file.hpp"
#include "runtime/array/error.hpp"
#include "runtime/array/file_io.hpp"
#include "runtime/array/parallel.hpp"
#include "test_support.hpp"

namespace dg {
namespace {

namespace fs = std::filesystem;

// Records of one file with the given ID and IMAGE values ("" for none).
std::vector<SpecimenRecord> records(const std::string& file,
                                    const std::vector<std::pair<std::string, std::string>>& ids) {
  std::vector<SpecimenRecord> out(ids.size());
  auto text = std::make_shared<RecordText>();
  text->file = file;
  for (std::size_t i = 0; i < ids.size(); ++i) {
    out[i].set(SpecimenRecord::Id, text->values, ids[i].first);
    out[i].set(SpecimenRecord::Image, text->values, ids[i].second);
    out[i].number = i + 1;
  }
  for (SpecimenRecord& record : out) record.attach(text);
  return out;
}

class TableTest : public ScratchTest {};

TEST(TableColumns, NamesFromListsAreUniqueInEachList) {
  const Matrix pairs{{1, 1, 2}, {2, 3, 10}, {3, 1, 2}, {4, 2, 1}, {5, 1, 2}};
  EXPECT_EQ(pair_columns(pairs, "d"),
            (std::vector<std::string>{"d1_2", "d3_10", "d1_2_2", "d2_1", "d1_2_3"}));
  const Matrix triples{{1, 4, 1, 2}, {2, 4, 1, 2}};
  EXPECT_EQ(triple_columns(triples), (std::vector<std::string>{"angle4_1_2", "angle4_1_2_2"}));

  // A suffix never takes a name the list already holds.
  std::vector<std::string> names{"a", "a", "a_2", "a"};
  make_unique(names);
  EXPECT_EQ(names, (std::vector<std::string>{"a", "a_3", "a_2", "a_4"}));
}

TEST(TableText, Latin1IsConvertedAndUtf8Kept) {
  EXPECT_EQ(utf8_text("R\xC3\xADo"), "R\xC3\xADo");
  // One stray byte makes the whole text Latin-1, its valid-looking pairs too.
  EXPECT_EQ(utf8_text("\xC3\xAD\xFF"), "\xC3\x83\xC2\xAD\xC3\xBF");
}

TEST_F(TableTest, CsvTableByteForByte) {
  auto rows_of = records("a.tps", {{"Smith, \"Jr\"", "s.jpg"}, {"", "b\xE9.jpg"}});
  const Matrix values{{0.1, 1e-5, 0.1 + 0.2}, {-2, 1e21, 100}, {1.0 / 3, 0, 7}};
  const std::vector<std::string> columns{"d1_2", "d2_3", "centroid_size"};
  EXPECT_EQ(write_table(at("t.csv"), TableFormat::Csv, values, columns, rows_of), "");
  EXPECT_EQ(contents(at("t.csv")),
            "specimen,id,image,d1_2,d2_3,centroid_size\n"
            "1,\"Smith, \"\"Jr\"\"\",s.jpg,0.1,1e-05,0.30000000000000004\n"
            "2,b\xC3\xA9.jpg,b\xC3\xA9.jpg,-2,1e+21,100\n"
            "3,,,0.3333333333333333,0,7\n");
}

TEST_F(TableTest, TsvTableOfTwoFilesHasAFileColumn) {
  auto first = records("one.tps", {{"x\ty", ""}});
  auto second = records("tw\"o.tps", {{"line\r\nend", "i.jpg"}});
  first.insert(first.end(), second.begin(), second.end());
  const Matrix values{{1.5, 2}, {-0.25, 3}};
  write_table(at("t.tsv"), TableFormat::Tsv, values, coordinate_columns(2, 2), first,
              [](std::span<double> row) { row[1] *= 10; });
  EXPECT_EQ(contents(at("t.tsv")),
            "specimen\tid\timage\tfile\tx1\ty1\n"
            "1\tx y\t\tone.tps\t1.5\t20\n"
            "2\tline  end\ti.jpg\ttw\"o.tps\t-0.25\t30\n");
  write_table(at("t.csv"), TableFormat::Csv, values, coordinate_columns(2, 2), first);
  EXPECT_EQ(contents(at("t.csv")),
            "specimen,id,image,file,x1,y1\n1,x\ty,,one.tps,1.5,2\n"
            "2,\"line\r\nend\",i.jpg,\"tw\"\"o.tps\",-0.25,3\n");
}

TEST_F(TableTest, NonFiniteValuesAreNaWithOneWarning) {
  const double nan = std::nan(""), inf = INFINITY;
  const Matrix values{{1, 2, 3}, {4, nan, inf}, {-inf, 5, 6}};
  const std::vector<std::string> columns{"d29_30", "d1_2", "centroid_size"};
  EXPECT_EQ(write_table(at("na.csv"), TableFormat::Csv, values, columns, {}),
            "\"" + at("na.csv") +
                "\": 3 values are not finite and are written as NA; the first is specimen 2, "
                "column d1_2.");
  EXPECT_EQ(contents(at("na.csv")),
            "specimen,id,image,d29_30,d1_2,centroid_size\n1,,,1,2,3\n2,,,4,NA,NA\n3,,,NA,5,6\n");
  // A transform's result counts: the log of zero.
  const Matrix zero{{0, 1}};
  EXPECT_EQ(write_table(at("log.tsv"), TableFormat::Tsv, zero, {"log_d1_2", "centroid_size"}, {},
                        [](std::span<double> row) { row[0] = std::log(row[0]); }),
            "\"" + at("log.tsv") +
                "\": 1 value is not finite and is written as NA: specimen 1, column log_d1_2.");
}

// A large table is formatted in blocks on the threads: the rows stay in order
// and the warning names the first value of all, for every thread count.
TEST_F(TableTest, LargeTablesKeepTheRowOrder) {
  Matrix values(50000, 2);
  for (std::size_t i = 0; i < values.rows(); ++i) values(i, 0) = static_cast<double>(i) / 4;
  values(49000, 1) = std::nan("");
  values(31000, 0) = INFINITY;
  set_thread_count(3);
  EXPECT_EQ(write_table(at("big.csv"), TableFormat::Csv, values, {"a", "b"}, {}),
            "\"" + at("big.csv") +
                "\": 2 values are not finite and are written as NA; the first is specimen 31001, "
                "column a.");
  std::istringstream in(contents(at("big.csv")));
  std::string line, expected;
  std::getline(in, line);
  std::size_t i = 0;
  for (; std::getline(in, line); ++i) {
    char a[32];
    expected = std::to_string(i + 1) + ",,," +
               (i == 31000 ? "NA" : std::string(a, std::to_chars(a, a + 32, values(i, 0)).ptr)) +
               (i == 49000 ? ",NA" : ",0");
    ASSERT_EQ(line, expected);
  }
  EXPECT_EQ(i, values.rows());
  // A row that fails stops the write with its error, whichever thread met
  // it, and leaves no file; the blocks after it are not waited for.
  const RowSource failing{100000, 2, [](std::size_t row, std::span<double> out) {
                            if (row == 30000 || row == 70000) {
                              raise("row " + std::to_string(row) + " failed");
                            }
                            out[0] = out[1] = 1;
                          }};
  for (std::size_t threads : {1, 2, 3}) {
    set_thread_count(threads);
    EXPECT_THROW_MSG(write_dataset(at("failed.txt"), failing), "row 30000 failed");
    EXPECT_FALSE(std::filesystem::exists(at("failed.txt")));
  }
  set_thread_count(0);
}

// Datasets and tables of the same rows written in one pass hold, byte for
// byte, what each written alone holds, for every thread count; a failing row
// leaves none of them, and the paths that would interleave are not taken.
TEST_F(TableTest, DatasetsAndTablesWrittenTogetherMatchThoseWrittenAlone) {
  Matrix values(70000, 3);
  for (std::size_t i = 0; i < values.rows(); ++i) {
    for (std::size_t j = 0; j < 3; ++j) values(i, j) = 1.0 / static_cast<double>(i + j + 1);
  }
  const RowTransform twice = [](std::span<double> row) {
    for (double& v : row) v *= 2;
  };
  values(69000, 1) = std::nan("");
  write_dataset(at("plain.txt"), values);
  write_dataset(at("twice.txt"), values, twice);
  // Tables too, with their warnings; a NaN late in the rows has each
  // table name it.
  const std::vector<std::string> names{"a", "b", "c"}, doubled{"a2", "b2", "c2"};
  const std::vector<SpecimenRecord> records(values.rows());
  const std::string alone = write_table(at("plain.csv"), TableFormat::Csv, values, names, records);
  const std::string alone_twice =
      write_table(at("twice.csv"), TableFormat::Csv, values, doubled, records, twice);
  for (std::size_t threads : {1, 3}) {
    set_thread_count(threads);
    write_datasets({{at("a.txt"), {}}, {at("b.txt"), twice}}, matrix_rows(values));
    EXPECT_TRUE(contents(at("a.txt")) == contents(at("plain.txt")));
    EXPECT_TRUE(contents(at("b.txt")) == contents(at("twice.txt")));
    const std::vector<std::string> warnings =
        write_tables({{at("a.csv"), names, {}}, {at("b.csv"), doubled, twice}}, TableFormat::Csv,
                     matrix_rows(values), records);
    EXPECT_TRUE(contents(at("a.csv")) == contents(at("plain.csv")));
    EXPECT_TRUE(contents(at("b.csv")) == contents(at("twice.csv")));
    const std::string at_b = "1 value is not finite and is written as NA: specimen 69001, column b";
    EXPECT_EQ(warnings, (std::vector<std::string>{"\"" + at("a.csv") + "\": " + at_b + ".",
                                                  "\"" + at("b.csv") + "\": " + at_b + "2."}));
    EXPECT_EQ(alone, "\"" + at("plain.csv") + "\": " + at_b + ".");
    EXPECT_EQ(alone_twice, "\"" + at("twice.csv") + "\": " + at_b + "2.");
  }
  const RowSource failing{100000, 2, [](std::size_t row, std::span<double> out) {
                            if (row == 60000) raise("row 60000 failed");
                            out[0] = out[1] = 1;
                          }};
  EXPECT_THROW_MSG(write_datasets({{at("c.txt"), {}}, {at("d.txt"), twice}}, failing),
                   "row 60000 failed");
  EXPECT_FALSE(std::filesystem::exists(at("c.txt")) || std::filesystem::exists(at("d.txt")));
  EXPECT_THROW_MSG(write_tables({{at("c.csv"), {"x", "y"}, {}}, {at("d.csv"), {"x", "y"}, twice}},
                                TableFormat::Tsv, failing, {}),
                   "row 60000 failed");
  EXPECT_FALSE(std::filesystem::exists(at("c.csv")) || std::filesystem::exists(at("d.csv")));
  set_thread_count(0);
  EXPECT_TRUE(plain_targets({at("a.txt"), at("new.txt")}));
  EXPECT_FALSE(plain_targets({at("a.txt"), at("a.txt")}));
  EXPECT_FALSE(plain_targets({at("a.txt"), path_text(dir)}));  // a folder
}

#if defined(__linux__)
// A write that fails while later blocks are still being formatted ends the
// work with the file's error, on one thread and on several.
TEST_F(TableTest, AFailedWriteNamesTheFileForEveryThreadCount) {
  Matrix values(60000, 3, 0.125);
  const std::string full =
      "Cannot write \"/dev/full\": No space left on device; the file was "
      "left as it was.";
  for (std::size_t threads : {1, 3}) {
    set_thread_count(threads);
    EXPECT_THROW_MSG(write_dataset("/dev/full", values), full);
    EXPECT_THROW_MSG(write_exact("/dev/full", values), full);
    EXPECT_THROW_MSG(write_table("/dev/full", TableFormat::Csv, values, {"a", "b", "c"}, {}), full);
  }
  set_thread_count(0);
}
#endif

TEST_F(TableTest, MismatchedColumnsAreRefusedAndTheFileKept) {
  { std::ofstream(file_path(at("keep.csv"))) << "old"; }
  EXPECT_THROW_MSG(
      write_table(at("keep.csv"), TableFormat::Csv, Matrix{{1, 2}}, {"d1_2"}, {}),
      "Cannot write \"" + at("keep.csv") + "\": 2 columns of values but 1 column names.");
  EXPECT_EQ(contents(at("keep.csv")), "old");
  EXPECT_THROW_MSG(table_format("xls"), "Unknown table format \"xls\"; use plain, csv or tsv.");
}

}  // namespace
}  // namespace dg

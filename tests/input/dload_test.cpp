#include "input/dload.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>

#include "input/input_test_support.hpp"

namespace dg {
namespace {

Matrix parse(std::string_view text) {
  return parse_matrix(text, "m.txt");
}

const Matrix kThreeByThree{{1, 2, 3}, {4, 5, 6}, {7, 8, 9}};

TEST(DloadParse, BlanksTabsAndCommasSeparateNumbers) {
  const char* texts[] = {
      "1 2 3\n4 5 6\n7 8 9\n",     "1,2,3\n4,5,6\n7,8,9\n",
      "1\t2\t3\n4\t5\t6\n7\t8\t9", "  1 ,\t2,,3 \r\n4 5\t\t6\r\n,7, 8 ,9,\r\n",
      "1 2 3\r\n4 5 6\r\n7 8 9",  // the last line without its line end
  };
  for (const char* text : texts) EXPECT_EQ(parse(text), kThreeByThree) << text;
  EXPECT_EQ(parse("1 2 3\n"), (Matrix{{1, 2, 3}}));
}

TEST(DloadParse, NumberSyntax) {
  const Matrix m = parse("+1.5 -2e1 .25 1E-001 nan -Inf\n");
  EXPECT_EQ(m.row(0)[0], 1.5);
  EXPECT_EQ(m.row(0)[1], -20.0);
  EXPECT_EQ(m.row(0)[2], 0.25);
  EXPECT_EQ(m.row(0)[3], 0.1);
  EXPECT_TRUE(std::isnan(m.row(0)[4]));
  EXPECT_EQ(m.row(0)[5], -INFINITY);
}

TEST(DloadParse, BlankLinesEndTheDataAndNothingMayFollowThem) {
  const Matrix two{{1, 2, 3}, {4, 5, 6}};
  EXPECT_EQ(parse("1 2 3\r\n4 5 6\r\n\r\n \t \n"), two);
  EXPECT_ERROR_MSG(parse("1 2 3\n4 5 6\n\n \n7 8 9\n"),
                   "\"m.txt\", line 5: \"7 8 9\" follows the blank line 3, which ends the data; "
                   "remove the blank line or the rows after it.");
  EXPECT_ERROR_MSG(parse("\n1 2 3\n"),
                   "\"m.txt\", line 2: \"1 2 3\" follows the blank line 1, which ends the data; "
                   "remove the blank line or the rows after it.");
}

TEST(DloadParse, ByteOrderMarkLoneCarriageReturnsAndOverflow) {
  EXPECT_EQ(parse("\xEF\xBB\xBF"
                  "1 2 3\r4 5 6\r7 8 9"),
            kThreeByThree);
  EXPECT_ERROR_MSG(parse("1 2\r3 1e999\r"),
                   "\"m.txt\", line 2: \"1e999\" is too large for a number.");
  EXPECT_ERROR_MSG(
      parse("1 2\n3 \x7f\xff\xC3\xA9\n"),
      "\"m.txt\", line 2: \"\\x7F\\xFF\xC3\xA9\" in \"3 \\x7F\\xFF\xC3\xA9\" is not a number.");
}

TEST(DloadParse, EmptyTextGivesTheEmptyMatrix) {
  EXPECT_EQ(parse(""), Matrix());
}

TEST(DloadParse, BadLinesNameFileAndLine) {
  EXPECT_ERROR_MSG(parse("1 2 3\n4 x 6\n"),
                   "\"m.txt\", line 2: \"x\" in \"4 x 6\" is not a number.");
  EXPECT_ERROR_MSG(parse("x1 y1 x2\n1 2 3\n"),
                   "\"m.txt\", line 1: \"x1\" in \"x1 y1 x2\" is not a number.");
  EXPECT_ERROR_MSG(parse("1 2\n3 4;5\n"),
                   "\"m.txt\", line 2: \"4;5\" in \"3 4;5\" is not a number.");
  EXPECT_ERROR_MSG(parse("[1 2]\n"), "\"m.txt\", line 1: \"[1\" in \"[1 2]\" is not a number.");
  EXPECT_ERROR_MSG(parse("1 2\n,,\n"), "\"m.txt\", line 2: \",,\" holds no numbers.");
  EXPECT_ERROR_MSG(parse("1 2 3\r\n4 5 6\r\n7 8\r\n"),
                   "\"m.txt\", line 3 has 2 numbers where line 1 has 3.");
}

TEST(DloadFile, ReadsAFileAndNamesAnUnreadableOne) {
  const std::string path = testing::TempDir() + "dload_test_pairs.txt";
  std::ofstream(path, std::ios::binary) << "1 1 2\n2 2 3\n";
  EXPECT_EQ(dload(path), (Matrix{{1, 1, 2}, {2, 2, 3}}));
  std::remove(path.c_str());
  EXPECT_ERROR_MSG(dload(path), "Cannot open \"" + path + "\": No such file or directory");
}

}  // namespace
}  // namespace dg

#include "runtime/array/matrix.hpp"

#include "runtime/array/value.hpp"
#include "test_support.hpp"

namespace dg {
namespace {

TEST(MatrixTest, CheckedIndexNamesTheIndexAndTheSize) {
  Matrix m{{1, 2, 3}, {4, 5, 6}};
  EXPECT_EQ(m.at(1, 2), 6);
  EXPECT_THROW_MSG(m.at(2, 0), "Index (3, 1) exceeds the matrix dimensions (2 x 3).");
  EXPECT_THROW_MSG(Matrix().at(0, 0), "Index (1, 1) exceeds the matrix dimensions (0 x 0).");
}

TEST(MatrixTest, RowsMustKeepTheFirstRowsWidth) {
  Matrix m;
  std::vector<double> three{1, 2, 3}, two{1, 2};
  m.append_row(three);
  EXPECT_THROW_MSG(m.append_row(two), "Row 2 has 2 values where the matrix has 3 columns.");
  EXPECT_EQ(m, (Matrix{{1, 2, 3}}));
}

TEST(ValueTest, KindsAndEmptiness) {
  EXPECT_TRUE(Value().is_empty());
  EXPECT_TRUE(Value("").is_empty());
  EXPECT_TRUE(Value(Matrix()).is_empty());
  EXPECT_FALSE(Value("   ").is_empty());
  EXPECT_EQ(Value(2.5).scalar(), 2.5);
  EXPECT_THROW_MSG(Value("x").scalar(), "Expected a number array but found a text.");
  Value lines = Value::text_cell({"a.tps", " 12 Landmarks"});
  EXPECT_EQ(lines.lines(), (std::vector<std::string>{"a.tps", " 12 Landmarks"}));
  Struct s;
  s.field("Load") = Value(1.5);
  s.field("Save") = Value(2.5);
  s.field("Load") = Value(3.5);
  ASSERT_EQ(s.fields.size(), 2u);
  EXPECT_EQ(s.fields[0].first, "Load");
  EXPECT_EQ(s.find("Load")->scalar(), 3.5);
}

}  // namespace
}  // namespace dg

#include "runtime/array/specimen_record.hpp"

#include <gtest/gtest.h>

namespace dg {
namespace {

using F = SpecimenRecord::Field;

TEST(SpecimenRecordTest, KeepsEachFieldsFirstValueWhateverTheOrderAndLength) {
  auto text = std::make_shared<RecordText>();
  SpecimenRecord a, b;
  const std::string long_comment(20000, 'c');  // a length of three bytes
  a.set(F::Image, text->values, "a.jpg");
  a.set(F::Id, text->values, "A1");
  a.set(F::Id, text->values, "later ID line");  // the first value stays
  b.set(F::Comment, text->values, long_comment);
  // a's values are no longer at the end: a Scale set now moves them there.
  a.set(F::Scale, text->values, "0.5");
  a.set(F::Variables, text->values, std::string(200, 'v'));
  b.set(F::Id, text->values, "");  // an empty value is no value
  EXPECT_TRUE(a.has(F::Scale));
  EXPECT_FALSE(b.has(F::Id));
  EXPECT_TRUE(a.id().empty());  // nothing reads before the text is attached
  a.attach(text);
  b.attach(text);
  EXPECT_EQ(a.id(), "A1");
  EXPECT_EQ(a.image(), "a.jpg");
  EXPECT_EQ(a.scale(), "0.5");
  EXPECT_EQ(a.variables(), std::string(200, 'v'));
  EXPECT_EQ(a.comment(), "");
  EXPECT_EQ(b.comment(), long_comment);
  EXPECT_EQ(b.name(), "0");
  EXPECT_EQ(a.name(), "A1");
}

}  // namespace
}  // namespace dg

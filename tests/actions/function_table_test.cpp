#include "actions/function_table.hpp"

#include "actions/session.hpp"
#include "runtime/graphics/headless_platform.hpp"
#include "test_support.hpp"

namespace dg {
namespace {

FunctionTable table_with(std::string name, int inputs, int outputs, int* calls) {
  FunctionTable table;
  table.add(name, inputs, outputs, [calls](Session&, std::span<const Value>, int) -> Values {
    ++*calls;
    return {};
  });
  return table;
}

TEST(FunctionTableTest, DeclaredCountMessagesWordForWord) {
  int calls = 0;
  FunctionTable table = table_with("dahand", 1, 0, &calls);
  HeadlessPlatform platform;
  Session session(platform);
  Values two{Value("Clear"), Value("extra")};
  EXPECT_THROW_MSG(table.call(session, "dahand", two, 0),
                   "Run-time Error: File: dahand Line: 1 Column: 1 The function \"dahand\" was "
                   "called with more than the declared number of inputs (1).");
  EXPECT_THROW_MSG(table.call(session, "dahand", std::span<const Value>(two.data(), 1), 1),
                   "Run-time Error: File: dahand Line: 1 Column: 1 The function \"dahand\" was "
                   "called with more than the declared number of outputs (0).");
  EXPECT_EQ(calls, 0);
}

TEST(FunctionTableTest, OutputsAreCheckedBeforeInputs) {
  int calls = 0;
  FunctionTable table = table_with("centsize", 1, 1, &calls);
  HeadlessPlatform platform;
  Session session(platform);
  Values three(3, Value(1.0));
  EXPECT_THROW_HAS(table.call(session, "centsize", three, 2), "declared number of outputs (1).");
}

TEST(FunctionTableTest, AnyCountAcceptsEverything) {
  int calls = 0;
  FunctionTable table = table_with("movegui", kAnyCount, 0, &calls);
  HeadlessPlatform platform;
  Session session(platform);
  Values many(7, Value(1.0));
  table.call(session, "movegui", many, 0);
  EXPECT_EQ(calls, 1);
}

TEST(FunctionTableTest, UnknownNamesAndDuplicatesAreErrors) {
  int calls = 0;
  FunctionTable table = table_with("cla", kAnyCount, 1, &calls);
  HeadlessPlatform platform;
  Session session(platform);
  EXPECT_THROW_MSG(table.call(session, "Cla", {}, 0), "Undefined function \"Cla\".");
  EXPECT_THROW_HAS(table.add("cla", 0, 0, {}), "registered twice");
}

}  // namespace
}  // namespace dg

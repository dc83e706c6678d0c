#include "actions/function_table.hpp"

#include "actions/session.hpp"
#include "runtime/graphics/headless_platform.hpp"
#include "test_support.hpp"

namespace dg {
namespace {

class FunctionTableTest : public ::testing::Test {
 protected:
  void add(std::string name, int inputs, int outputs) {
    table.add(name, inputs, outputs, [this](Session&, std::span<const Value>, int) -> Values {
      ++calls;
      return {};
    });
  }
  int calls = 0;
  FunctionTable table;
  HeadlessPlatform platform;
  Session session{platform};
};

// Outputs are checked before inputs, and nothing runs on a wrong count.
TEST_F(FunctionTableTest, DeclaredCountMessagesWordForWord) {
  add("dahand", 1, 0);
  add("centsize", 1, 1);
  Values two{Value("Clear"), Value("extra")};
  EXPECT_THROW_MSG(table.call(session, "dahand", two, 0),
                   "Run-time Error: File: dahand Line: 1 Column: 1 The function \"dahand\" was "
                   "called with more than the declared number of inputs (1).");
  EXPECT_THROW_MSG(table.call(session, "dahand", std::span<const Value>(two.data(), 1), 1),
                   "Run-time Error: File: dahand Line: 1 Column: 1 The function \"dahand\" was "
                   "called with more than the declared number of outputs (0).");
  Values three(3, Value(1.0));
  EXPECT_THROW_HAS(table.call(session, "centsize", three, 2), "declared number of outputs (1).");
  EXPECT_EQ(calls, 0);
}

TEST_F(FunctionTableTest, AnyCountAcceptsEverythingAndUnknownNamesAndDuplicatesAreErrors) {
  add("movegui", kAnyCount, 0);
  Values many(7, Value(1.0));
  table.call(session, "movegui", many, 0);
  EXPECT_EQ(calls, 1);
  EXPECT_THROW_MSG(table.call(session, "Movegui", {}, 0), "Undefined function \"Movegui\".");
  EXPECT_THROW_HAS(table.add("movegui", 0, 0, {}), "registered twice");
}

}  // namespace
}  // namespace dg

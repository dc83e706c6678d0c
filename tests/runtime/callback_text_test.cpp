#include "runtime/graphics/callback_text.hpp"

#include "test_support.hpp"

namespace dg {
namespace {

TEST(CallbackTextTest, ReadsTextsNumbersAndWords) {
  CallbackCall call = parse_callback(" f( 'it''s' , -0.5,1e-3, +2,gcbo,gcbf,gcf ,gca, '' ) ; ");
  EXPECT_EQ(call.function, "f");
  EXPECT_EQ(call.args,
            (std::vector<CallbackArg>{std::string("it's"), -0.5, 1e-3, 2.0, CallbackWord::Gcbo,
                                      CallbackWord::Gcbf, CallbackWord::Gcf, CallbackWord::Gca,
                                      std::string()}));
  // Written back, the call reads the same (the callback fuzz target's promise).
  EXPECT_EQ(format_callback(call), "f('it''s', -0.5, 0.001, 2, gcbo, gcbf, gcf, gca, '')");
  EXPECT_EQ(parse_callback("pushbutton5_Callback").args.size(), 0u);
  EXPECT_EQ(parse_callback("dahand()").function, "dahand");
  EXPECT_EQ(format_callback(parse_callback("dahand()")), "dahand");
}

TEST(CallbackTextTest, AnythingElseIsRefusedWithItsPosition) {
  const std::pair<const char*, const char*> cases[] = {
      {"distangler('dahand',GetTPSData)",
       "at character 21, \"GetTPSData\" is not an argument; use a quoted text, a number, or "
       "gcbo, gcbf, gcf or gca."},
      {"dahand('Clear'",
       "at character 15, expected \",\" or \")\"; the argument list is not "
       "closed."},
      {"dahand('Clear)", "at character 8, the quoted text that starts here is not closed."},
      {"system(\"ls\")",
       "at character 8, expected a quoted text, a number, or gcbo, gcbf, gcf "
       "or gca."},
      {"dahand('a'); delete('x')", "at character 14, expected the end of the callback."},
      {"f(gca())", "at character 6, expected \",\" or \")\"."},
      {"f(-inf)", "at character 3, expected a number after the sign."},
      {"f(1e999)", "at character 3, this is not a number that can be used."},
      {"f(1,)", "at character 5, expected a quoted text, a number, or gcbo, gcbf, gcf or gca."},
      {"1f(2)", "at character 1, expected the name of a function."},
      {"", "at character 1, expected the name of a function."},
  };
  for (const auto& [text, message] : cases) {
    EXPECT_THROW_MSG(parse_callback(text),
                     "The callback \"" + std::string(text) + "\" cannot be run: " + message);
  }
}

}  // namespace
}  // namespace dg

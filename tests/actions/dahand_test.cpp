#include "actions/dahand.hpp"

#include "actions/distangler.hpp"
#include "test_support.hpp"
#include "window_fixture.hpp"

namespace dg {
namespace {

using DahandTest = WindowFixture;

void draw_something(Graphics& g) {
  g.hold(true);
  g.plot(std::vector<double>{1, 2}, std::vector<double>{1, 2}, "ko");
}

TEST_F(DahandTest, ClearEmptiesDataBlanksTheBoxClearsTheAxesAndResetsEnabling) {
  HandlerState& h = session.handler;
  h.sample = flat_sample(Matrix{{1, 2, 3}});
  h.tlengths = Matrix{{1, 1, 2}};
  h.tangles = Matrix{{1, 1, 2, 3}};
  h.traddata = Matrix{{4, 5}};
  h.sample.partial_size = {0.5};
  h.sample.consensus = Matrix{{0, 0}};
  h.sample.passes = 3;
  h.pairs_name = "p.txt";
  h.triples_name = "t.txt";
  h.sample.name = "s.tps";
  for (const char* tag : {"Load", "Calc"})
    session.graphics.set(controls[tag], "Enable", Value("off"));
  for (const char* tag : {"Save", "GetPairs"})
    session.graphics.set(controls[tag], "Enable", Value("on"));
  draw_something(session.graphics);

  platform.answer_unsaved(Platform::Unsaved::discard);  // the distances were never saved
  run("Clear");

  EXPECT_TRUE(flat_data(session.handler).empty());
  EXPECT_TRUE(session.handler.sample.records.empty());
  EXPECT_TRUE(session.handler.sample.partial_size.empty());
  EXPECT_TRUE(session.handler.sample.consensus.empty());
  EXPECT_EQ(session.handler.tlengths, (Matrix{{1, 1, 2}}));
  EXPECT_EQ(session.handler.tangles, (Matrix{{1, 1, 2, 3}}));
  EXPECT_TRUE(session.handler.traddata.empty());  // the distances were the sample's
  EXPECT_EQ(box("DataBox"), (std::vector<std::string>{"No sample loaded", "", ""}));
  EXPECT_EQ(box("LengthBox"),
            (std::vector<std::string>{"1 pair from p.txt (kept)", "1 triple from t.txt (kept)"}));
  EXPECT_EQ(session.graphics.get(figure, "Name").text(), "Distangler");
  EXPECT_EQ(drawn(), 0u);
  EXPECT_EQ(enable("Load"), "on");
  EXPECT_EQ(enable("Calc"), "off");  // no sample to calculate on
  EXPECT_EQ(enable("Save"), "off");
  EXPECT_EQ(enable("GetPairs"), "off");
  EXPECT_EQ(console.str(), "");
}

TEST_F(DahandTest, ClearTwiceEqualsOnceAndWorksBeforeAnyLoad) {
  run("Clear");
  auto once = session.graphics.findall(figure);
  std::vector<std::string> enabling;
  for (const char* tag : {"Load", "GetPairs", "Calc", "Save"}) enabling.push_back(enable(tag));
  run("Clear");
  EXPECT_EQ(session.graphics.findall(figure), once);
  for (int i = 0; const char* tag : {"Load", "GetPairs", "Calc", "Save"}) {
    EXPECT_EQ(enable(tag), enabling[i++]);
  }
  EXPECT_EQ(box("DataBox"), (std::vector<std::string>{"No sample loaded", "", ""}));
  EXPECT_EQ(box("LengthBox"), (std::vector<std::string>{"No pairs or triples loaded", ""}));
}

TEST_F(DahandTest, ClearRunsItsStepsInOrderAndStopsAtAFailingOne) {
  // A "DataBox" that cannot hold a String makes step 2 fail: the data are
  // already emptied, but the axes and the enabling are untouched.
  session.graphics.hold(true);
  Handle line = session.graphics.plot(std::vector<double>{0}, std::vector<double>{0}, "ko");
  session.graphics.set(line, "Tag", Value("DataBox"));
  session.handler.sample = flat_sample(Matrix{{1, 2, 3}});
  session.graphics.set(controls["Load"], "Enable", Value("off"));
  EXPECT_THROW_HAS(run("Clear"), "There is no \"String\" property on the line object.");
  EXPECT_TRUE(flat_data(session.handler).empty());
  EXPECT_EQ(drawn(), 1u);
  EXPECT_EQ(enable("Load"), "off");
}

TEST_F(DahandTest, UnknownWordsFallThroughWithOneLineAndNoOtherChange) {
  session.handler.sample = flat_sample(Matrix{{1, 2, 3}});
  draw_something(session.graphics);
  auto before = session.graphics.findall(0);
  for (const char* word : {"getdata", "GetData ", "Foo", ""}) run(word);
  dahand(session, Value(3.0));
  std::string expected;
  for (int i = 0; i < 5; ++i) expected += "Fell through case!  \n";
  EXPECT_EQ(console.str(), expected);
  EXPECT_EQ(session.graphics.findall(0), before);
  EXPECT_EQ(flat_data(session.handler), (Matrix{{1, 2, 3}}));
  EXPECT_EQ(enable("Load"), "on");
}

TEST_F(DahandTest, ExitClosesTheFigureOfTheRunningCallbackOnly) {
  session.handler.sample = flat_sample(Matrix{{1, 2, 3}});
  run("Exit");  // no callback running: nothing to close
  EXPECT_TRUE(session.graphics.is_handle(figure));
  {
    Graphics::CallbackScope scope(session.graphics, controls["Load"]);
    run("Exit");
  }
  EXPECT_FALSE(session.graphics.is_handle(figure));
  EXPECT_EQ(flat_data(session.handler), (Matrix{{1, 2, 3}}));
}

TEST_F(DahandTest, ClaByNameReturnsTheCurrentAxesOnlyWhenAsked) {
  draw_something(session.graphics);
  Values none;
  EXPECT_TRUE(session.functions.call(session, "cla", none, 0).empty());
  EXPECT_EQ(drawn(), 0u);
  Values result = session.functions.call(session, "cla", none, 1);
  ASSERT_EQ(result.size(), 1u);
  EXPECT_EQ(result[0].scalar(), session.graphics.gca());
  Values bad{Value("bogus")};
  EXPECT_THROW_HAS(session.functions.call(session, "cla", bad, 0), "Unknown option \"bogus\"");
}

}  // namespace
}  // namespace dg

// The protocol drawings, read back from the graphics tree.
#include "actions/dahand_actions.hpp"
#include "window_fixture.hpp"

namespace dg {
namespace {

class ProtocolTest : public WindowFixture {
 protected:
  ProtocolTest() {
    // Two specimens of 7 landmarks; their mean has landmark p at (p, 10 p).
    Matrix data(2, 15);
    for (int p = 0; p < 7; ++p) {
      data(0, 2 * p) = p + 1 - 0.5, data(0, 2 * p + 1) = 10 * (p + 1) + 2;
      data(1, 2 * p) = p + 1 + 0.5, data(1, 2 * p + 1) = 10 * (p + 1) - 2;
    }
    session.handler.sample = flat_sample(data);
    session.graphics.hold(true);  // as a load leaves it
  }

  struct Drawn {
    std::vector<Handle> lines, texts;
  };
  Drawn children() {
    Drawn d;
    for (Handle h : session.graphics.children(session.graphics.gca())) {
      (session.graphics.type(h) == ObjectType::Line ? d.lines : d.texts).push_back(h);
    }
    return d;
  }
  Matrix get(Handle h, const char* property) { return session.graphics.get(h, property).matrix(); }
  std::string text(Handle h, const char* property) {
    return session.graphics.get(h, property).text();
  }
};

TEST_F(ProtocolTest, PairsAreBlackSegmentsWithRedNumbersAtTheirMidpoints) {
  session.handler.tlengths = Matrix{{7, 1, 2}, {8, 3, 7}, {9, 6, 4}};
  actions::draw_pairs(session);
  Drawn d = children();
  ASSERT_EQ(d.lines.size(), 3u);
  ASSERT_EQ(d.texts.size(), 3u);
  EXPECT_EQ(get(d.lines[1], "XData"), (Matrix{{3, 7}}));
  EXPECT_EQ(get(d.lines[1], "YData"), (Matrix{{30, 70}}));
  for (Handle line : d.lines) {
    EXPECT_EQ(get(line, "Color"), (Matrix{{0, 0, 0}}));
    EXPECT_EQ(text(line, "LineStyle"), "-");
    EXPECT_EQ(text(line, "Marker"), "none");
  }
  std::vector<std::string> labels;
  for (Handle t : d.texts) {
    labels.push_back(text(t, "String"));
    EXPECT_EQ(get(t, "Color"), (Matrix{{1, 0, 0}}));
  }
  EXPECT_EQ(labels, (std::vector<std::string>{"1", "2", "3"}));  // row numbers, not column 1
  EXPECT_EQ(get(d.texts[2], "Position"), (Matrix{{5, 50, 0}}));
}

// The styling chosen in the Plot menu stays on every picture drawn anew
// until the plot is cleared.
TEST_F(ProtocolTest, PlotProtocolRedrawsTheMeanWithNumberedSegmentsInTheChosenStyle) {
  session.graphics.plot(std::vector<double>{100}, std::vector<double>{100}, "ro");
  session.handler.tlengths = Matrix{{1, 1, 2}, {2, 3, 7}, {3, 6, 4}};
  const Value axes(session.graphics.gca());
  for (const auto& [command, value] : {std::pair{"incrementsymbolsize", 1.0},
                                       {"incrementsymbolsize", 1.0},
                                       {"setsymbolfill", 1.0},
                                       {"incrementlinethickness", 1.0}}) {
    const Value args[] = {axes, Value(value)};
    session.functions.call(session, command, args, 0);
  }
  run("PlotProtocol");
  run("PlotProtocol");  // drawn anew twice, styled once
  Drawn d = children();
  std::vector<std::string> labels;
  for (Handle t : d.texts) labels.push_back(text(t, "String"));
  EXPECT_EQ(labels, (std::vector<std::string>{"1", "2", "3"}));
  ASSERT_EQ(d.lines.size(), 7u + 3u);
  for (int p = 0; p < 7; ++p) {
    EXPECT_EQ(get(d.lines[p], "XData"), (Matrix{{p + 1.0}}));
    EXPECT_EQ(text(d.lines[p], "Marker"), "o");
    EXPECT_EQ(get(d.lines[p], "MarkerSize"), Matrix::scalar(5));
    EXPECT_EQ(get(d.lines[p], "MarkerFaceColor"), (Matrix{{0, 0, 0}}));
    EXPECT_EQ(get(d.lines[p], "LineWidth"), Matrix::scalar(0.5));
  }
  EXPECT_EQ(get(d.lines[9], "XData"), (Matrix{{6, 4}}));
  EXPECT_EQ(get(d.lines[9], "LineWidth"), Matrix::scalar(1.5));
  session.handler.tangles = Matrix{{1, 2, 5, 7}};
  run("ShowAngles");
  EXPECT_EQ(get(children().lines[0], "MarkerSize"), Matrix::scalar(5));
  EXPECT_EQ(get(children().lines[8], "MarkerSize"), Matrix::scalar(8));  // the red vertex
  run("Clear");
  session.handler.sample = flat_sample(Matrix{{0, 0, 4, 0, 4, 2, 9}});
  session.handler.tlengths = Matrix{{1, 1, 3}};
  run("PlotProtocol");  // a single specimen is its own mean
  Drawn d1 = children();
  ASSERT_EQ(d1.lines.size(), 4u);
  EXPECT_EQ(get(d1.lines[0], "MarkerSize"), Matrix::scalar(3));
  EXPECT_EQ(get(d1.lines[3], "XData"), (Matrix{{0, 4}}));
  EXPECT_EQ(get(d1.lines[3], "YData"), (Matrix{{0, 2}}));
}

TEST_F(ProtocolTest, TriplesArePathsThroughTheVertexWithACircleAndALabel) {
  session.handler.tangles = Matrix{{1, 2, 5, 7}};
  actions::draw_triples(session);
  Drawn d = children();
  ASSERT_EQ(d.lines.size(), 2u);
  EXPECT_EQ(get(d.lines[0], "XData"), (Matrix{{2, 5, 7}}));
  EXPECT_EQ(get(d.lines[0], "YData"), (Matrix{{20, 50, 70}}));
  EXPECT_EQ(get(d.lines[1], "XData"), (Matrix{{5}}));
  EXPECT_EQ(text(d.lines[1], "Marker"), "o");
  EXPECT_EQ(get(d.lines[1], "Color"), (Matrix{{0, 0, 0}}));
  EXPECT_EQ(get(d.texts[0], "Position"), (Matrix{{3.5, 35, 0}}));

  run("ShowAngles");
  d = children();
  ASSERT_EQ(d.lines.size(), 7u + 2u);
  EXPECT_EQ(get(d.lines[8], "Color"), (Matrix{{1, 0, 0}}));
  EXPECT_EQ(text(d.texts[0], "String"), "1");
}

TEST_F(ProtocolTest, LandmarkNumbersSitBesideTheMeanShapeAndOutliveTheProtocolPlots) {
  const auto numbers = [&] { return session.graphics.find_by_tag("LandmarkNumber"); };
  session.graphics.axis_limits({0, 100, 0, 200});  // the wider span is 200: offset 3
  run("LandmarkNumbers");
  EXPECT_EQ(platform.messages().back().text, "Landmark numbers shown");
  ASSERT_EQ(numbers().size(), 7u);
  for (std::size_t p = 1; p <= 7; ++p) {
    const Handle t = numbers()[p - 1];
    EXPECT_EQ(text(t, "String"), std::to_string(p));
    EXPECT_EQ(get(t, "Position"), (Matrix{{p + 3.0, 10.0 * p + 3, 0}}));
    EXPECT_EQ(get(t, "Color"), (Matrix{{0, 0, 0.55}}));
  }
  run("LandmarkNumbers");  // drawn again: no doubling
  run("LandmarkNumbers");
  EXPECT_EQ(numbers().size(), 7u);

  session.handler.tlengths = Matrix{{1, 1, 2}};
  session.handler.tangles = Matrix{{1, 2, 5, 7}};
  for (const char* plot : {"PlotProtocol", "ShowAngles"}) {
    run(plot);
    Drawn d = children();
    ASSERT_EQ(numbers().size(), 7u) << plot;
    EXPECT_EQ(d.texts.back(), numbers().back()) << plot << ": the numbers are drawn last";
  }
  EXPECT_EQ(children().texts.size(), 7u + 1u);  // with the triple's red label
  // The mean shape fills the view: the numbers of its last landmarks stay inside it.
  const auto lim = session.graphics.axis_limits();
  for (Handle t : numbers()) {
    EXPECT_LE(get(t, "Position")(0, 0), lim[1]) << text(t, "String");
    EXPECT_LE(get(t, "Position")(0, 1), lim[3]) << text(t, "String");
  }

  run("LandmarkNumbers");
  EXPECT_EQ(platform.messages().back().text, "Landmark numbers hidden");
  EXPECT_TRUE(numbers().empty());
  EXPECT_EQ(text(children().texts.at(0), "String"), "1");

  // Without a sample the setting still changes (checked with the main
  // window's menu); only the drawing asked for is refused.
  session.handler.sample = Sample();
  run("LandmarkNumbers");
  EXPECT_EQ(platform.messages().back().text, "No sample is loaded.");
}

}  // namespace
}  // namespace dg

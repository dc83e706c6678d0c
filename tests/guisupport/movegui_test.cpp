// movegui on the headless screen of 1024 x 768 pixels with no window frame.
#include "guisupport/movegui.hpp"

#include "actions/session.hpp"
#include "runtime/graphics/headless_platform.hpp"
#include "test_support.hpp"

namespace dg {
namespace {

Value row(std::vector<double> values) {
  return Value::row(values);
}

class MoveGuiTest : public ::testing::Test {
 protected:
  MoveGuiTest() { g.set(fig, "Position", row({-50, 900, 500, 400})); }
  Matrix outer(Handle h) { return g.get(h, "OuterPosition").matrix(); }
  void move(Values args) { session.functions.call(session, "movegui", args, 0); }

  HeadlessPlatform platform;
  Session session{platform};
  Graphics& g = session.graphics;
  Handle fig = g.new_figure();
};

TEST_F(MoveGuiTest, PositionWordsAndNumbersPlaceTheOuterRectangle) {
  move({Value(fig)});  // "onscreen" by default
  EXPECT_EQ(outer(fig), (Matrix{{0, 368, 500, 400}}));
  move({Value("center"), Value(fig)});
  EXPECT_EQ(outer(fig), (Matrix{{262, 184, 500, 400}}));
  move({Value(fig), row({-10, -10})});  // 10 pixels from the right and top edges
  EXPECT_EQ(outer(fig), (Matrix{{514, 358, 500, 400}}));
  g.set(fig, "Position", row({300, -20, 1200, 500}));
  movegui(g, fig);
  EXPECT_EQ(outer(fig), (Matrix{{0, 0, 1024, 500}}));  // cut to the screen's width
}

TEST_F(MoveGuiTest, BadInputsAreRefusedBeforeAnythingMoves) {
  Matrix before = outer(fig);
  EXPECT_THROW_MSG(move({Value(fig), Value("North")}), "unrecognized position");
  EXPECT_THROW_MSG(move({Value(0.0)}), "handle of figure or descendant required");
  EXPECT_THROW_MSG(move({row({1, 2, 3})}), "unrecognized input argument");
  EXPECT_THROW_MSG(move({Value(fig), Value(4321.0)}), "unrecognized input argument");
  EXPECT_THROW_MSG(move(Values(4, Value(fig))), "Too many input arguments.");
  EXPECT_EQ(outer(fig), before);
}

TEST_F(MoveGuiTest, UnitsAndActivePositionPropertyAreRestored) {
  g.set(fig, "Units", Value("characters"));
  g.set(fig, "ActivePositionProperty", Value("position"));
  g.set(0, "Units", Value("characters"));
  movegui(g, fig, std::string("center"));
  EXPECT_EQ(g.get(fig, "Units").text(), "characters");
  EXPECT_EQ(g.get(fig, "ActivePositionProperty").text(), "position");
  EXPECT_EQ(g.get(0, "Units").text(), "characters");
  EXPECT_EQ(g.pixel_position(fig), (std::array<double, 4>{262, 184, 500, 400}));
}

TEST_F(MoveGuiTest, WithoutAHandleTheCallbackFigureOrTheCurrentFigureMoves) {
  move({});
  EXPECT_EQ(outer(fig), (Matrix{{0, 368, 500, 400}}));
  Handle other = g.new_figure();
  Handle control = g.new_uicontrol(other);
  g.raise_figure(fig);
  Matrix size = outer(other);
  {
    Graphics::CallbackScope running(g, control);
    // While a callback runs, a second input of another kind (its event data) is ignored.
    move({Value("southwest"), Value(Cell{})});
  }
  EXPECT_EQ(outer(other), (Matrix{{0, 0, size(0, 2), size(0, 3)}}));
}

// A platform whose figures report an outer rectangle smaller than the inner one.
class FramelessPlatform : public HeadlessPlatform {
 public:
  std::array<double, 4> frame_margins() const override { return {-3, -3, -12, -12}; }
};

TEST(MoveGuiFrameTest, AnOuterRectangleWithoutTheFrameIsEnlarged) {
  FramelessPlatform platform;
  Graphics g(platform);
  Handle fig = g.new_figure();
  g.set(fig, "Position", row({100, 100, 500, 400}));  // outer 494 x 376
  movegui(g, fig, std::string("southwest"));
  EXPECT_EQ(g.get(fig, "OuterPosition").matrix(), (Matrix{{0, 0, 500, 400}}));
}

}  // namespace
}  // namespace dg

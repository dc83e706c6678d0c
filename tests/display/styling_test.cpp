#include "display/CopyBigImage.hpp"
#include "display/incrementlinethickness.hpp"
#include "display/incrementsymbolsize.hpp"
#include "display/setlinethickness.hpp"
#include "display/setsymbolbw.hpp"
#include "display/setsymbolfill.hpp"
#include "display/showshape.hpp"

#include "actions/session.hpp"
#include "runtime/graphics/headless_platform.hpp"
#include "test_support.hpp"

namespace dg {
namespace {

class StylingTest : public ::testing::Test {
 protected:
  StylingTest() {
    figure = g.new_figure();
    axes = g.gca();
    g.hold(true);
    points = g.plot(std::vector<double>{1}, std::vector<double>{2}, "ko");
    red = g.plot(std::vector<double>{0, 1}, std::vector<double>{0, 1}, "r");
    label = g.text(0.5, 0.5, "1");
    control = g.new_uicontrol(figure);
  }
  Value get(Handle h, const char* p) { return g.get(h, p); }

  HeadlessPlatform platform;
  Graphics g{platform};
  Handle figure, axes, points, red, label, control;
};

TEST_F(StylingTest, FillTakesEachLinesOwnColourAndEmptyingRestoresNone) {
  setsymbolfill(g, axes, 1);
  EXPECT_EQ(get(points, "MarkerFaceColor").matrix(), (Matrix{{0, 0, 0}}));
  EXPECT_EQ(get(red, "MarkerFaceColor").matrix(), (Matrix{{1, 0, 0}}));
  setsymbolfill(g, axes, 0);
  EXPECT_EQ(get(points, "MarkerFaceColor").text(), "none");
  EXPECT_EQ(get(red, "MarkerFaceColor").text(), "none");
}

TEST_F(StylingTest, LineWidthGrowsOnlyOnDrawnLinesButIsSetOnAll) {
  incrementlinethickness(g, axes, 1.5);
  EXPECT_EQ(get(points, "LineWidth").scalar(), 0.5);
  EXPECT_EQ(get(red, "LineWidth").scalar(), 2.0);
  setlinethickness(g, axes, 0.25);
  EXPECT_EQ(get(points, "LineWidth").scalar(), 0.25);
  EXPECT_EQ(get(red, "LineWidth").scalar(), 0.25);
}

TEST_F(StylingTest, SizeStepsUndoEachOtherAndRefuseNonPositiveSizes) {
  incrementsymbolsize(g, axes, 1);
  EXPECT_EQ(get(points, "MarkerSize").scalar(), 7);
  incrementsymbolsize(g, axes, -1);
  EXPECT_EQ(get(points, "MarkerSize").scalar(), 6);
  EXPECT_EQ(get(red, "MarkerSize").scalar(), 6);
  EXPECT_THROW_HAS(incrementsymbolsize(g, axes, -6), "needs a positive number, not 0");
}

TEST_F(StylingTest, BlackAndWhiteMarkers) {
  setsymbolbw(g, axes);
  EXPECT_EQ(get(red, "MarkerEdgeColor").matrix(), (Matrix{{0, 0, 0}}));
  EXPECT_EQ(get(red, "MarkerFaceColor").matrix(), (Matrix{{0, 0, 0}}));
  EXPECT_EQ(get(red, "Color").matrix(), (Matrix{{1, 0, 0}}));
}

TEST_F(StylingTest, NonLineChildrenAndFigureHandlesAreLeftAlone) {
  for (auto command : {+[](Graphics&gr, Handle h) { setsymbolfill(gr, h, 1); },
                       +[](Graphics&gr, Handle h) { setsymbolbw(gr, h); },
                       +[](Graphics&gr, Handle h) { setlinethickness(gr, h, 4); }}) {
    command(g, figure);  // its children are an axes and a control
    command(g, label);   // no children
  }
  EXPECT_EQ(get(label, "Color").matrix(), (Matrix{{0, 0, 0}}));
  EXPECT_EQ(get(points, "MarkerFaceColor").text(), "none");
  EXPECT_EQ(get(red, "LineWidth").scalar(), 0.5);
}

TEST_F(StylingTest, ShowshapeDrawsOnePointPerLandmarkWithoutTheSizeColumn) {
  Handle other = g.new_figure();
  (void)other;
  EXPECT_EQ(
      showshape(g, Matrix{{0, 0, 1, 0, 1, 1, 9}, {0, 0, 2, 0, 2, 2, 9}, {5, 5, 6, 5, 6, 6, 9}}), 1);
  auto kids = g.children(g.gca());
  ASSERT_EQ(kids.size(), 9u);
  EXPECT_EQ(get(kids[0], "Marker").text(), ".");  // "k." by default
  EXPECT_EQ(get(kids[0], "MarkerSize").scalar(), 3);
  EXPECT_EQ(get(kids[8], "XData").matrix(), (Matrix{{6}}));
  EXPECT_EQ(get(g.gca(), "NextPlot").text(), "add");
  EXPECT_EQ(get(g.gca(), "DataAspectRatioMode").text(), "manual");
  showshape(g, Matrix{{0, 0, 1, 0, 9}}, "ko");
  EXPECT_EQ(g.children(g.gca()).size(), 11u);  // hold stays on
}

class CopyTest : public StylingTest {};

TEST_F(CopyTest, CopiesWithWidenedLimitsThenRestoresTheLayout) {
  g.axis_limits({0, 10, 0, 20});
  g.set(axes, "Units", Value("normalized"));
  Value position = get(axes, "Position");
  CopyBigImage(g);
  ASSERT_EQ(platform.prints().size(), 1u);
  const PrintRecord& print = platform.prints()[0];
  EXPECT_EQ(print.options, (std::vector<std::string>{"-noui", "-dmeta"}));
  EXPECT_EQ(print.figure, figure);
  const auto& l = print.axes_limits;
  EXPECT_NEAR(l[0], -0.3, 1e-12);
  EXPECT_NEAR(l[1], 10.3, 1e-12);
  EXPECT_NEAR(l[2], -0.6, 1e-12);
  EXPECT_NEAR(l[3], 20.6, 1e-12);
  // During the copy the axes covered the figure but for the margins, in
  // characters, and ended inside it: the figure is 560 x 420 pixels on a grid
  // of 7 x 16 pixel characters.
  EXPECT_EQ(print.axes_position, (std::vector<double>{12, 3, 560.0 / 7 - 16, 420.0 / 16 - 5}));
  EXPECT_EQ(get(figure, "Units").text(), "pixels");
  EXPECT_EQ(get(axes, "Units").text(), "normalized");
  EXPECT_EQ(get(axes, "Position"), position);
  // The view the user had fixed (a zoom) is the view after the copy.
  EXPECT_EQ(g.axis_limits(), (std::array<double, 4>{0, 10, 0, 20}));
  EXPECT_EQ(get(axes, "DataAspectRatioMode").text(), "manual");
  g.axis_auto();
  CopyBigImage(g);
  EXPECT_EQ(get(axes, "XLimMode").text(), "auto");
}

TEST_F(CopyTest, AFailedPrintStillRestoresTheLayout) {
  struct FailingPrint : HeadlessPlatform {
    void print_figure(Graphics&, Handle, const std::vector<std::string>&) override {
      raise("The clipboard is not available.");
    }
  } failing;
  Graphics tree(failing);
  Handle fig = tree.new_figure();
  Handle ax = tree.gca();
  Value position = tree.get(ax, "Position");
  EXPECT_THROW_MSG(CopyBigImage(tree), "The clipboard is not available.");
  EXPECT_TRUE(failing.messages().empty()) << "no success reported";
  EXPECT_EQ(tree.get(fig, "Units").text(), "pixels");
  EXPECT_EQ(tree.get(ax, "Units").text(), "pixels");
  EXPECT_EQ(tree.get(ax, "Position"), position);
}

// Called by name, the styling commands' inputs are converted first; their
// effects by name are checked with the protocol plots, and the declared counts
// with the function table.
TEST(StylingByNameTest, AnInputThatIsNoNumberIsNamed) {
  HeadlessPlatform platform;
  Session session(platform);
  Values text{Value("gca"), Value(1.0)};
  EXPECT_THROW_MSG(session.functions.call(session, "incrementsymbolsize", text, 0),
                   "Input 1 of \"incrementsymbolsize\" must be a single number, not a text.");
}

}  // namespace
}  // namespace dg

#include "runtime/graphics/graphics.hpp"

#include <limits>

#include "runtime/array/format.hpp"

#include "runtime/graphics/headless_platform.hpp"
#include "test_support.hpp"

namespace dg {
namespace {

class GraphicsTest : public ::testing::Test {
 protected:
  HeadlessPlatform platform;
  Graphics g{platform};
};

// A value as the property tables write defaults: a text, a number, or [a b c].
std::string shown(const Value& v) {
  if (v.is_char()) return v.text();
  if (v.is_double() && v.numel() == 1) return num2str(v.scalar());
  std::string out = "[";
  for (std::size_t i = 0; i < v.numel(); ++i) out += (i ? " " : "") + num2str(v.matrix().data()[i]);
  return out + "]";
}

TEST_F(GraphicsTest, EveryTablePropertyReadsItsDefaultOnANewObjectAndRefusesBadValuesByKind) {
  Handle fig = g.new_figure();
  Handle line = g.plot(std::vector<double>{}, std::vector<double>{}, "k");
  Handle text = g.text(0, 0, "");
  Handle axes = g.new_axes(fig);
  const std::vector<std::pair<ObjectType, Handle>> objects{
      {ObjectType::Root, 0},
      {ObjectType::Figure, fig},
      {ObjectType::Axes, axes},
      {ObjectType::Line, line},
      {ObjectType::Text, text},
      {ObjectType::Image, g.new_image(axes, "a.png", {0, 1}, {0, 1})},
      {ObjectType::UIControl, g.new_uicontrol(fig)},
      {ObjectType::UIMenu, g.new_uimenu(fig)}};
  for (const auto& [type, h] : objects) {  // every default first: setting one may change others
    for (const Property& p : property_table(type)) {
      if (!p.default_text.empty()) {
        EXPECT_EQ(shown(g.get(h, lower(p.name))), p.default_text) << p.name;
      }
    }
  }
  for (const auto& [type, h] : objects) {
    for (const Property& p : property_table(type)) {
      Value value = g.get(h, p.name);
      if (p.kind == PropertyKind::ReadOnly) {
        EXPECT_THROW_MSG(g.set(h, p.name, value), "The \"" + std::string(p.name) +
                                                      "\" property of the " + type_name(type) +
                                                      " object cannot be changed.");
      } else if (p.kind != PropertyKind::Any) {
        g.set(h, p.name, value);  // what get gives, set takes
        EXPECT_EQ(shown(g.get(h, p.name)), shown(value)) << p.name;
      }
    }
  }
  Handle control = objects[6].second;
  EXPECT_THROW_MSG(g.set(control, "Value", Value("x")),
                   "The property \"Value\" needs a single number, not a text.");
  EXPECT_THROW_MSG(g.set(axes, "xlim", Value(Matrix{{2, 1}})),
                   "The property \"XLim\" needs two increasing numbers.");
  EXPECT_THROW_MSG(g.set(control, "Units", Value("inches")),
                   "\"inches\" is not a unit; use pixels, characters, normalized or points.");
  EXPECT_THROW_HAS(g.set(control, "Position", Value(1.0)), "needs four numbers");
  EXPECT_THROW_MSG(g.set(objects[7].second, "Label", Value(1.0)),
                   "The property \"Label\" needs a text, not a number array.");
  EXPECT_THROW_MSG(g.set(fig, "NumberTitle", Value("no")),
                   "The property \"NumberTitle\" takes one of \"on\", \"off\", not \"no\".");
  EXPECT_THROW_MSG(g.get(line, "Bogus"), "There is no \"Bogus\" property on the line object.");
}

TEST_F(GraphicsTest, ImagesCountInAutomaticLimitsWhileShown) {
  Handle axes = g.new_axes(g.new_figure());
  g.plot(axes, std::vector<double>{1, 2}, std::vector<double>{1, 2}, "k");
  Handle image = g.new_image(axes, "photo.tif", {0, 40}, {0, 30});
  EXPECT_EQ(g.limits_of(axes), (std::array<double, 4>{0, 40, 0, 30}));
  g.set(image, "XData", Value(Matrix{{-10, 10}}));
  EXPECT_EQ(g.limits_of(axes), (std::array<double, 4>{-10, 10, 0, 30}));
  g.set(image, "Visible", Value("off"));
  EXPECT_EQ(g.limits_of(axes), (std::array<double, 4>{1, 2, 1, 2}));
  EXPECT_THROW_MSG(g.new_image(axes, "a.png", {0, 1}, {1, 1}),
                   "The property \"YData\" needs two increasing numbers.");
  EXPECT_THROW_MSG(
      g.set(image, "XData", Value(Matrix{{0, std::numeric_limits<double>::infinity()}})),
      "The property \"XData\" needs two increasing numbers.");
  EXPECT_THROW_HAS(g.new_image(g.figures().front(), "a.png", {0, 1}, {0, 1}),
                   "An image can only be placed in an axes");
  g.delete_object(image);
  EXPECT_EQ(g.limits_of(axes), (std::array<double, 4>{1, 2, 1, 2}));
}

TEST_F(GraphicsTest, PointRowsAreSinglePointLinesUntilTheyNeedMore) {
  g.new_figure();
  g.hold(true);
  Handle a = g.plot(std::vector<double>{1}, std::vector<double>{2}, "ro");
  g.plot_points(std::vector<double>{3, 4}, std::vector<double>{5, 6}, "k.", 3);
  Handle text = g.text(0, 0, "t");
  auto kids = g.children(g.gca());
  ASSERT_EQ(kids.size(), 4u);
  EXPECT_EQ(kids[0], a);
  EXPECT_EQ(kids[3], text);
  Handle b = kids[1], c = kids[2];
  EXPECT_EQ(g.get(b, "MarkerSize").scalar(), 3.0);
  EXPECT_EQ(g.get(b, "Marker").text(), ".");
  EXPECT_EQ(g.get(c, "XData").scalar(), 4.0);
  EXPECT_EQ(g.get(a, "Parent").scalar(), g.gca());

  g.set(b, "Tag", Value("dot"));
  g.set(b, "Visible", Value("off"));
  EXPECT_EQ(g.find_by_tag("dot"), (std::vector<Handle>{b}));
  EXPECT_FALSE(g.visible(b));
  EXPECT_EQ(g.axis_limits(), (std::array<double, 4>{1, 4, 2, 6}))
      << "a hidden point leaves the limits";
  // Data of its own makes a point a line object, with the same handle and place.
  g.set(c, "XData", Value(7.0));
  g.set(a, "UserData", Value("mine"));
  EXPECT_EQ(g.children(g.gca()), kids);
  EXPECT_EQ(g.get(a, "UserData").text(), "mine");
  EXPECT_EQ(g.get(a, "MarkerSize").scalar(), 6.0);
  EXPECT_EQ(g.axis_limits()[1], 8.0) << "x = 7, rounded out to a step of 2";
  EXPECT_THROW_MSG(g.set(c, "XData", Value(Matrix{{4, 7}})),
                   "A line needs as many x values as y values; found 2 and 1.");
  g.delete_object(c);
  EXPECT_FALSE(g.is_handle(c));
  EXPECT_EQ(g.children(g.gca()), (std::vector<Handle>{a, b, text}));
  EXPECT_THROW_HAS(g.set(a, "LineWidth", Value(0.0)), "needs a positive number, not 0");
  EXPECT_THROW_MSG(g.plot_points(std::vector<double>{1}, std::vector<double>{}, "k.", 3),
                   "A line needs as many x values as y values; found 1 and 0.");
  EXPECT_THROW_HAS(g.plot(std::vector<double>{1}, std::vector<double>{1}, "kq"),
                   "unknown character 'q'");
  g.clear_axes(g.gca());
  EXPECT_FALSE(g.is_handle(a));
  EXPECT_FALSE(g.is_handle(b));
  EXPECT_FALSE(g.is_handle(text));
}

TEST_F(GraphicsTest, TagSearchReachesEveryTaggedObjectInEveryFigure) {
  Handle f1 = g.new_figure();
  Handle a = g.new_uicontrol(f1);
  Handle menu = g.new_uimenu(f1);
  Handle item = g.new_uimenu(menu);
  Handle f2 = g.new_figure();
  Handle b = g.new_uicontrol(f2);
  for (Handle h : {a, item, b}) g.set(h, "Tag", Value("Save"));
  g.set(f2, "Tag", Value("Save"));
  EXPECT_EQ(g.find_by_tag("Save"), (std::vector<Handle>{a, item, f2, b}));
  EXPECT_TRUE(g.find_by_tag("save").empty());
  EXPECT_TRUE(g.find_by_tag("Nothing").empty());
  g.close(f1);
  EXPECT_EQ(g.find_by_tag("Save"), (std::vector<Handle>{f2, b}));
}

TEST_F(GraphicsTest, FindallVisitsParentsBeforeChildrenInCreationOrder) {
  Handle fig = g.new_figure();
  Handle c1 = g.new_uicontrol(fig);
  Handle menu = g.new_uimenu(fig);
  Handle item = g.new_uimenu(menu);
  Handle c2 = g.new_uicontrol(fig);
  EXPECT_EQ(g.findall(fig), (std::vector<Handle>{fig, c1, menu, item, c2}));
  EXPECT_EQ(g.figure_of(item), fig);
  EXPECT_EQ(g.parent(fig), Handle(0));
  EXPECT_EQ(g.parent(0), std::nullopt);
}

TEST_F(GraphicsTest, HandlesDieWithTheirFigureAndAreNeverReused) {
  Handle fig = g.new_figure();
  Handle axes = g.gca();
  Handle line = g.plot(std::vector<double>{0, 1}, std::vector<double>{0, 1}, "k");
  g.close(fig);
  EXPECT_FALSE(g.is_handle(fig));
  EXPECT_FALSE(g.is_handle(axes));
  EXPECT_FALSE(g.is_handle(line));
  EXPECT_EQ(g.current_figure(), std::nullopt);
  Handle fig2 = g.new_figure();
  EXPECT_EQ(fig2, fig);  // figure numbers start again from the lowest free one
  Handle line2 = g.plot(std::vector<double>{0}, std::vector<double>{0}, "k.");
  EXPECT_NE(line2, line);
  EXPECT_FALSE(g.is_handle(line));
  EXPECT_TRUE(g.is_handle(0));
  EXPECT_FALSE(g.is_handle(0.25));
}

TEST_F(GraphicsTest, CurrentFigureAndAxesAreCreatedOnDemand) {
  EXPECT_EQ(g.current_figure(), std::nullopt);
  Handle axes = g.gca();
  ASSERT_TRUE(g.current_figure());
  EXPECT_EQ(g.type(axes), ObjectType::Axes);
  EXPECT_EQ(g.gca(), axes);
  Handle second = g.new_figure();
  EXPECT_EQ(g.gcf(), second);
  EXPECT_NE(g.gca(), axes);
  g.raise_figure(*g.figure_of(axes));
  EXPECT_EQ(g.gca(), axes);
}

TEST_F(GraphicsTest, HoldDecidesWhetherPlotReplacesOrAdds) {
  std::vector<double> x{1}, y{1};
  g.plot(x, y, "ko");
  g.plot(x, y, "ko");
  EXPECT_EQ(g.children(g.gca()).size(), 1u);
  g.hold(true);
  g.plot(x, y, "ko");
  g.text(1, 1, "1");
  EXPECT_EQ(g.children(g.gca()).size(), 3u);
  g.clear_axes(g.gca());
  EXPECT_TRUE(g.children(g.gca()).empty());
  EXPECT_EQ(g.get(g.gca(), "NextPlot").text(), "add");
}

TEST_F(GraphicsTest, AxisModesAndTheLimitsQuery) {
  g.hold(true);
  g.plot(std::vector<double>{0.12, 0.93}, std::vector<double>{-0.4, 0.38}, "ko");
  auto automatic = g.axis_limits();
  EXPECT_LE(automatic[0], 0.12);
  EXPECT_GE(automatic[1], 0.93);
  EXPECT_LE(automatic[2], -0.4);
  EXPECT_GE(automatic[3], 0.38);
  g.axis_limits({0, 10, 0, 20});
  EXPECT_EQ(g.axis_limits(), (std::array<double, 4>{0, 10, 0, 20}));
  EXPECT_EQ(g.get(g.gca(), "XLimMode").text(), "manual");
  g.axis_equal();
  EXPECT_EQ(g.get(g.gca(), "DataAspectRatioMode").text(), "manual");
  g.axis_auto();
  EXPECT_EQ(g.axis_limits(), automatic);
  EXPECT_THROW_HAS(g.axis_limits({1, 0, 0, 1}), "need xmin < xmax");
}

// What a callback sees of its object and figure is checked with the callback
// runner; here, that it may close its own window.
TEST_F(GraphicsTest, ACallbackMayCloseItsOwnWindow) {
  Handle fig = g.new_figure();
  Handle control = g.new_uicontrol(fig);
  Graphics::CallbackScope scope(g, control);
  EXPECT_EQ(g.gcbf(), fig);
  g.close(fig);
  EXPECT_EQ(g.gcbf(), std::nullopt);
}

TEST_F(GraphicsTest, PositionsFollowTheirUnits) {
  Handle fig = g.new_figure();
  g.set(fig, "Position", Value(Matrix{{70, 32, 700, 480}}));
  g.set(fig, "Units", Value("characters"));
  EXPECT_EQ(g.get(fig, "Position").matrix(), (Matrix{{10, 2, 100, 30}}));
  g.set(fig, "Position", Value(Matrix{{10, 2, 50, 30}}));
  g.set(fig, "Units", Value("pixels"));
  EXPECT_EQ(g.get(fig, "Position").matrix(), (Matrix{{70, 32, 350, 480}}));
  EXPECT_EQ(g.get(0, "ScreenSize").matrix(), (Matrix{{1, 1, 1024, 768}}));
  Handle control = g.new_uicontrol(fig);
  g.set(control, "Units", Value("normalized"));
  g.set(control, "Position", Value(Matrix{{0.5, 0.5, 0.25, 0.25}}));
  EXPECT_EQ(g.pixel_position(control), (std::array<double, 4>{175, 240, 87.5, 120}));
}

TEST_F(GraphicsTest, ChangesMarkTheFigureStaleOnce) {
  Handle fig = g.new_figure();
  g.take_stale(fig);
  const std::size_t before = platform.stale_notifications();
  g.hold(true);
  for (int i = 0; i < 100; ++i) g.plot(std::vector<double>{1.0 * i}, std::vector<double>{0}, "ko");
  EXPECT_EQ(platform.stale_notifications(), before + 1);
  EXPECT_TRUE(g.take_stale(fig));
  EXPECT_FALSE(g.take_stale(fig));
  // What no window shows (tags, callbacks, user data) leaves the figure as drawn.
  Handle control = g.new_uicontrol(fig);
  g.take_stale(fig);
  g.set(control, "Tag", Value("Load"));
  g.set(control, "Callback", Value("dahand('GetData')"));
  g.set(control, "UserData", Value(1.0));
  g.set(fig, "CloseRequestFcn", Value("dahand('Exit')"));
  g.set(fig, "FileDropFcn", Value("dahand('OpenDropped')"));
  EXPECT_FALSE(g.take_stale(fig));
  g.set(control, "String", Value("Load"));
  EXPECT_TRUE(g.take_stale(fig));
}

TEST_F(GraphicsTest, TheConsoleCopyKeepsTheLastWholeLines) {
  const std::string line(999, 'w');
  for (int i = 0; i < 5000; ++i) platform.console(line + std::to_string(i % 10) + "\n");
  const std::string& kept = platform.console_text();
  EXPECT_LE(kept.size(), 2 * kConsoleKept);
  EXPECT_GE(kept.size(), kConsoleKept);
  EXPECT_EQ(kept.substr(0, 3), "www");
  EXPECT_EQ(kept.substr(kept.size() - 3), "w9\n");
}

}  // namespace
}  // namespace dg

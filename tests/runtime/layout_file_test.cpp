// Layout files: building a figure through the tree, refusing bad entries
// without leaving anything behind, and where figure files are found.
#include "runtime/graphics/layout_file.hpp"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "runtime/graphics/figure_files.hpp"
#include "runtime/graphics/headless_platform.hpp"
#include "test_support.hpp"

namespace dg {
namespace {

namespace fs = std::filesystem;

class LayoutFileTest : public ::testing::Test {
 protected:
  HeadlessPlatform platform;
  Graphics g{platform};
};

TEST_F(LayoutFileTest, BuildsTheFigureAndItsChildrenInFileOrder) {
  Handle fig = load_figure_text(g, R"j({
    "Type": "figure", "Name": "Main", "Position": [10, 20, 30, 40], "Units": "characters",
    "CloseRequestFcn": "f('Exit')",
    "Children": [
      {"Type": "uicontrol", "Tag": "DataBox", "Style": "text", "String": ["a", "b", "c"]},
      {"Type": "axes", "Units": "pixels", "Position": [5, 6, 7, 8]},
      {"Type": "uimenu", "Label": "Plot", "Children": [
        {"Type": "uimenu", "Label": "Thin", "Callback": "f(gca, 0.5)", "Tag": "Thin"}]}]})j",
                                "test");
  EXPECT_EQ(g.get(fig, "Name").text(), "Main");
  EXPECT_EQ(g.get(fig, "CloseRequestFcn").text(), "f('Exit')");
  EXPECT_EQ(g.get(fig, "FileDropFcn").text(), "");
  // "Units" is applied first, wherever it stands.
  EXPECT_EQ(g.pixel_position(fig), (std::array<double, 4>{70, 320, 210, 640}));
  auto kids = g.children(fig);
  ASSERT_EQ(kids.size(), 3u);
  EXPECT_EQ(g.get(kids[0], "String").lines(), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(g.type(kids[1]), ObjectType::Axes);
  EXPECT_EQ(g.pixel_position(kids[1]), (std::array<double, 4>{5, 6, 7, 8}));
  Handle item = g.find_by_tag("Thin").at(0);
  EXPECT_EQ(g.parent(item), kids[2]);
  EXPECT_EQ(g.get(item, "Callback").text(), "f(gca, 0.5)");
}

TEST_F(LayoutFileTest, BadEntriesNameTheSourceAndTheObjectAndLeaveNothingBehind) {
  Handle before = g.new_figure();
  const std::pair<const char*, const char*> cases[] = {
      {R"j({"Type": "figure",)j", "Layout file \"bad\" is not valid JSON: parse error at line 1"},
      {R"j({"Type": "axes"})j", "the figure: the outer object must have \"Type\": \"figure\""},
      {R"j({"Type": "figure", "Colour": [1, 0, 0]})j",
       "the figure: There is no \"Colour\" property on the figure object."},
      {R"j({"Type": "figure", "Children": [{"Type": "uicontrol"},
          {"Type": "uicontrol", "Tag": "Load", "Enable": "maybe"}]})j",
       "object 2 (tag \"Load\"): The property \"Enable\" takes one of"},
      {R"j({"Type": "figure", "Children": [{"Type": "uimenu", "Children": [
          {"Type": "uimenu"}, {"Type": "uimenu", "Callback": "dahand(Clear)"}]}]})j",
       "object 1.2: The callback \"dahand(Clear)\" cannot be run: at character 8"},
      {R"j({"Type": "figure", "FileDropFcn": "dahand(OpenDropped)"})j",
       "the figure: The callback \"dahand(OpenDropped)\" cannot be run: at character 8"},
      {R"j({"Type": "figure", "Children": [{"Type": "uimenu", "Children": [
          {"Type": "uicontrol"}]}]})j",
       "object 1.1: a menu can only hold menus"},
      {R"j({"Type": "figure", "Children": [{"Type": "uicontrol", "Children": []}]})j",
       "object 1: only menus can hold children."},
      {R"j({"Type": "figure", "Children": [{"Tag": "x"}]})j",
       "object 1 (tag \"x\"): it needs a \"Type\" text."},
      {R"j({"Type": "figure", "Visible": true})j",
       "the figure: \"Visible\" cannot be true or false; write \"on\" or \"off\"."},
  };
  for (const auto& [text, message] : cases) {
    EXPECT_THROW_HAS(load_figure_text(g, text, "bad"), message);
    EXPECT_EQ(g.figures(), std::vector<Handle>{before}) << text;
    EXPECT_EQ(g.current_figure(), before);
  }
  EXPECT_THROW_MSG(load_figure_file(g, "/no/such/dir/x.fig"),
                   "The layout file \"/no/such/dir/x.fig\" cannot be opened.");
}

// A figure holding `depth` menus, each inside the one before.
std::string nested_menus(int depth) {
  std::string text = R"j({"Type": "figure", "Children": [)j";
  for (int i = 0; i < depth; ++i) text += R"j({"Type": "uimenu", "Children": [)j";
  for (int i = 0; i < depth; ++i) text += "]}";
  return text + "]}";
}

TEST_F(LayoutFileTest, OverflowingNumbersAndDeepNestingAreRefusedWithTheirPlace) {
  Handle before = g.new_figure();
  EXPECT_THROW_MSG(
      load_figure_text(g, R"j({"Type": "figure", "Position": [1e400, 0, 1, 1]})j", "big.fig"),
      "Layout file \"big.fig\" is not valid JSON: number overflow parsing '1e400'");
  EXPECT_THROW_MSG(load_figure_text(g, "\n" + std::string(100000, '['), "deep.fig"),
                   "Layout file \"deep.fig\" nests lists and objects more than 128 deep (line 2).");
  // Brackets inside texts do not count.
  std::string texts = R"j({"Type": "figure", "Name": ")j" + std::string(200, '[') + R"j(\"{"})j";
  Handle named = load_figure_text(g, texts, "texts.fig");
  EXPECT_EQ(g.get(named, "Name").text(), std::string(200, '[') + "\"{");
  g.delete_object(named);
  EXPECT_THROW_HAS(load_figure_text(g, nested_menus(20000), "menus.fig"),
                   "Layout file \"menus.fig\" nests lists and objects more than 128 deep");
  std::string deepest = "1";
  for (int i = 0; i < 31; ++i) deepest += ".1";
  EXPECT_THROW_MSG(
      load_figure_text(g, nested_menus(33), "menus.fig"),
      "Layout file \"menus.fig\", object " + deepest + ": menus may be nested at most 32 deep.");
  EXPECT_EQ(g.figures(), std::vector<Handle>{before});
  Handle fig = load_figure_text(g, nested_menus(32), "menus.fig");
  EXPECT_EQ(g.findall(fig).size(), 33u);
  g.delete_object(fig);
  EXPECT_EQ(g.figures(), std::vector<Handle>{before});
}

class FigureSearchTest : public ScratchTest {
 protected:
  FigureSearchTest() { fs::current_path(dir); }
  ~FigureSearchTest() override { fs::current_path(previous); }
  fs::path previous = fs::current_path();
  HeadlessPlatform platform;
  Graphics g{platform};
};

TEST_F(FigureSearchTest, AFileInTheCurrentFolderOverridesTheBuiltInCopy) {
  std::ifstream resource(DISTANGLER_SOURCE_DIR "/resources/Distangler.fig");
  std::stringstream text;
  text << resource.rdbuf();
  EXPECT_EQ(built_in_figure("Distangler.fig"), text.str());

  EXPECT_EQ(g.get(load_figure(g, "Distangler.fig"), "Name").text(), "Distangler");
  std::ofstream(dir / "Distangler.fig") << R"j({"Type": "figure", "Name": "Mine"})j";
  EXPECT_EQ(g.get(load_figure(g, "Distangler.fig"), "Name").text(), "Mine");
  EXPECT_EQ(find_figure_file("Distangler.fig"), dir / "Distangler.fig");
  EXPECT_THROW_HAS(load_figure(g, "Other.fig"),
                   "The figure file \"Other.fig\" was not found in " + dir.string() + ", ");
}

}  // namespace
}  // namespace dg

// openfig: the registry on the root, the policies, the file name checks.
#include "guisupport/openfig.hpp"

#include "actions/session.hpp"
#include "runtime/graphics/headless_platform.hpp"
#include "test_support.hpp"

namespace dg {
namespace {

class RaisingPlatform : public HeadlessPlatform {
 public:
  void figure_raised(Handle figure) override { raised.push_back(figure); }
  std::vector<Handle> raised;
};

class OpenFigTest : public ScratchTest {
 protected:
  OpenFigTest() {
    file("win.fig", R"({"Type": "figure", "Children": [{"Type": "uicontrol", "Tag": "Load"}]})");
  }
  Matrix registry(const std::string& name) { return g.getappdata(0, name).matrix(); }

  RaisingPlatform platform;
  Session session{platform};
  Graphics& g = session.graphics;
};

TEST_F(OpenFigTest, ReuseLoadsOnceUntilTheWindowIsClosed) {
  Handle first = openfig(g, at("win"), "reuse");
  EXPECT_EQ(openfig(g, at("win.fig"), "reuse"), first);
  EXPECT_EQ(g.figures().size(), 1u);
  Handle control = g.find_by_tag("Load").at(0);
  g.close(first);
  Handle second = openfig(g, at("win"), "reuse");
  EXPECT_EQ(g.figures(), std::vector<Handle>{second});
  EXPECT_NE(g.find_by_tag("Load").at(0), control);  // built anew
  EXPECT_EQ(registry("win_SINGLETON_handle"), (Matrix{{second}}));
}

TEST_F(OpenFigTest, NewAlwaysLoadsAndReuseThenGivesTheNewest) {
  Handle a = openfig(g, at("win"), "new");
  Handle b = openfig(g, at("win"));  // "new" when left out
  EXPECT_NE(a, b);
  EXPECT_EQ(registry("win_SINGLETON_handle"), (Matrix{{a, b}}));
  EXPECT_EQ(openfig(g, at("win"), "reuse"), b);
  EXPECT_EQ(platform.raised.back(), b);
  std::string base = "abcdefghijklmnopqrst";  // 20 characters
  file(base + ".fig", R"({"Type": "figure"})");
  Handle c = openfig(g, at(base));
  EXPECT_EQ(registry("abcdefghijklmnopqrst_SINGLETON_"), (Matrix{{c}}));  // 31 characters
}

TEST_F(OpenFigTest, ARefusedCallChangesNothing) {
  EXPECT_THROW_MSG(openfig(g, at("win.FIG")), "Argument must be a .fig file");
  EXPECT_THROW_MSG(openfig(g, at("win.txt")), "Argument must be a .fig file");
  Handle a = openfig(g, at("win"));
  g.close(a);
  EXPECT_THROW_MSG(openfig(g, at("win"), "Reuse"),
                   "Second input argument must be 'new' or 'reuse'.");
  EXPECT_EQ(registry("win_SINGLETON_handle"), (Matrix{{a}}));  // not even pruned
  EXPECT_THROW_HAS(openfig(g, at("missing"), "reuse"), "missing.fig");
  EXPECT_TRUE(g.getappdata(0, "missing_SINGLETON_handle").is_empty());
  EXPECT_TRUE(g.figures().empty());
  EXPECT_THROW_MSG(session.functions.call(session, "openfig", Values{}, 1),
                   "Not enough input arguments.");
}

TEST_F(OpenFigTest, AnInvisibleWindowIsMovedOnScreenButNotRaised) {
  file("hidden.fig", R"({"Type": "figure", "Visible": "off", "Position": [2000, -300, 400, 300]})");
  Handle hidden = openfig(g, at("hidden"), "reuse");
  EXPECT_EQ(g.get(hidden, "Visible").text(), "off");
  EXPECT_EQ(g.get(hidden, "OuterPosition").matrix(), (Matrix{{624, 0, 400, 300}}));
  EXPECT_TRUE(platform.raised.empty());
}

}  // namespace
}  // namespace dg

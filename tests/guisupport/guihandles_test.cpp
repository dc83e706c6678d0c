// guihandles, guidata, isvarname and iskeyword, typed and by name.
#include "guisupport/guihandles.hpp"

#include "actions/session.hpp"
#include "guisupport/guidata.hpp"
#include "runtime/graphics/headless_platform.hpp"
#include "test_support.hpp"

namespace dg {
namespace {

class GuiDataTest : public ::testing::Test {
 protected:
  Handle tagged(Handle parent, const std::string& tag, bool menu = false) {
    Handle h = menu ? g.new_uimenu(parent) : g.new_uicontrol(parent);
    g.set(h, "Tag", Value(tag));
    return h;
  }
  std::vector<std::string> fields(const Value& handles) {
    std::vector<std::string> names;
    for (const auto& [name, value] : handles.structure().fields) names.push_back(name);
    return names;
  }
  Values call(const std::string& name, Values args, int nargout = 1) {
    return session.functions.call(session, name, args, nargout);
  }

  HeadlessPlatform platform;
  Session session{platform};
  Graphics& g = session.graphics;
  Handle fig = g.new_figure();
};

TEST_F(GuiDataTest, RepeatedTagsShareOneFieldInVisitingOrder) {
  Handle first = tagged(fig, "Load");
  Handle menu = tagged(fig, "Menu", true);
  Handle item = tagged(menu, "Load", true);
  Handle box = tagged(fig, "DataBox");
  Value handles = guihandles(g, item);
  EXPECT_EQ(fields(handles), (std::vector<std::string>{"Load", "Menu", "DataBox"}));
  EXPECT_EQ(handles.structure().find("Load")->matrix(), (Matrix{{first, item}}));
  EXPECT_EQ(handles.structure().find("DataBox")->matrix(), (Matrix{{box}}));
}

TEST_F(GuiDataTest, OnlyUsableNamesBecomeFields) {
  tagged(fig, "not a name");
  EXPECT_EQ(guihandles(g, fig).kind(), Value::Kind::Empty);
  std::string longest(31, 'a');
  for (const std::string& tag :
       {std::string("end"), std::string("1abc"), std::string("a b"), std::string(32, 'b'),
        std::string("_x"), std::string(""), longest, std::string("a1_B")}) {
    tagged(fig, tag);
  }
  EXPECT_EQ(fields(guihandles(g, fig)), (std::vector<std::string>{longest, "a1_B"}));
  Handle other = g.new_figure();  // the current figure when no input is given
  tagged(other, "Calc");
  EXPECT_EQ(fields(call("guihandles", {})[0]), std::vector<std::string>{"Calc"});

  EXPECT_EQ(call("isvarname", {Value(CharArray{{"ab", "cd"}})})[0].scalar(), 0.0);
  EXPECT_EQ(call("iskeyword", {Value("end")})[0].scalar(), 1.0);
  EXPECT_EQ(call("iskeyword", {Value("End")})[0].scalar(), 0.0);
}

TEST_F(GuiDataTest, DataStoredThroughAnyObjectIsTheFiguresData) {
  Handle control = tagged(fig, "Load");
  EXPECT_EQ(guidata(g, fig).kind(), Value::Kind::Empty);
  call("guidata", {Value(control), Value("kept")}, 0);
  EXPECT_EQ(call("guidata", {Value(fig)})[0].text(), "kept");
  EXPECT_EQ(g.getappdata(fig, "UsedByGUIData_m").text(), "kept");
}

TEST_F(GuiDataTest, BadHandlesAndCountsAreRefusedBeforeAnythingIsStored) {
  const char* bad = "H must be the handle to a figure or figure descendent.";
  Value pair(Matrix{{fig, fig}});
  for (const Value& h : {Value(0.0), Value(12345.0), pair, Value("1"), Value()}) {
    EXPECT_THROW_MSG(call("guidata", {h, Value(1.0)}, 0), bad);
    EXPECT_THROW_MSG(call("guihandles", {h}), bad);
  }
  EXPECT_THROW_MSG(call("guidata", {}), "Not enough input arguments.");
  EXPECT_THROW_MSG(call("guidata", {Value(fig), Value(1.0)}, 1), "Too many output arguments.");
  EXPECT_THROW_MSG(call("isvarname", {}), "Not enough input arguments.");
  EXPECT_EQ(guidata(g, fig).kind(), Value::Kind::Empty);
}

}  // namespace
}  // namespace dg

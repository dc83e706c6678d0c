// The main window as its layout file builds it: the tags and callbacks the
// handler relies on, and a user's whole order of work clicked through it.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "actions/dahand.hpp"
#include "actions/distangler.hpp"
#include "actions/run_callback.hpp"
#include "guisupport/guidata.hpp"
#include "runtime/graphics/callback_text.hpp"
#include "runtime/graphics/headless_platform.hpp"
#include "test_support.hpp"
#include "window_fixture.hpp"

namespace dg {
namespace {

namespace fs = std::filesystem;

const std::string kRoad = DISTANGLER_TEST_DATA_DIR "/road/";

class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest() {
    fs::create_directories(out);
    fig = distangler(session, {}, 1).at(0).scalar();
    for (Handle h : g.findall(fig)) {
      ObjectType t = g.type(h);
      if (t != ObjectType::UIControl && t != ObjectType::UIMenu) continue;
      std::string text = g.get(h, "Callback").text();
      if (text.empty()) continue;  // the boxes and the menu title
      CallbackCall call = parse_callback(text);
      // A button comes before its menu twin, so the word names the button.
      if (call.args.size() == 2 && std::get<std::string>(call.args[0]) == "dahand") {
        by_action.emplace(std::get<std::string>(call.args[1]), h);
      }
      callbacks.emplace_back(h, std::move(call));
    }
  }
  // Loading moves the current folder to the file's; Windows removes no folder
  // that is some program's current one.
  ~MainWindowTest() override {
    fs::current_path(start);
    fs::remove_all(out);
  }

  // Clicks the control that sends the action word, as a user would: it must be enabled.
  void click(const std::string& action, const std::string& answer = "") {
    Handle h = by_action.at(action);
    EXPECT_EQ(g.get(h, "Enable").text(), "on") << action << " is not enabled";
    if (!answer.empty()) platform.answer(answer);
    run_callback(session, h);
  }
  std::vector<std::string> box(const char* tag) {
    return g.get(g.find_by_tag(tag).at(0), "String").lines();
  }

  fs::path out = fs::temp_directory_path() / ("main_window_" + std::to_string(::getpid()));
  const fs::path start = fs::current_path();
  std::ostringstream console;
  HeadlessPlatform platform{&console};
  Session session{platform};
  Graphics& g = session.graphics;
  Handle fig = 0;
  std::vector<std::pair<Handle, CallbackCall>> callbacks;
  std::map<std::string, Handle> by_action;
};

TEST_F(MainWindowTest, OpensOnceWithTheTagsTheHandlerUses) {
  EXPECT_EQ(distangler(session, {}, 1).at(0).scalar(), fig);
  EXPECT_EQ(g.figures(), std::vector<Handle>{fig});
  EXPECT_EQ(g.get(fig, "Color"), g.get(0, "defaultUicontrolBackgroundColor"));
  Value data = guidata(g, fig);
  // Each button with its menu twin, if it has one.
  const std::pair<const char*, std::size_t> tags[] = {
      {"DataBox", 1},     {"LengthBox", 1}, {"Load", 6},        {"GetPairs", 2}, {"GetTriples", 2},
      {"Calc", 1},        {"Save", 3},      {"Constrained", 1}, {"Angles", 2},   {"PlotPairs", 1},
      {"PlotTriples", 1}, {"SavePlot", 1},  {"Export", 1}};
  for (const auto& [tag, count] : tags) {
    ASSERT_TRUE(data.structure().find(tag)) << tag;
    EXPECT_EQ(data.structure().find(tag)->numel(), count) << tag;
  }
  EXPECT_EQ(box("DataBox").size(), 3u);
  EXPECT_EQ(box("LengthBox").size(), 2u);
  EXPECT_EQ(g.type(g.get(fig, "CurrentAxes").scalar()), ObjectType::Axes);
}

TEST_F(MainWindowTest, EveryCallbackGoesThroughTheDispatcherToAKnownFunction) {
  std::set<std::string> actions;
  for (const auto& [h, call] : callbacks) {
    ASSERT_EQ(call.function, "distangler");
    std::string name = std::get<std::string>(call.args.at(0));
    if (name == "dahand") actions.insert(std::get<std::string>(call.args.at(1)));
    if (g.type(h) == ObjectType::UIControl) {
      EXPECT_FALSE(g.get(h, "TooltipString").text().empty()) << name;
    }
    EXPECT_TRUE(session.functions.find(name)) << name;
  }
  std::set<std::string> words;
  for (const ActionEntry& entry : kActions) words.emplace(entry.word);
  // A dropped file's action is the figure's; a recent file's is its item's, made when the menu
  // opens.
  for (const char* elsewhere : {"OpenDropped", "OpenRecent"}) words.erase(elsewhere);
  EXPECT_EQ(actions, words);
}

TEST_F(MainWindowTest, AUserClicksThroughTheWholeOrderOfWork) {
  click("GetTPSData", kRoad + "small.tps");
  EXPECT_EQ(box("DataBox"),
            (std::vector<std::string>{"small.tps", "  4 Landmarks", "  4 Samples"}));
  click("GetLengths", kRoad + "pairs.txt");
  click("GetAngles", kRoad + "triples.txt");
  EXPECT_EQ(box("LengthBox"), (std::vector<std::string>{"triples.txt", "  3 Angles requested"}));
  click("CalcLengths");
  // The column's order; each save must still be enabled when its turn comes.
  for (const char* action :
       {"SaveLogLengths", "SaveLengths", "SaveConstrained", "SaveAngles", "SaveDegrees"}) {
    click(action, (out / action).string());
  }
  EXPECT_EQ(slurp(out / "SaveLengths"), slurp(kRoad + "expected-lengths.txt"));
  EXPECT_EQ(slurp(out / "SaveLogLengths"), slurp(kRoad + "expected-log-lengths.txt"));
  EXPECT_EQ(slurp(out / "SaveConstrained"), slurp(kRoad + "expected-constrained.txt"));
  for (const char* angles : {"SaveAngles", "SaveDegrees"}) {
    std::string text = slurp(out / angles);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4) << angles;  // one per specimen
  }
  Handle axes = g.get(fig, "CurrentAxes").scalar();
  click("PlotProtocol");
  click("ShowAngles");
  EXPECT_FALSE(g.children(axes).empty());
  click("Clear");
  EXPECT_TRUE(g.children(axes).empty());
  EXPECT_EQ(box("DataBox"), (std::vector<std::string>{"No sample loaded", "", ""}));
  EXPECT_EQ(g.get(by_action.at("GetTPSData"), "Enable").text(), "on");
  EXPECT_EQ(console.str(), "");
  EXPECT_EQ(platform.pending_answers(), 0u);

  // The menu items with no button twin (the file check, the reading options,
  // the styling commands, the plot copy, help) run without an error.
  click("GetTPSData", kRoad + "small.tps");
  click("CalcLengths");                              // the kept pairs fit the sample again
  platform.answer((out / "tables").string() + "/");  // the folder for the tables
  platform.answer(kRoad + "small.tps");              // the file to check
  platform.answer_text("");                          // no missing-value code
  fs::create_directories(out / "tables");
  std::size_t menus = 0;
  const std::set<std::string> skipped{"GetTPSData",  "GetTPSScale", "GetData",
                                      "GetLengths",  "GetAngles",   "RecentFiles",
                                      "SaveLengths", "SavePlot",    "Exit"};
  for (const auto& [h, call] : callbacks) {
    if (g.type(h) != ObjectType::UIMenu || call.args.empty()) continue;
    const auto* word = call.args.size() == 2 ? std::get_if<std::string>(&call.args[1]) : nullptr;
    if (word && skipped.count(*word)) continue;
    ++menus;
    run_callback(session, h);
  }
  EXPECT_EQ(menus, 15u);
  EXPECT_EQ(console.str(), "Wrote 6 tables and their manifest to " + (out / "tables").string() +
                               "/: small-distances.csv, small-log-distances.csv, "
                               "small-constrained.csv, small-angles.csv, small-degrees.csv, "
                               "small-superimposed.csv, small-manifest.json\n");
  const std::string manifest = slurp(out / "tables" / "small-manifest.json");
  EXPECT_NE(manifest.find("small-superimposed.csv"), std::string::npos);
  EXPECT_NE(manifest.find("\"consensus_passes\""), std::string::npos);
  EXPECT_EQ(slurp(out / "tables" / "small-distances.csv").substr(0, 42),
            "specimen,id,image,d1_2,d1_3,d2_4,d3_4,d1_4");
  EXPECT_EQ(platform.prints().size(), 1u);
  EXPECT_EQ(platform.reports().size(), 3u);  // the file check, getting started, about

  click("Exit");
  EXPECT_TRUE(g.figures().empty());
  distangler(session, {}, 0);  // opens anew after the window was closed
  EXPECT_EQ(g.figures().size(), 1u);
}

TEST_F(MainWindowTest, TheFileMenuSetsHowFilesAreReadAndChecksThem) {
  const auto checked = [&](const char* tag) {
    return g.get(g.find_by_tag(tag).at(0), "Checked").text();
  };
  platform.answer_text("-1000001");
  click("MissingCode");
  EXPECT_EQ(session.tps_options.missing_code, -1000001);
  EXPECT_EQ(checked("MissingMenu"), "on");
  platform.answer_text("minus one");
  click("MissingCode");
  EXPECT_EQ(console.str(),
            "The missing-value code \"minus one\" is neither a number nor \"negative\".\n");
  EXPECT_EQ(session.tps_options.missing_code, -1000001);
  click("CurvesAsLandmarks");
  EXPECT_EQ(checked("CurvesMenu"), "on");

  // One specimen with a curve of two points and a missing landmark, and a
  // complete one: four landmarks each, the missing one NaN.
  fs::path tps = out / "curves.tps";
  std::ofstream(tps) << "LM=2\n0 0\n-1000001 -1000001\nCURVES=1\nPOINTS=2\n1 0\n1 1\nID=a\n"
                     << "LM=2\n0 0\n2 0\nCURVES=1\nPOINTS=2\n2 2\n0 2\nID=b\n";
  console.str("");
  click("GetTPSData", tps.string());
  ASSERT_EQ(session.handler.data.cols(), 9u);
  EXPECT_TRUE(std::isnan(session.handler.data(0, 2)));
  EXPECT_EQ(session.handler.records.at(1).id(), "b");

  click("MissingLandmarks");
  click("CurvesAsLandmarks");
  EXPECT_EQ(checked("MissingMenu"), "off");
  EXPECT_EQ(checked("CurvesMenu"), "off");
  platform.answer_files({tps.string(), kRoad + "small.tps"});
  click("CheckFile");
  ASSERT_EQ(platform.reports().size(), 1u);
  const auto& [title, text] = platform.reports().front();
  EXPECT_EQ(title, "Check file");
  EXPECT_NE(text.find("curves.tps"), std::string::npos);
  EXPECT_NE(text.find("small.tps"), std::string::npos);
}

}  // namespace
}  // namespace dg

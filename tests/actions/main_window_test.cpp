// The main window as its layout file builds it: the tags and callbacks the
// handler relies on, and a user's whole order of work clicked through it.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <utility>

#include "actions/dahand.hpp"
#include "actions/dahand_actions.hpp"
#include "actions/distangler.hpp"
#include "actions/run_callback.hpp"
#include "guisupport/guidata.hpp"
#include "input/dload.hpp"
#include "pipeline/load_sample.hpp"
#include "pipeline/measurements.hpp"
#include "pipeline/size_variables.hpp"
#include "runtime/array/background.hpp"
#include "runtime/graphics/callback_text.hpp"
#include "runtime/graphics/figure_files.hpp"
#include "runtime/graphics/headless_platform.hpp"
#include "runtime/graphics/layout_file.hpp"
#include "test_support.hpp"
#include "window_fixture.hpp"

namespace dg {
namespace {

namespace fs = std::filesystem;

// Keeps the questions about unsaved work, word for word.
class AskingPlatform : public HeadlessPlatform {
 public:
  using HeadlessPlatform::HeadlessPlatform;
  Unsaved ask_unsaved(std::string_view title, std::string_view question) override {
    questions.emplace_back(question);
    return HeadlessPlatform::ask_unsaved(title, question);
  }
  std::vector<std::string> questions;
  // Run once while the next load's work runs, as a user's click would.
  std::function<void(BackgroundWork&)> while_loading;
  void wait_live(BackgroundWork& work, std::string_view) override {
    if (auto act = std::exchange(while_loading, nullptr)) act(work);
  }
};
using Unsaved = Platform::Unsaved;

class MainWindowTest : public ::testing::Test, protected ScratchFolder {
 protected:
  MainWindowTest() {
    fig = distangler(session, {}, 1).at(0).scalar();
    collect(fig);
  }
  // Notes the callbacks of a figure's controls and menus, and which control
  // sends each action word.
  void collect(Handle figure) {
    for (Handle h : g.findall(figure)) {
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
  // Clicks the control that sends the action word, as a user would: it must be enabled.
  void click(const std::string& action, const std::string& answer = "") {
    Handle h = by_action.at(action);
    EXPECT_EQ(g.get(h, "Enable").text(), "on") << action << " is not enabled";
    if (!answer.empty()) platform.answer(answer);
    run_callback(session, h);
  }
  // Runs the action as a shortcut would, whatever its button's enabling.
  void press(const std::string& action) { run_callback(session, by_action.at(action)); }
  std::string enabled(const std::string& action) {
    return g.get(by_action.at(action), "Enable").text();
  }
  std::string last_message() {
    return platform.messages().empty() ? "" : platform.messages().back().text;
  }
  std::string title() { return g.get(fig, "Name").text(); }
  Handle menu_labelled(const std::string& label) {
    for (Handle h : g.findall(fig)) {
      if (g.type(h) == ObjectType::UIMenu && g.get(h, "Label").text() == label) return h;
    }
    ADD_FAILURE() << "no menu " << label;
    return 0;
  }
  std::vector<std::string> box(const char* tag) {
    return g.get(g.find_by_tag(tag).at(0), "String").lines();
  }

  std::ostringstream console;
  AskingPlatform platform{&console};
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
      {"DataBox", 1},     {"LengthBox", 1}, {"Load", 7},        {"GetPairs", 2}, {"GetTriples", 2},
      {"Calc", 1},        {"Save", 3},      {"Constrained", 1}, {"Angles", 2},   {"PlotPairs", 1},
      {"PlotTriples", 1}, {"SavePlot", 1},  {"Export", 1}};
  for (const auto& [tag, count] : tags) {
    ASSERT_TRUE(data.structure().find(tag)) << tag;
    EXPECT_EQ(data.structure().find(tag)->numel(), count) << tag;
  }
  EXPECT_EQ(box("DataBox").size(), 3u);
  EXPECT_EQ(box("LengthBox").size(), 2u);
  EXPECT_EQ(g.type(g.get(fig, "CurrentAxes").scalar()), ObjectType::Axes);
  // Every button and top menu has an Alt letter of its own ('e' is the
  // status bar's Messages button).
  std::set<char> letters{'e'};
  for (Handle h : g.children(fig)) {
    const ObjectType t = g.type(h);
    const bool button = t == ObjectType::UIControl && g.get(h, "Style").text() == "pushbutton";
    if (!button && t != ObjectType::UIMenu) continue;
    const std::string label = g.get(h, button ? "String" : "Label").text();
    const std::size_t amp = label.find('&');
    ASSERT_NE(amp, std::string::npos) << label;
    const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(label[amp + 1])));
    EXPECT_TRUE(letters.insert(letter).second) << label;
  }
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
  EXPECT_EQ(words.size(), kActions.size());  // a repeated word hides its second action
  // The figure's own: closing it quits, a file dropped on it is opened.
  EXPECT_EQ(g.get(fig, "CloseRequestFcn").text(), "distangler('dahand','Exit')");
  EXPECT_EQ(g.get(fig, "FileDropFcn").text(), "distangler('dahand','OpenDropped')");
  actions.insert("OpenDropped");
  actions.insert("OpenRecent");  // each recent file's item, made when the menu opens
  // The protocol designer's panel, and the clicks and pointer on the plot it listens to.
  press("ProtocolDesigner");
  const Handle panel = g.find_by_tag("ProtocolDesigner").at(0);
  for (Handle h : g.findall(panel)) {
    const std::string text = g.type(h) == ObjectType::UIControl ? g.get(h, "Callback").text() : "";
    if (!text.empty()) actions.insert(std::get<std::string>(parse_callback(text).args.at(1)));
  }
  const Handle axes = g.get(fig, "CurrentAxes").scalar();
  EXPECT_EQ(g.get(axes, "ButtonDownFcn").text(), "distangler('dahand','DesignClick')");
  EXPECT_EQ(g.get(fig, "WindowButtonMotionFcn").text(), "distangler('dahand','DesignHover')");
  actions.insert({"DesignClick", "DesignHover"});
  actions.insert("TurnView");  // a 3-D sample's plot turns with a drag
  // The outlier screen's panel, the specimen photos and the digitiser, as
  // their layout files make them.
  for (const char* layout :
       {"OutlierPanel.fig", "PcaPanel.fig", "SpecimenBrowser.fig", "Digitiser.fig"}) {
    for (Handle h : g.findall(load_figure(g, layout))) {
      const ObjectType t = g.type(h);
      const auto names =
          t == ObjectType::Figure
              ? std::vector<const char*>{"CloseRequestFcn", "KeyPressFcn", "WindowButtonMotionFcn"}
          : t == ObjectType::Axes      ? std::vector<const char*>{"ButtonDownFcn", "PointDragFcn"}
          : t == ObjectType::UIControl ? std::vector<const char*>{"Callback"}
                                       : std::vector<const char*>{};
      for (const char* name : names) {
        const std::string text = g.get(h, name).text();
        if (!text.empty()) actions.insert(std::get<std::string>(parse_callback(text).args.at(1)));
      }
    }
  }
  EXPECT_EQ(actions, words);
}

// The menu items with no button twin (the file check, the reading options,
// the styling commands, the plot copy, help) run without an error; the
// buttons' order of work is clicked through below, with its traps.
TEST_F(MainWindowTest, TheMenuItemsRunWithoutAnError) {
  click("GetTPSData", kRoad + "small.tps");
  click("GetLengths", kRoad + "pairs.txt");
  click("GetAngles", kRoad + "triples.txt");
  click("CalcLengths");
  platform.answer((out / "tables").string() + "/");  // the folder for the tables
  platform.answer(kRoad + "small.tps");              // the file to check
  platform.answer_text("");                          // no missing-value code
  platform.answer_text(std::nullopt);                // the replicates' rule: cancelled
  fs::create_directories(out / "tables");
  std::size_t menus = 0;
  const std::set<std::string> skipped{
      "GetTPSData", "GetTPSScale", "GetData", "GetTPS3D", "GetLengths", "GetAngles", "RecentFiles",
      "SaveLengths", "SavePlot", "Exit",
      // the digitiser's entries ask their own questions
      "NewTPSFromImages", "NewTPSFromFolder", "ResumeDigitising",
      // as do the variables', driven below
      "Groups", "Summary", "SaveAllometric", "SaveLogShapeRatios", "SaveBurnaby", "PcaPanel"};
  for (const auto& [h, call] : callbacks) {
    if (g.type(h) != ObjectType::UIMenu || call.args.empty()) continue;
    const auto* word = call.args.size() == 2 ? std::get_if<std::string>(&call.args[1]) : nullptr;
    if (word && skipped.count(*word)) continue;
    ++menus;
    run_callback(session, h);
  }
  EXPECT_EQ(menus, 26u);
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
  ASSERT_EQ(flat_data(session.handler).cols(), 9u);
  EXPECT_TRUE(std::isnan(flat_data(session.handler)(0, 2)));

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

TEST_F(MainWindowTest, LandmarkNumbersAreASettingCheckedInThePlotMenu) {
  const Handle item = menu_labelled("Show l&andmark numbers");
  EXPECT_EQ(g.get(item, "Accelerator").text(), "L");
  const auto numbered = [&] { return g.find_by_tag("LandmarkNumber").size(); };
  const auto checked = [&] { return g.get(item, "Checked").text(); };
  EXPECT_EQ(checked(), "off");
  run_callback(session, item);
  EXPECT_EQ(checked(), "on");
  EXPECT_EQ(g.get(item, "Enable").text(), "on");
  click("GetTPSData", kRoad + "small.tps");  // a load with the setting on numbers the new sample
  EXPECT_EQ(numbered(), 4u);
  click("Clear");
  EXPECT_EQ(numbered(), 0u);
  EXPECT_EQ(checked(), "on");
  g.close(fig);  // a window opened anew shows the setting
  fig = distangler(session, {}, 1).at(0).scalar();
  EXPECT_EQ(g.get(menu_labelled("Show l&andmark numbers"), "Checked").text(), "on");
}

TEST_F(MainWindowTest, NoTrapsInTheOrderOfWork) {
  const auto state = [&] {
    std::string on;
    for (const char* action :
         {"GetTPSData", "GetLengths", "GetAngles", "CalcLengths", "SaveLogLengths", "SaveLengths",
          "SaveConstrained", "SaveAngles", "PlotProtocol", "ShowAngles"}) {
      on += enabled(action) == "on" ? '1' : '0';
    }
    return on;
  };
  EXPECT_EQ(state(), "1000000000");
  EXPECT_EQ(title(), "Distangler");
  // Nothing to work on: said in the status line (the messages are checked
  // in order at the end); no dialog, no file.
  for (const char* action : {"CalcLengths", "SaveConstrained", "SaveAngles", "PlotProtocol"}) {
    press(action);
  }
  click("GetTPSData", kRoad + "small.tps");
  EXPECT_EQ(state(), "0110000000");
  EXPECT_EQ(title(), "Distangler - small.tps");
  for (const char* action : {"CalcLengths", "PlotProtocol", "SaveLengths", "SaveAngles"}) {
    press(action);
  }
  press("ShowAngles");
  EXPECT_EQ(g.children(g.get(fig, "CurrentAxes").scalar()).size(), 16u);  // the sample only
  EXPECT_EQ(platform.dialogs().size(), 1u);

  // A list that fails its check is not kept, shown, drawn or enabled.
  Handle axes = g.get(fig, "CurrentAxes").scalar();
  const std::size_t drawn = g.children(axes).size();
  const auto length_box = box("LengthBox");
  fs::path bad = out / "bad.txt";
  std::ofstream(bad) << "1 1 2\n2 3 25\n";
  click("GetLengths", bad.string());
  EXPECT_EQ(last_message(),
            "\"bad.txt\": Pair 2 names landmark 25, but the data have 4 landmarks. The list is "
            "not loaded.");
  EXPECT_EQ(platform.messages().back().kind, MessageKind::Error);
  EXPECT_TRUE(session.handler.tlengths.empty());
  EXPECT_EQ(platform.recent_files().size(), 1u);  // the sample only
  EXPECT_EQ(box("LengthBox"), length_box);
  EXPECT_EQ(g.children(axes).size(), drawn);
  EXPECT_EQ(state(), "0110000000");

  click("GetLengths", kRoad + "pairs.txt");
  EXPECT_EQ(state(), "0111000010");
  click("CalcLengths");
  EXPECT_EQ(state(), "0110111010");
  // A cancelled save changes nothing; a save never closes another, in any order.
  platform.answer_cancel();
  click("SaveLengths");
  EXPECT_EQ(state(), "0110111010");
  EXPECT_FALSE(session.handler.distances_saved);
  click("SaveLengths", (out / "d.txt").string());
  click("SaveConstrained", (out / "c.txt").string());
  click("SaveLogLengths", (out / "l.txt").string());
  EXPECT_EQ(enabled("SaveLengths"), "on");
  EXPECT_EQ(state(), "0110111010");
  // A triple list opens its saves and its plot, which stay open.
  click("GetAngles", kRoad + "triples.txt");
  click("ShowAngles");
  click("SaveAngles", (out / "a.txt").string());
  click("SaveDegrees", (out / "g.txt").string());
  EXPECT_EQ(state(), "0110111111");
  // A new pair list replaces the old one and drops its distances.
  click("GetLengths", kRoad + "pairs.txt");
  EXPECT_EQ(state(), "0111000111");
  click("CalcLengths");

  // Clear keeps the list, which the next sample does not fit; the distances
  // calculated again were never saved, so it asks.
  platform.answer_unsaved(Unsaved::discard);
  click("Clear");
  EXPECT_EQ(state(), "1000000000");
  fs::path three = out / "three.tps";
  std::ofstream(three) << "LM=3\n0 0\n1 0\n1 1\n";
  click("GetTPSData", three.string());
  EXPECT_EQ(state(), "0110000000");

  std::vector<std::string> infos;
  for (const MessageRecord& m : platform.messages()) {
    if (m.kind == MessageKind::Info) infos.push_back(m.text);
  }
  std::vector<std::string> expected(4, "No sample is loaded.");
  expected.insert(
      expected.end(),
      {"Loaded 4 specimens of 4 landmarks from small.tps", "Load a pair list first.",
       "Load a pair list first.", "Calculate the distances first.", "Load a triple list first.",
       "Load a triple list first.", "Loaded 5 pairs from pairs.txt",
       "Calculated 5 distances for 4 specimens", "Saved 4 rows to d.txt", "Saved 4 rows to c.txt",
       "Saved 4 rows to l.txt", "Loaded 3 triples from triples.txt", "Saved 4 rows to a.txt",
       "Saved 4 rows to g.txt", "Loaded 5 pairs from pairs.txt",
       "Calculated 5 distances for 4 specimens", "Cleared the sample.",
       "Loaded 1 specimen of 3 landmarks from three.tps"});
  EXPECT_EQ(infos, expected);
}

TEST_F(MainWindowTest, RecentFilesPlotFilesHelpAndQuitting) {
  click("GetTPSData", kRoad + "small.tps");
  click("GetLengths", kRoad + "pairs.txt");
  click("Clear");
  click("GetTPSData", kRoad + "small.tps");  // once in the list, at the top
  EXPECT_EQ(platform.recent_files(),
            (std::vector<std::string>{"GetTPSData:" + kRoad + "small.tps",
                                      "GetLengths:" + kRoad + "pairs.txt"}));
  Handle recent = menu_labelled("Open &recent");
  run_callback(session, recent);
  std::vector<std::string> labels;
  for (Handle item : g.children(recent)) labels.push_back(g.get(item, "Label").text());
  EXPECT_EQ(labels, (std::vector<std::string>{kRoad + "small.tps", kRoad + "pairs.txt"}));
  click("Clear");
  run_callback(session, g.children(recent).at(0));
  EXPECT_EQ(box("DataBox").at(0), "small.tps");
  EXPECT_EQ(platform.pending_answers(), 0u);

  // A file gone since is named, and taken off the list.
  std::vector<std::string> files = platform.recent_files();
  files.insert(files.begin(), "GetTPSData:" + (out / "gone.tps").string());
  for (int i = 0; i < 8; ++i) files.push_back("GetData:" + std::to_string(i));
  platform.store_recent_files(files);
  run_callback(session, recent);
  ASSERT_EQ(g.children(recent).size(), 11u);
  run_callback(session, g.children(recent).at(0));
  EXPECT_EQ(last_message(), "The recent file \"" + (out / "gone.tps").string() +
                                "\" no longer exists; it is taken off the list.");
  EXPECT_EQ(platform.recent_files().size(), 10u);
  click("Clear");
  click("GetData", kRoad + "expected-lengths.txt");  // newest first, at most 8
  EXPECT_EQ(platform.recent_files().size(), 8u);
  EXPECT_EQ(platform.recent_files().front(), "GetData:" + kRoad + "expected-lengths.txt");

  // A sample opens again as it was opened: 3-D, with its reading options,
  // whatever the window's options are now.
  fs::path solid = out / "solid.tps";
  std::ofstream(solid) << "LM=3\n0 0 0\n1 0 0\n-1 -1 -1\nLM=3\n0 0 0\n2 0 0\n0 2 1\n"
                       << "LM=3\n0 0 0\n1 1 0\n0 1 2\n";
  platform.answer_text("-1");
  click("MissingCode");
  click("Clear");
  click("GetTPS3D", solid.string());
  EXPECT_EQ(platform.recent_files().front(),
            "GetTPSData;dimensions=3;missing;code=-1:" + solid.string());
  click("MissingLandmarks");
  platform.answer_text("");
  click("MissingCode");
  click("Clear");
  run_callback(session, recent);
  run_callback(session, g.children(recent).at(0));
  EXPECT_EQ(session.handler.sample.dimensions, 3u);
  EXPECT_TRUE(std::isnan(flat_data(session.handler)(0, 6)));
  EXPECT_FALSE(session.tps_options.missing);  // the window's own options again
  EXPECT_EQ(session.tps_options.dimensions, 2u);

  // The plot as a file: its kind by its extension, which is checked first.
  Handle save_plot = menu_labelled("Save p&lot as...");
  platform.answer((out / "plot.bmp").string());
  run_callback(session, save_plot);
  EXPECT_EQ(last_message(),
            "\"plot.bmp\" does not end in .png, .svg or .pdf, so the plot has no format to be "
            "saved in.");
  platform.answer((out / "plot.SVG").string());
  run_callback(session, save_plot);
  ASSERT_EQ(platform.saved_plots().size(), 1u);
  EXPECT_EQ(platform.saved_plots()[0], std::make_pair(fig, (out / "plot.SVG").string()));
  EXPECT_EQ(last_message(), "Saved the plot to plot.SVG");
  EXPECT_EQ(platform.dialogs().back().suggested, "solid-plot.png");
  EXPECT_EQ(platform.dialogs().back().filter, "*.png;*.svg;*.pdf");

  // Help: wrapped prose that covers the whole window.
  run_callback(session, menu_labelled("&Getting started"));
  run_callback(session, menu_labelled("&About Distangler"));
  ASSERT_EQ(platform.reports().size(), 2u);
  EXPECT_EQ(platform.reports()[0].first, "Getting started");
  EXPECT_EQ(platform.prose(), (std::vector<bool>{true, true}));
  for (const char* topic : {"Calculate distances", "Protocol designer", "Load 3-D TPS...",
                            "Curves as landmarks", "Missing-value code...", "Check file...",
                            "Open recent", "Export tables...", "Save plot as..."}) {
    EXPECT_NE(platform.reports()[0].second.find(topic), std::string::npos) << topic;
  }
  EXPECT_EQ(platform.reports()[1].first, "About Distangler");
  EXPECT_EQ(platform.reports()[1].second.rfind("Distangler " DISTANGLER_VERSION "\n", 0), 0u);

  // Quitting asks only while calculated distances were never saved: Cancel
  // stays, Save writes the distances first.
  click("Clear");
  click("GetTPSData", kRoad + "small.tps");
  click("CalcLengths");
  platform.answer_unsaved(Unsaved::cancel);
  click("Exit");
  EXPECT_EQ(platform.questions, std::vector<std::string>{"The distances calculated for small.tps "
                                                         "were never saved. Save them before "
                                                         "quitting?"});
  EXPECT_EQ(g.figures(), std::vector<Handle>{fig});
  platform.answer_unsaved(Unsaved::save);
  platform.answer((out / "d.txt").string());
  click("Exit");
  EXPECT_EQ(slurp(out / "d.txt"), slurp(kRoad + "expected-lengths.txt"));
  EXPECT_TRUE(g.figures().empty());
  EXPECT_EQ(platform.questions.size(), 2u);
}

TEST_F(MainWindowTest, ADroppedFileLoadsAsWhatItHolds) {
  const auto drop = [&](const std::string& name, const std::string& text) {
    std::ofstream(out / name) << text;
    g.set(fig, "DroppedFile", Value((out / name).string()));
    run_callback(session, fig, g.get(fig, "FileDropFcn").text());
  };
  drop("pairs.txt", "1 1 2\n");  // a list waits for a sample; the file answers nothing later
  EXPECT_EQ(last_message(), "No sample is loaded.");
  drop("sample.dat", "lm=3\n0 0\n1 0\n1 1\nLM=3\n0 0\n2 0\n2 1\n");
  EXPECT_EQ(box("DataBox").at(0), "sample.dat");
  EXPECT_EQ(enabled("GetTPSData"), "off");
  drop("p.txt", "1 1 2\n2 2 3\n");
  EXPECT_EQ(session.handler.tlengths.rows(), 2u);
  drop("t.txt", "1\t1 2 3\n");
  EXPECT_EQ(session.handler.tangles.rows(), 1u);
  EXPECT_EQ(enabled("CalcLengths"), "on");
  drop("m.txt", "0 0 1 0 1 1 3\n");  // a matrix replaces the sample
  EXPECT_EQ(box("DataBox").at(0), "m.txt");
  EXPECT_EQ(flat_data(session.handler).cols(), 7u);
  drop("x.TPS", "LM=3\n0 0\n1 0\n0 1\n");
  EXPECT_EQ(box("DataBox").at(0), "x.TPS");
  EXPECT_EQ(platform.pending_answers(), 0u);

  console.str("");
  drop("two.txt", "1 2\n");
  drop("words.txt", "no numbers here\n");
  EXPECT_EQ(console.str(),
            "\"two.txt\" is neither a TPS file nor a list: its first line of numbers has 2 "
            "columns, where a pair list has 3, a triple list 4 and a landmark matrix 5 or more.\n"
            "\"words.txt\" has no LM= line and no line of numbers: it is neither a TPS file, a "
            "list nor a landmark matrix.\n");
  EXPECT_EQ(box("DataBox").at(0), "x.TPS");
}

// A load cancelled while its work runs, by Esc, a second load or Clear,
// changes nothing; the later action has the last word.
TEST_F(MainWindowTest, ALoadCancelledWhileItRunsChangesNothing) {
  const auto drop = [&](const std::string& name) {
    std::ofstream(out / name) << "LM=3\n0 0\n1 0\n0 1\nLM=3\n0 0\n2 0\n0 1\n";
    g.set(fig, "DroppedFile", Value((out / name).string()));
    run_callback(session, fig, g.get(fig, "FileDropFcn").text());
  };
  drop("a.tps");
  ASSERT_EQ(box("DataBox").at(0), "a.tps");
  const Sample before = session.handler.sample;

  platform.while_loading = [](BackgroundWork& work) { work.cancel(BackgroundWork::Reason::user); };
  drop("b.tps");
  EXPECT_EQ(box("DataBox").at(0), "a.tps");
  EXPECT_EQ(session.handler.sample.coordinates, before.coordinates);
  EXPECT_EQ(last_message(), "Loading b.tps cancelled: the sample is as it was.");
  EXPECT_EQ(session.loading, nullptr);

  platform.while_loading = [&](BackgroundWork&) { drop("c.tps"); };
  drop("b.tps");
  EXPECT_EQ(box("DataBox").at(0), "c.tps");
  EXPECT_EQ(last_message(), "Loaded 2 specimens of 3 landmarks from c.tps");

  platform.while_loading = [&](BackgroundWork&) { press("Clear"); };
  drop("b.tps");
  EXPECT_EQ(box("DataBox").at(0), "No sample loaded");
  EXPECT_EQ(last_message(), "Cleared the sample.");
  EXPECT_EQ(session.loading, nullptr);
}

// Clear, a drop, a recent file and a new pair list would each drop
// distances never saved: each asks first, Cancel changes nothing, Discard
// goes on, Save writes the distances first.
TEST_F(MainWindowTest, NoWorkIsLostWithoutAQuestion) {
  click("GetTPSData", kRoad + "small.tps");
  click("GetLengths", kRoad + "pairs.txt");
  click("CalcLengths");
  const Matrix distances = session.handler.traddata;
  Handle recent = menu_labelled("Open &recent");
  run_callback(session, recent);
  fs::path other = out / "other.tps";
  std::ofstream(other) << "LM=4\n0 0\n1 0\n1 1\n0 1\nLM=4\n0 0\n2 0\n2 1\n0 1\n";
  const auto drop = [&](const fs::path& path) {
    g.set(fig, "DroppedFile", Value(path.string()));
    run_callback(session, fig, g.get(fig, "FileDropFcn").text());
  };
  for (int i = 0; i < 4; ++i) platform.answer_unsaved(Unsaved::cancel);
  click("Clear");
  drop(other);
  run_callback(session, g.children(recent).at(0));  // small.tps again
  click("GetLengths", kRoad + "pairs.txt");
  EXPECT_EQ(platform.questions.size(), 4u);
  EXPECT_EQ(platform.questions[1],
            "The distances calculated for small.tps were never saved. Save them before opening "
            "another sample?");
  EXPECT_EQ(session.handler.traddata, distances);
  EXPECT_EQ(session.handler.sample.records.front().file(), kRoad + "small.tps");
  EXPECT_EQ(platform.pending_answers(), 0u);

  platform.answer_unsaved(Unsaved::discard);
  drop(other);
  EXPECT_EQ(box("DataBox").at(0), "other.tps");
  EXPECT_TRUE(session.handler.traddata.empty());
  click("CalcLengths");
  platform.answer_unsaved(Unsaved::save);
  platform.answer_cancel();  // the save dialog cancelled: nothing is cleared
  click("Clear");
  EXPECT_EQ(box("DataBox").at(0), "other.tps");
  platform.answer_unsaved(Unsaved::save);
  platform.answer((out / "kept.txt").string());
  click("Clear");
  EXPECT_EQ(box("DataBox").at(0), "No sample loaded");
  const std::string kept = slurp(out / "kept.txt");
  EXPECT_EQ(std::count(kept.begin(), kept.end(), '\n'), 2);
  EXPECT_EQ(platform.questions.size(), 7u);
}

// No save replaces a file the window read: the sample, the lists, the layout
// file (other spellings of a path are checked with file_io); a list saved by
// the designer may update its own file.
TEST_F(MainWindowTest, SavesNeverReplaceWhatWasRead) {
  for (const char* name : {"s.tps", "pairs.txt", "triples.txt"}) {
    fs::copy_file(kRoad + (std::string(name) == "s.tps" ? "small.tps" : name), out / name);
  }
  fs::copy_file(DISTANGLER_SOURCE_DIR "/resources/Distangler.fig", out / "Distangler.fig");
  const Handle layout = load_figure_file(g, (out / "Distangler.fig").string());
  click("GetTPSData", (out / "s.tps").string());
  click("GetLengths", (out / "pairs.txt").string());
  click("GetAngles", (out / "triples.txt").string());
  click("CalcLengths");
  const auto refused = [&](const char* action, const fs::path& path, const std::string& what,
                           const fs::path& input) {
    platform.answer(path.string());
    press(action);
    EXPECT_EQ(last_message(), "The file \"" + path.string() + "\" is " + what + " \"" +
                                  input.string() +
                                  "\"; an output never replaces an input, so nothing was written.")
        << action;
  };
  refused("SaveLengths", out / "s.tps", "the loaded sample", out / "s.tps");
  refused("SaveAngles", out / "pairs.txt", "the loaded pair list", out / "pairs.txt");
  refused("SaveConstrained", out / "triples.txt", "the loaded triple list", out / "triples.txt");
  refused("SavePlot", out / "Distangler.fig", "the window's layout file", out / "Distangler.fig");
  EXPECT_EQ(slurp(out / "s.tps"), slurp(kRoad + "small.tps"));
  EXPECT_EQ(slurp(out / "pairs.txt"), slurp(kRoad + "pairs.txt"));
  EXPECT_EQ(slurp(out / "Distangler.fig"),
            slurp(DISTANGLER_SOURCE_DIR "/resources/Distangler.fig"));
  EXPECT_TRUE(platform.saved_plots().empty());
  g.close(layout);
  // Tables named after the sample may not replace one of its lists either.
  fs::rename(out / "pairs.txt", out / "s-distances.csv");
  platform.answer_unsaved(Unsaved::discard);
  click("GetLengths", (out / "s-distances.csv").string());
  click("CalcLengths");
  platform.answer(out.string() + "/");
  press("ExportTables");
  EXPECT_EQ(last_message(), "The table \"" + out.string() +
                                "/s-distances.csv\" is the loaded pair "
                                "list \"" +
                                (out / "s-distances.csv").string() +
                                "\"; an output never replaces an input, so nothing was written.");
  EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 4);
  press("ProtocolDesigner");
  collect(g.find_by_tag("ProtocolDesigner").at(0));
  platform.answer((out / "s-distances.csv").string());
  press("DesignSavePairs");
  EXPECT_EQ(last_message(), "Saved 5 pairs to " + (out / "s-distances.csv").string());
}

// Picks on the mean shape become the session's lists: the panel lists them
// with their means, undo and redo step through them, and the datasets and
// saved lists are those of the same lists written by hand.
TEST_F(MainWindowTest, TheProtocolDesignerBuildsTheListsByClickingTheMeanShape) {
  click("GetTPSData", kRoad + "small.tps");
  press("ProtocolDesigner");
  collect(g.find_by_tag("ProtocolDesigner").at(0));
  EXPECT_EQ(g.get(g.find_by_tag("ProtocolDesigner").at(0), "WindowStyle").text(), "docked");
  EXPECT_EQ(g.current_figure(), fig);  // drawing stays in the main window
  const Handle axes = g.get(fig, "CurrentAxes").scalar();
  const Matrix mean = actions::mean_configuration(session.handler.sample);
  auto click_at = [&](double x, double y) {
    g.set(axes, "CurrentPoint", Value(Matrix{{x, y}}));
    run_callback(session, axes, g.get(axes, "ButtonDownFcn").text());
  };
  auto pick = [&](std::initializer_list<int> landmarks) {
    for (int n : landmarks) click_at(mean(0, 2 * n - 2), mean(0, 2 * n - 1));
  };
  auto prompt = [&] {
    const auto lines = box("DesignPrompt");
    return lines.at(0) + " " + lines.at(1);
  };

  pick({1});
  EXPECT_EQ(last_message(), "Start a distance or an angle before picking landmarks.");
  click("DesignPair");
  EXPECT_EQ(prompt(), "Distance: click its first landmark. Esc cancels.");
  pick({1, 1});  // refused, as the designer's own test checks
  EXPECT_EQ(prompt(), "Distance from landmark 1: click its second landmark.");
  click_at(mean(0, 0) + 100, mean(0, 1));  // beside every landmark: nothing happens
  pick({2});
  EXPECT_EQ(last_message(), "Added distance 1: landmarks 1 and 2");
  pick({4, 3, 2, 1});  // the second pair, then 2 - 1 refused
  click("DesignAngle");
  pick({1, 2});
  EXPECT_EQ(prompt(), "Angle 1 - 2: click the end of its second arm.");
  press("DesignCancel");  // Esc
  EXPECT_EQ(last_message(), "Pick cancelled");
  click("DesignAngle");
  pick({1, 2, 3});
  EXPECT_EQ(last_message(), "Added angle 1: landmarks 1, 2 and 3, vertex 2");
  EXPECT_EQ(box("LengthBox"),
            (std::vector<std::string>{"the protocol designer", "  1 Angles requested"}));

  // Undo and redo over both lists.
  press("DesignUndo");
  press("DesignUndo");
  EXPECT_EQ(session.handler.tlengths.rows(), 1u);
  EXPECT_TRUE(session.handler.tangles.empty());
  press("DesignRedo");
  press("DesignRedo");
  EXPECT_EQ(enabled("DesignRedo"), "off");
  EXPECT_EQ(session.handler.tlengths, (Matrix{{1, 1, 2}, {2, 4, 3}}));
  EXPECT_EQ(session.handler.tangles, (Matrix{{1, 1, 2, 3}}));

  click("CalcLengths");
  click("SaveLengths", (out / "designed-distances.txt").string());
  click("SaveAngles", (out / "designed-angles.txt").string());
  click("DesignSavePairs", (out / "pairs.txt").string());
  click("DesignSaveTriples", (out / "triples.txt").string());
  EXPECT_EQ(slurp(out / "pairs.txt"), "1 1 2\n2 4 3\n");
  EXPECT_EQ(slurp(out / "triples.txt"), "1 1 2 3\n");
  // Each row's mean is the mean of its column in the dataset saved.
  std::istringstream distances(slurp(out / "designed-distances.txt"));
  double sum = 0, d = 0, rest = 0;
  for (int i = 0; i < 4; ++i) distances >> d >> rest >> rest, sum += d;
  const std::string first = box("DesignPairs").at(0);
  EXPECT_EQ(first.substr(0, 18), "d1:  1 - 2   mean ");
  EXPECT_NEAR(std::stod(first.substr(18)), sum / 4, 1e-3 * sum / 4);
  EXPECT_EQ(box("DesignTriples").at(0).substr(0, 22), "a1:  1 - 2 - 3   mean ");

  // An edit after the calculation makes the distances stale.
  click("DesignAllPairs");
  EXPECT_EQ(session.handler.tlengths.rows(), 6u);
  EXPECT_EQ(enabled("CalcLengths"), "on");
  EXPECT_EQ(enabled("SaveLengths"), "off");

  // The same lists written by hand give the same datasets.
  press("ProtocolDesigner");
  EXPECT_TRUE(g.find_by_tag("ProtocolDesigner").empty());
  EXPECT_EQ(g.get(axes, "ButtonDownFcn").text(), "");
  click("Clear");
  click("GetTPSData", kRoad + "small.tps");
  click("GetLengths", (out / "pairs.txt").string());
  click("GetAngles", (out / "triples.txt").string());
  click("CalcLengths");
  click("SaveLengths", (out / "distances.txt").string());
  click("SaveAngles", (out / "angles.txt").string());
  EXPECT_EQ(slurp(out / "distances.txt"), slurp(out / "designed-distances.txt"));
  EXPECT_EQ(slurp(out / "angles.txt"), slurp(out / "designed-angles.txt"));
  EXPECT_EQ(platform.pending_answers(), 0u);
}

// A 3-D sample shows in the plane of its mean shape's principal axes, turns
// with the axes' View, and picks land on the landmarks as shown.
TEST_F(MainWindowTest, ThreeDimensionalSamplesShowAsAViewThatTurns) {
  // Flat in the x-z plane: the view that opens shows its true distances.
  std::ofstream(out / "flat.tps") << "LM=4\n0 0 0\n1 0 0.2\n1 0 1\n0 0 1.3\n"
                                     "LM=4\n5 3 1\n7 3 1.4\n7 3 3\n5 3 3.6\n"
                                     "LM=4\n0 0 0\n1.1 0 0.2\n1 0 1.1\n0 0 1.2\n";
  click("GetTPS3D", (out / "flat.tps").string());
  ASSERT_EQ(session.handler.sample.dimensions, 3u);
  EXPECT_EQ(box("DataBox").at(1), "  4 Landmarks");
  const Handle axes = g.get(fig, "CurrentAxes").scalar();
  EXPECT_EQ(g.get(axes, "DragMode").text(), "rotate");
  EXPECT_EQ(g.get(axes, "ViewChangedFcn").text(), "distangler('dahand','TurnView')");
  const Matrix mean = actions::mean_configuration(session.handler.sample);
  auto shown = [&] { return actions::shown_mean(session); };
  auto spread = [](const Matrix& m, std::size_t axis) {
    double lo = m(0, axis), hi = lo;
    for (std::size_t p = 0; p < 4; ++p)
      lo = std::min(lo, m(0, 2 * p + axis)), hi = std::max(hi, m(0, 2 * p + axis));
    return hi - lo;
  };
  for (std::size_t a = 0; a < 4; ++a) {
    for (std::size_t b = a + 1; b < 4; ++b) {
      const double d3 =
          std::hypot(mean(0, 3 * a) - mean(0, 3 * b), mean(0, 3 * a + 1) - mean(0, 3 * b + 1),
                     mean(0, 3 * a + 2) - mean(0, 3 * b + 2));
      const Matrix m = shown();
      EXPECT_NEAR(std::hypot(m(0, 2 * a) - m(0, 2 * b), m(0, 2 * a + 1) - m(0, 2 * b + 1)), d3,
                  1e-9);
    }
  }
  // Turned a quarter about the screen's vertical, in one step or many, the
  // flat shape is seen edge on: each landmark drawn once, where it is now.
  for (double azimuth = 0; azimuth <= 90; azimuth += 15) {
    g.set(axes, "View", Value(Matrix{{azimuth, 90}}));
    run_callback(session, axes, g.get(axes, "ViewChangedFcn").text());
  }
  EXPECT_LT(spread(shown(), 0), 1e-9);
  EXPECT_GT(spread(shown(), 1), 0.1);
  std::size_t points = 0;
  for (Handle h : g.children(axes)) {
    if (g.type(h) != ObjectType::Line) continue;
    ++points;
    EXPECT_LT(std::abs(g.get(h, "XData").scalar()), 1e-9);
  }
  EXPECT_EQ(points, 3u * 4);
  // Picks follow the turned view.
  g.set(axes, "View", Value(Matrix{{30, 60}}));
  run_callback(session, axes, g.get(axes, "ViewChangedFcn").text());
  press("ProtocolDesigner");
  collect(g.find_by_tag("ProtocolDesigner").at(0));
  click("DesignPair");
  for (int landmark : {3, 1}) {
    const Matrix m = shown();
    g.set(axes, "CurrentPoint", Value(Matrix{{m(0, 2 * landmark - 2), m(0, 2 * landmark - 1)}}));
    run_callback(session, axes, g.get(axes, "ButtonDownFcn").text());
  }
  EXPECT_EQ(session.handler.tlengths, (Matrix{{1, 3, 1}}));
  press("ProtocolDesigner");
  click("Clear");
  EXPECT_EQ(g.get(axes, "DragMode").text(), "pan");
}

// The Analyses menu: the outlier panel draws the specimen selected, leaves
// it out (the sample superimposed again, the export's manifest saying why)
// and brings it back; the measurement error of replicates named by their
// IDs is reported and saved.
TEST_F(MainWindowTest, TheAnalysesMenuScreensLeavesOutAndMeasuresReplicates) {
  std::ofstream(out / "r.tps") << "LM=3\n0 0\n1 0\n0 1\nID=a_r1\nLM=3\n0 0\n1 0.1\n0 1\nID=a_r2\n"
                                  "LM=3\n0 0\n2 0\n0 1\nID=b_r1\nLM=3\n0 0\n2 0.1\n0 1\nID=b_r2\n"
                                  "LM=3\n0 0\n1 0\n0 3\nID=c_r1\nLM=3\n0 0\n1 0\n0 3.1\nID=c_r2\n";
  click("GetTPSData", (out / "r.tps").string());
  click("OutlierPanel");
  ASSERT_EQ(g.find_by_tag("OutlierPanel").size(), 1u);
  collect(g.find_by_tag("OutlierPanel").at(0));
  const Handle list = g.find_by_tag("OutlierList").at(0);
  ASSERT_EQ(g.get(list, "String").lines().size(), 6u);
  g.set(list, "Value", Value(1.0));
  run_callback(session, list);
  EXPECT_EQ(session.picture, Picture::specimens);
  const std::size_t first = session.drawn_rows.at(0);
  const std::string id(session.handler.sample.records[first].id());
  click("OutlierLeaveOut");
  EXPECT_EQ(session.handler.sample.specimens(), 5u);
  EXPECT_EQ(box("DataBox").at(2), "  5 Samples");
  platform.answer(out.string() + "/");
  click("ExportTables");
  const std::string manifest = slurp(out / "r-manifest.json");
  EXPECT_NE(manifest.find("\"id\": \"" + id + "\",\n        \"reason\": \"outlier screen: "),
            std::string::npos)
      << manifest;
  click("OutlierUndo");
  EXPECT_EQ(session.handler.sample.specimens(), 6u);
  EXPECT_EQ(enabled("OutlierUndo"), "off");

  platform.answer_text("id:^(.*)_r");
  click("MeasurementError");
  ASSERT_EQ(platform.reports().size(), 1u);
  EXPECT_NE(platform.reports().back().second.find("6 measurements of 3 specimens"),
            std::string::npos);
  platform.answer((out / "me.csv").string());
  click("SaveMeasurementError");
  EXPECT_EQ(slurp(out / "me.csv").substr(0, 28), "variable,specimens,measureme");
  EXPECT_EQ(slurp(out / "r-replicate-distances.csv").substr(0, 18), "specimen,replicate");
}

// The Analyses menu's variables on the example: groups from a CSV file (a
// bad rule changes nothing, a load drops them), the summary by group, the
// size corrections as the batch tool writes them, and the principal
// components' panel, where a click selects a specimen everywhere.
TEST_F(MainWindowTest, TheAnalysesMenuGroupsSummarisesCorrectsAndShowsComponents) {
  const std::string examples = DISTANGLER_SOURCE_DIR "/examples/";
  click("GetTPSData", examples + "sample.tps");
  press("SaveLogShapeRatios");
  EXPECT_EQ(last_message(), "The size corrections are of the distances: load a pair list first.");
  EXPECT_EQ(enabled("SaveBurnaby"), "off");
  click("GetLengths", examples + "pairs.txt");
  std::string csv = "id,group\n";
  for (int i = 1; i <= 18; ++i) csv += std::to_string(i) + (i <= 10 ? ",A\n" : ",B\n");
  const std::string groups_file = (out / "groups.csv").string();
  std::ofstream(groups_file) << csv;
  platform.answer_text("id:^(x)");
  click("Groups");
  EXPECT_FALSE(session.analyses.groups);
  EXPECT_EQ(platform.messages().back().kind, MessageKind::Error);
  platform.answer_text(groups_file);
  click("Groups");
  EXPECT_EQ(last_message(), "2 groups: A (10), B (8)");
  platform.answer_text("id:^(");
  click("Groups");
  ASSERT_TRUE(session.analyses.groups);
  EXPECT_EQ(session.analyses.groups->rule, groups_file);

  // The summary: a report whose figures are the sample's, then its table.
  platform.answer((out / "summary.csv").string());
  click("Summary");
  const std::string report = platform.reports().back().second;
  double mean_size = 0;
  for (const double size : session.handler.sample.sizes) mean_size += size / 18;
  const std::size_t size_row = report.find("\ncentroid_size  all  ");
  ASSERT_NE(size_row, std::string::npos) << report;
  std::istringstream fields(report.substr(size_row + 22));
  double n = 0, mean = 0;
  fields >> n >> mean;
  EXPECT_EQ(n, 18);
  EXPECT_NEAR(mean, mean_size, 1e-3 * mean_size);
  // Each of 8 distances, log distances and constrained ones and the size, by
  // group and all together; the title, the groups and the header.
  EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 3 + (3 * 8 + 1) * 3);
  EXPECT_EQ(slurp(out / "summary.csv").substr(0, 62),
            "variable,group,n,mean,sd,cv_percent,min,max,missing\nd1_5,A,10,");

  // The corrections are the batch tool's files, its groups pooled.
  std::vector<std::string> warnings;
  const Sample sample = load_sample({examples + "sample.tps"}, {}, warnings);
  const SpecimenGroups groups = sample_groups(sample, groups_file);
  const CheckedList pairs = checked_list(dload(examples + "pairs.txt"), 2, sample.landmarks());
  const Study batch{sample, pairs, CheckedList{Matrix(), 3, {}},
                    distance_rows(sample, pairs.landmarks), &groups};
  const Variables allometric = study_variables(batch, "allometric");
  write_variables(batch, allometric, (out / "batch-allometric.csv").string(), TableFormat::Csv,
                  warnings);
  write_slopes(allometric, (out / "batch-slopes.csv").string(), TableFormat::Csv);
  write_variables(batch, study_variables(batch, "burnaby"), (out / "batch-burnaby.csv").string(),
                  TableFormat::Csv, warnings);
  click("SaveAllometric", (out / "allometric.csv").string());
  EXPECT_EQ(last_message(),
            "Saved 18 rows to allometric.csv and the slopes to sample-allometric-slopes.csv");
  EXPECT_EQ(slurp(out / "allometric.csv"), slurp(out / "batch-allometric.csv"));
  EXPECT_NE(slurp(out / "allometric.csv").find(",group,"), std::string::npos);
  EXPECT_EQ(slurp(out / "sample-allometric-slopes.csv"), slurp(out / "batch-slopes.csv"));
  click("SaveBurnaby", (out / "burnaby.csv").string());
  EXPECT_EQ(slurp(out / "burnaby.csv"), slurp(out / "batch-burnaby.csv"));
  EXPECT_EQ(platform.reports().back().first, "Burnaby's correction");
  EXPECT_NE(platform.reports().back().second.find("rank 7 for 8 variables"), std::string::npos);

  // The principal components: a point per specimen at its scores, coloured
  // by group.
  click("SpecimenBrowser");
  click("PcaPanel");
  const Handle panel = g.find_by_tag("PcaPanel").at(0);
  collect(panel);
  const Pca pca = study_pca(study_variables(batch, "lengths"), false);
  const auto points = [&](std::size_t component) {
    std::vector<double> values;
    for (Handle line : g.find_by_tag("PcaPoints")) {
      const Matrix m = g.get(line, component == 0 ? "XData" : "YData").matrix();
      values.insert(values.end(), m.data(), m.data() + m.size());
    }
    std::sort(values.begin(), values.end());
    return values;
  };
  EXPECT_EQ(g.find_by_tag("PcaPoints").size(), 2u);
  for (std::size_t c = 0; c < 2; ++c) {
    std::vector<double> expected;
    for (std::size_t i = 0; i < 18; ++i) expected.push_back(pca.scores(i, c));
    std::sort(expected.begin(), expected.end());
    const std::vector<double> drawn = points(c);
    ASSERT_EQ(drawn.size(), 18u);
    for (std::size_t i = 0; i < 18; ++i) EXPECT_NEAR(drawn[i], expected[i], 1e-12);
  }
  EXPECT_EQ(box("PcaLegend").at(1), "blue: A (10), orange: B (8)");
  // The pointer over a specimen names it; a click selects it here, in the
  // sample plot and in the specimen photos.
  const Handle plot = g.find_by_tag("PcaPlot").at(0);
  g.set(plot, "CurrentPoint", Value(Matrix{{pca.scores(4, 0), pca.scores(4, 1)}}));
  run_callback(session, panel, g.get(panel, "WindowButtonMotionFcn").text());
  ASSERT_EQ(g.find_by_tag("PcaPointer").size(), 1u);
  EXPECT_EQ(g.get(g.find_by_tag("PcaPointer").at(0), "String").text(), "  5");
  run_callback(session, plot, g.get(plot, "ButtonDownFcn").text());
  EXPECT_EQ(session.pca.selected, std::optional<std::size_t>(4));
  EXPECT_EQ(g.find_by_tag("PcaSelection").size(), 1u);
  EXPECT_EQ(box("PcaSelected").at(0).substr(0, 18), "specimen 5 (ID=5):");
  EXPECT_EQ(session.picture, Picture::specimens);
  EXPECT_EQ(session.drawn_rows, std::vector<std::size_t>{4});
  EXPECT_EQ(g.get(g.find_by_tag("BrowserList").at(0), "Value").scalar(), 5);
  // The correlation of the angles, which there are none of, is refused and
  // the panel keeps what it showed.
  const Handle dataset = g.find_by_tag("PcaDataset").at(0);
  g.set(dataset, "Value", Value(4.0));
  run_callback(session, dataset);
  EXPECT_EQ(platform.messages().back().kind, MessageKind::Error);
  EXPECT_EQ(g.get(dataset, "Value").scalar(), 1);
  EXPECT_EQ(points(0).size(), 18u);
  g.set(dataset, "Value", Value(8.0));  // Burnaby's, on the correlation matrix
  const Handle matrix = g.find_by_tag("PcaMatrix").at(0);
  g.set(matrix, "Value", Value(2.0));
  run_callback(session, matrix);
  EXPECT_EQ(session.pca.dataset, "burnaby");
  EXPECT_TRUE(session.pca.correlation);

  // A specimen left out keeps groups whose rule still fits; a load drops them.
  platform.answer_text("image:^lepomis_0*([0-9])");
  click("Groups");
  click("OutlierPanel");
  collect(g.find_by_tag("OutlierPanel").at(0));
  const Handle outliers = g.find_by_tag("OutlierList").at(0);
  g.set(outliers, "Value", Value(1.0));
  run_callback(session, outliers);
  click("OutlierLeaveOut");
  ASSERT_TRUE(session.analyses.groups);
  EXPECT_EQ(session.analyses.groups->of.size(), 17u);
  EXPECT_EQ(session.pca.pca.scores.rows(), 17u);
  click("Clear");
  EXPECT_TRUE(g.find_by_tag("PcaPanel").empty());
  click("GetTPSData", examples + "sample.tps");
  EXPECT_FALSE(session.analyses.groups);
  EXPECT_EQ(platform.pending_answers(), 0u);
}

}  // namespace
}  // namespace dg

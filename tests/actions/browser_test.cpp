// The specimen photos window driven as a user would: open it on a loaded
// sample, step through the specimens, drag a landmark, mark one missing and
// restore it, undo and redo, save the corrected file and load it again.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "actions/dahand_actions.hpp"
#include "actions/window_fixture.hpp"
#include "runtime/graphics/figure_files.hpp"
#include "test_support.hpp"

namespace dg {
namespace {

class BrowserTest : public FilesFixture {
 protected:
  Handle tagged(const char* tag) {
    const auto found = session.graphics.find_by_tag(tag);
    EXPECT_EQ(found.size(), 1u) << tag;
    return found.empty() ? -1 : found.front();
  }
  std::vector<std::string> list() {
    return session.graphics.get(tagged("BrowserList"), "String").lines();
  }
  void pick(double row) {
    session.graphics.set(tagged("BrowserList"), "Value", Value(row));
    run("BrowserSelect");
  }
  void key(const char* name) {
    session.graphics.set(tagged("SpecimenBrowser"), "CurrentKey", Value(name));
    run("BrowserKey");
  }
  // The landmark lines on the photo, by their numbers.
  std::map<int, std::array<double, 2>> landmarks() {
    std::map<int, std::array<double, 2>> at;
    Graphics& g = session.graphics;
    for (Handle h : g.children(tagged("BrowserPhoto"))) {
      if (g.tag_of(h) != "Landmark") continue;
      at[static_cast<int>(g.get(h, "UserData").scalar())] = {g.get(h, "XData").scalar(),
                                                             g.get(h, "YData").scalar()};
    }
    return at;
  }
  // Drops landmark `number` at (x, y) as the window does at the end of a drag.
  void drag(int number, double x, double y) {
    Graphics& g = session.graphics;
    for (Handle h : g.children(tagged("BrowserPhoto"))) {
      if (g.tag_of(h) != "Landmark" || g.get(h, "UserData").scalar() != number) continue;
      g.set(tagged("BrowserPhoto"), "CurrentPoint", Value(Matrix{{x, y}}));
      Graphics::CallbackScope scope(g, h);
      run("BrowserDrag");
      return;
    }
    ADD_FAILURE() << "no landmark " << number;
  }
  void click(double x, double y) {
    session.graphics.set(tagged("BrowserPhoto"), "CurrentPoint", Value(Matrix{{x, y}}));
    run("BrowserClick");
  }
};

// Three specimens of three landmarks, CRLF line ends, an NA mark, the first
// with a photo beside the file and the second naming one on another machine.
constexpr const char* kSample =
    "LM=3\r\n10.00 20.00\r\n30.00 40.00\r\n50.00 15.00\r\nIMAGE=a.png\r\nID=s1\r\n"
    "LM=3\r\n11.50 21.50\r\n31.50 41.50\r\n51.50 NA\r\nIMAGE=C:\\photos\\b.png\r\nID=s2\r\n"
    "LM=3\r\n12.00 22.00\r\n32.00 42.00\r\n52.00 17.00\r\nID=s3\r\n";

TEST_F(BrowserTest, StepsCorrectsUndoesAndSavesTheCorrectedFile) {
  const std::string tps = file("wings.tps", kSample);
  file("a.png", "not decoded: headless");
  session.tps_options.missing = true;
  answer_run(tps, "GetTPSData");
  run("SpecimenBrowser");
  ASSERT_TRUE(actions::browser_open(session));
  const auto rows = list();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_NE(rows[0].find("  photo"), std::string::npos) << rows[0];
  EXPECT_NE(rows[1].find("no photo"), std::string::npos) << rows[1];
  EXPECT_NE(rows[1].find("1 missing"), std::string::npos) << rows[1];

  // The landmarks as the file holds them, before any superimposition.
  pick(1);
  EXPECT_EQ(landmarks(),
            (std::map<int, std::array<double, 2>>{{1, {10, 20}}, {2, {30, 40}}, {3, {50, 15}}}));
  key("pagedown");
  EXPECT_EQ(landmarks().size(), 2u);  // the second specimen misses landmark 3
  EXPECT_EQ(landmarks().at(1)[0], 11.5);
  key("pageup");
  key("pageup");  // stays on the first
  EXPECT_EQ(landmarks().at(1)[0], 10);

  drag(2, 33.25, 44.5);
  EXPECT_EQ(landmarks().at(2), (std::array<double, 2>{33.25, 44.5}));
  click(50.2, 15.1);
  key("delete");
  EXPECT_EQ(landmarks().count(3), 0u);
  key("delete");
  EXPECT_EQ(landmarks().at(3), (std::array<double, 2>{50, 15}));
  key("ctrl+z");
  EXPECT_EQ(landmarks().count(3), 0u);
  key("ctrl+z");
  key("ctrl+z");
  EXPECT_EQ(landmarks().at(2), (std::array<double, 2>{30, 40}));
  key("ctrl+shift+z");
  EXPECT_EQ(landmarks().at(2), (std::array<double, 2>{33.25, 44.5}));
  // A new correction drops what was taken back.
  drag(1, 9.5, 20);
  EXPECT_EQ(session.graphics.get(tagged("BrowserRedo"), "Enable").text(), "off");

  // Clearing asks first; cancel keeps everything.
  platform.answer_unsaved(Platform::Unsaved::cancel);
  run("Clear");
  EXPECT_FALSE(session.handler.sample.empty());

  platform.answer((out / "wings-corrected.tps").string());
  run("BrowserSave");
  const std::string corrected = read("wings-corrected.tps");
  std::string expected = kSample;
  expected.replace(expected.find("10.00 20.00"), 11, "9.50 20.00");
  expected.replace(expected.find("30.00 40.00"), 11, "33.25 44.50");
  EXPECT_EQ(corrected, expected);
  EXPECT_NE(read("wings-corrected.edits.csv").find("s1"), std::string::npos);
  // Saved again after one more correction: the file takes it, the log only it.
  drag(3, 50, 16);
  platform.answer((out / "wings-corrected.tps").string());
  run("BrowserSave");
  expected.replace(expected.find("50.00 15.00"), 11, "50.00 16.00");
  EXPECT_EQ(read("wings-corrected.tps"), expected);
  const std::string log = read("wings-corrected.edits.csv");
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 4) << log;  // the header, three edits

  // Saved: a load asks nothing, and gives the corrected sample.
  session.tps_options.missing = true;
  answer_run((out / "wings-corrected.tps").string(), "GetTPSData");
  pick(1);  // the open browser followed the new sample
  EXPECT_EQ(landmarks().at(1), (std::array<double, 2>{9.5, 20}));
}

TEST_F(BrowserTest, RefusesSamplesWithoutPhotos) {
  const std::string data = file("m.txt", "1 2 3 4 5 6 1\n2 3 4 5 6 7 1\n");
  answer_run(data, "GetData");
  run("SpecimenBrowser");
  EXPECT_FALSE(actions::browser_open(session));
  EXPECT_NE(platform.messages().back().text.find("TPS"), std::string::npos);
}

// The digitiser on a folder of two photos: clicks place the landmarks in
// order, M marks the next one missing, Ctrl+Z takes the last back, and the
// file holds every landmark placed after each one.
TEST_F(BrowserTest, DigitisesAFolderOfPhotosIntoATpsFile) {
  std::filesystem::create_directories(out / "shots");
  file("shots/b.JPG", "photo");
  file("shots/a.png", "photo");
  file("shots/notes.txt", "not a photo");
  platform.answer((out / "shots").string() + "/");
  platform.answer_text("2.5");
  EXPECT_THROW_HAS(run("NewTPSFromFolder"), "\"2.5\" is not");
  EXPECT_FALSE(actions::digitiser_open(session));

  platform.answer((out / "shots").string() + "/");
  platform.answer_text("3");
  platform.answer((out / "shots" / "shots.tps").string());
  run("NewTPSFromFolder");
  ASSERT_TRUE(actions::digitiser_open(session));
  const auto place = [&](double x, double y) {
    session.graphics.set(tagged("DigitisePhoto"), "CurrentPoint", Value(Matrix{{x, y}}));
    run("DigitiseClick");
  };
  const auto press = [&](const char* key) {
    session.graphics.set(tagged("Digitiser"), "CurrentKey", Value(key));
    run("DigitiseKey");
  };
  place(10.25, 20);
  press("m");
  press("ctrl+z");
  press("m");
  place(30, 40.125);
  place(99, 99);  // beyond the three landmarks: refused
  press("pagedown");
  place(1, 2);
  EXPECT_EQ(read("shots/shots.tps"),
            "LM=3\n10.25000 20.00000\nNA NA\n30.00000 40.12500\nIMAGE=a.png\nID=a\n"
            "LM=1\n1.00000 2.00000\nIMAGE=b.JPG\nID=b\n");
  place(3, 1);
  place(2, 5);
  run("DigitiseClose");
  EXPECT_FALSE(actions::digitiser_open(session));
  // Every photo done: the file loads as a sample.
  session.tps_options.missing = true;
  answer_run((out / "shots" / "shots.tps").string(), "GetTPSData");
  EXPECT_EQ(session.handler.sample.specimens(), 2u);
  EXPECT_EQ(session.handler.sample.landmarks(), 3u);
}

}  // namespace
}  // namespace dg

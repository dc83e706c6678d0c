#include "runtime/qt/qt_platform.hpp"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <chrono>
#include <thread>
#include <utility>
#include <vector>

#include "qt_test_support.hpp"
#include "runtime/array/error.hpp"
#include "runtime/array/progress.hpp"
#include "test_support.hpp"

namespace dg {
namespace {

class PlatformTest : public ::testing::Test {
 protected:
  PlatformTest() {
    platform.attach(g);
    platform.set_callback_runner([this](Handle object, const std::string& text) {
      calls.emplace_back(object, text);
      if (failure) failure();
    });
    g.set(figure, "Position", row({100, 100, 400, 300}));
  }

  Handle control(const char* style, std::initializer_list<double> position) {
    Handle h = g.new_uicontrol(figure);
    g.set(h, "Style", Value(style));
    g.set(h, "Position", row(position));
    return h;
  }
  template <class W>
  W* widget(Handle h) {
    return qobject_cast<W*>(platform.widget_of(h));
  }
  QMainWindow* window() { return qobject_cast<QMainWindow*>(platform.window_of(figure)); }

  QtPlatform platform;
  Graphics g{platform};
  Handle figure = g.new_figure();
  std::vector<std::pair<Handle, std::string>> calls;
  std::function<void()> failure;
};

TEST_F(PlatformTest, ControlsShowTheirPropertiesAtPositionsMeasuredFromTheBottom) {
  Handle box = control("text", {10, 20, 100, 30});
  g.set(box, "String", Value::text_cell({"sample.tps", " 12 Landmarks"}));
  Handle button = control("pushbutton", {10, 60, 80, 24});
  g.set(button, "String", Value("Load"));
  g.set(button, "Enable", Value("off"));
  g.set(button, "TooltipString", Value("Load a TPS file"));
  Handle hidden = control("pushbutton", {10, 90, 80, 24});
  g.set(hidden, "Visible", Value("off"));
  Handle popup = control("popupmenu", {120, 20, 80, 24});
  g.set(popup, "String", Value::text_cell({"a", "b", "c"}));
  g.set(popup, "Value", Value(2.0));

  auto* label = widget<QLabel>(box);
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->geometry(), QRect(10, 250, 100, 30));
  EXPECT_EQ(label->text(), "sample.tps\n 12 Landmarks");
  auto* push = widget<QPushButton>(button);
  ASSERT_NE(push, nullptr);
  EXPECT_EQ(push->text(), "Load");
  EXPECT_FALSE(push->isEnabled());
  EXPECT_EQ(push->toolTip(), "Load a TPS file");
  EXPECT_TRUE(widget<QPushButton>(hidden)->isHidden());
  auto* combo = widget<QComboBox>(popup);
  ASSERT_NE(combo, nullptr);
  EXPECT_EQ(combo->count(), 3);
  EXPECT_EQ(combo->currentIndex(), 1);

  g.set(button, "Style", Value("checkbox"));
  EXPECT_NE(widget<QCheckBox>(button), nullptr) << "a new style gets a new widget";
}

TEST_F(PlatformTest, TheWindowFollowsTheTreeOnlyWhenTheLoopIsIdleOrDrawingIsForced) {
  Handle box = control("text", {10, 20, 100, 30});
  g.set(box, "String", Value("before"));
  auto* label = widget<QLabel>(box);
  ASSERT_NE(label, nullptr);
  for (int i = 0; i < 100; ++i) g.set(box, "String", Value("step " + std::to_string(i)));
  EXPECT_EQ(label->text(), "before") << "nothing is redrawn while a callback changes the tree";
  QCoreApplication::processEvents();
  EXPECT_EQ(label->text(), "step 99");

  g.set(box, "String", Value("forced"));
  platform.drawnow(g);
  EXPECT_EQ(label->text(), "forced");

  g.set(figure, "Name", Value("Distangler"));
  g.set(figure, "Color", row({1, 0, 0}));
  platform.drawnow(g);
  EXPECT_EQ(window()->windowTitle(), "Figure 1: Distangler");
  QImage shown = window()->centralWidget()->grab().toImage();
  EXPECT_TRUE(is_red(shown.pixel(5, 5))) << "the figure's colour";
  g.set(figure, "NumberTitle", Value("off"));
  g.set(figure, "Visible", Value("off"));
  platform.drawnow(g);
  EXPECT_EQ(window()->windowTitle(), "Distangler");
  EXPECT_FALSE(window()->isVisible());
}

TEST_F(PlatformTest, ClicksAndMenusReachTheRunnerWithTheirObjectAndCallback) {
  Handle button = control("pushbutton", {10, 10, 80, 24});
  g.set(button, "Callback", Value("distangler('dahand','Clear')"));
  Handle silent = control("pushbutton", {10, 40, 80, 24});
  Handle check = control("checkbox", {10, 70, 80, 24});
  g.set(check, "Max", Value(5.0));
  g.set(check, "Callback", Value("check"));
  Handle popup = control("popupmenu", {10, 100, 80, 24});
  g.set(popup, "String", Value::text_cell({"a", "b", "c"}));
  g.set(popup, "Callback", Value("popup"));
  Handle menu = g.new_uimenu(figure);
  g.set(menu, "Label", Value("&Plot"));
  Handle item = g.new_uimenu(menu);
  g.set(item, "Label", Value("Copy"));
  g.set(item, "Callback", Value("CopyBigImage(gcbo)"));

  widget<QPushButton>(button)->click();
  widget<QPushButton>(silent)->click();
  widget<QCheckBox>(check)->click();
  emit widget<QComboBox>(popup)->activated(2);
  ASSERT_NE(platform.action_of(item), nullptr);
  platform.action_of(item)->trigger();

  using Call = std::pair<Handle, std::string>;
  EXPECT_EQ(calls, (std::vector<Call>{{button, "distangler('dahand','Clear')"},
                                      {check, "check"},
                                      {popup, "popup"},
                                      {item, "CopyBigImage(gcbo)"}}));
  EXPECT_EQ(g.get(check, "Value").scalar(), 5.0) << "a ticked box holds its Max";
  EXPECT_EQ(g.get(popup, "Value").scalar(), 3.0);
  ASSERT_EQ(window()->menuBar()->actions().size(), 1);
  EXPECT_EQ(window()->menuBar()->actions()[0]->text(), "&Plot");
}

TEST_F(PlatformTest, AnErrorInACallbackStopsThereAndItsMessageIsShown) {
  Handle button = control("pushbutton", {10, 10, 80, 24});
  g.set(button, "Callback", Value("nope"));
  failure = [] { raise("Undefined function \"nope\"."); };
  widget<QPushButton>(button)->click();
  EXPECT_NE(platform.console_text().find("Undefined function \"nope\".\n"), std::string::npos);
  EXPECT_EQ(platform.status_line(), "Undefined function \"nope\".");
  EXPECT_EQ(window()->statusBar()->currentMessage(), "Undefined function \"nope\".");

  failure = [] { throw 42; };
  widget<QPushButton>(button)->click();
  EXPECT_EQ(platform.status_line(), "An unknown error ended the callback.");
  EXPECT_EQ(calls.size(), 2u);
}

TEST_F(PlatformTest, ALongCallbackLetsTheWindowRepaintAndShowsABusyCursorUntilItEnds) {
  Handle button = control("pushbutton", {10, 10, 80, 24});
  g.set(button, "Callback", Value("load"));
  bool timer_ran = false, cursor_before = true, cursor_during = false, close_refused = false;
  failure = [&] {
    QTimer::singleShot(0, [&] { timer_ran = true; });
    window()->close();  // refused: the callback may still draw into the figure
    close_refused = g.is_handle(figure);
    auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(450)) {
      if (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(200)) {
        cursor_before = cursor_before && QGuiApplication::overrideCursor() != nullptr;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      progress();
    }
    const QCursor* cursor = QGuiApplication::overrideCursor();
    cursor_during = cursor && cursor->shape() == Qt::WaitCursor;
  };
  widget<QPushButton>(button)->click();
  EXPECT_TRUE(timer_ran) << "events are handled while the callback runs";
  EXPECT_FALSE(cursor_before) << "no busy cursor for the first 0.3 s";
  EXPECT_TRUE(cursor_during);
  EXPECT_TRUE(close_refused);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_FALSE(platform.working());
}

TEST_F(PlatformTest, ClosingTheWindowClosesTheFigureAndTheLoopEndsWithTheLastFigure) {
  Handle second = g.new_figure();
  QWidget* first_window = platform.window_of(figure);
  QTimer::singleShot(0, first_window, [&] { first_window->close(); });
  QTimer::singleShot(0, &*window(), [&] { g.close(second); });
  EXPECT_EQ(platform.exec(), 0);
  EXPECT_FALSE(g.is_handle(figure));
  EXPECT_FALSE(g.is_handle(second));
  EXPECT_EQ(platform.exec(), 0) << "returns at once without figures";
}

TEST_F(PlatformTest, ResizingTheWindowScalesTheFigureAndItsChildren) {
  Handle button = control("pushbutton", {40, 30, 80, 20});
  Handle axes = g.new_axes(figure);
  g.set(axes, "Position", row({40, 60, 320, 200}));
  QMainWindow* w = window();
  QCoreApplication::processEvents();
  ASSERT_EQ(w->centralWidget()->size(), QSize(400, 300));

  w->resize(w->width() + 400, w->height() + 300);
  QCoreApplication::processEvents();
  auto near = [](std::array<double, 4> a, std::array<double, 4> b) {
    for (int i = 0; i < 4; ++i) {
      if (std::abs(a[i] - b[i]) > 0.5) return false;
    }
    return true;
  };
  EXPECT_TRUE(near(g.pixel_position(figure), {100, -200, 800, 600})) << "the top edge stays";
  EXPECT_TRUE(near(g.pixel_position(button), {80, 60, 160, 40}));
  EXPECT_TRUE(near(g.pixel_position(axes), {80, 120, 640, 400}));
  EXPECT_EQ(widget<QPushButton>(button)->geometry(), QRect(80, 500, 160, 40));

  g.set(figure, "Position", row({50, 60, 300, 200}));
  platform.drawnow(g);
  EXPECT_EQ(w->centralWidget()->size(), QSize(300, 200));
  EXPECT_EQ(w->geometry().x(), 50);
  EXPECT_TRUE(near(g.pixel_position(button), {80, 60, 160, 40})) << "set by the tree: kept";
}

TEST_F(PlatformTest, PrintingPutsSvgAndABitmapOnTheClipboard) {
  g.new_axes(figure);
  g.plot(std::vector<double>{1}, std::vector<double>{1}, "ro");
  platform.print_figure(g, figure, {"-noui", "-dmeta"});
  const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
  ASSERT_NE(mime, nullptr);
  ASSERT_TRUE(mime->hasFormat("image/svg+xml"));
  QByteArray svg = mime->data("image/svg+xml");
  EXPECT_TRUE(svg.contains("<svg")) << svg.left(200).toStdString();
  EXPECT_TRUE(svg.contains("viewBox=\"0 0 400 300\""));
  ASSERT_TRUE(mime->hasImage());
  QImage image = qvariant_cast<QImage>(mime->imageData());
  EXPECT_EQ(image.size(), QSize(800, 600));
  EXPECT_GT(count(image, image.rect(), is_red), 20);

  EXPECT_THROW_MSG(platform.print_figure(g, figure, {"-noui", "-dpng"}),
                   "Printing takes the options -noui, -dmeta and -dbitmap, not \"-dpng\".");
  EXPECT_THROW_MSG(platform.print_figure(g, figure, {"-dmeta"}),
                   "Only a figure without its controls (-noui) can be printed to the clipboard.");
}

TEST_F(PlatformTest, CharacterUnitsAndScreenComeFromTheRealFontAndScreen) {
  auto screen = platform.screen_size();
  EXPECT_GT(screen[0], 0);
  EXPECT_GT(screen[1], 0);
  auto c = platform.character_size();
  EXPECT_GT(c[0], 2);
  EXPECT_GT(c[1], c[0]);
  g.set(figure, "Units", Value("characters"));
  g.set(figure, "Position", row({0, 0, 50, 20}));
  auto px = g.pixel_position(figure);
  EXPECT_DOUBLE_EQ(px[2], 50 * c[0]);
  EXPECT_DOUBLE_EQ(px[3], 20 * c[1]);
  QColor button = QApplication::palette().color(QPalette::Button);
  EXPECT_EQ(g.get(0, "defaultUicontrolBackgroundColor").matrix(),
            (Matrix{{button.redF(), button.greenF(), button.blueF()}}));
}

TEST_F(PlatformTest, ScriptedDialogAnswersAreUsedInOrder) {
  platform.answer("/data/set/sample.tps");
  platform.answer_cancel();
  auto first = platform.get_file("*.tps", "Load");
  ASSERT_TRUE(first);
  EXPECT_EQ(first->name, "sample.tps");
  EXPECT_EQ(first->folder, "/data/set/");
  EXPECT_FALSE(platform.put_file("*.*", "Save"));
}

}  // namespace
}  // namespace dg

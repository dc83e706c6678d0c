#include "runtime/qt/qt_platform.hpp"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDockWidget>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>
#include <QWheelEvent>
#include <chrono>
#include <thread>
#include <utility>
#include <vector>

#include "display/CopyBigImage.hpp"
#include "qt_test_support.hpp"
#include "runtime/array/background.hpp"
#include "runtime/array/error.hpp"
#include "runtime/array/progress.hpp"
#include "runtime/qt/axes_painter.hpp"
#include "svg_bounds.hpp"
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
  QLabel* status() { return window()->findChild<QLabel*>("StatusLine"); }
  QWidget* canvas() { return window()->centralWidget(); }
  // An axes over the whole figure with limits [0 40 0 30]: 10 pixels per unit.
  Handle plotted_axes() {
    Handle axes = g.new_axes(figure);
    g.set(axes, "Position", row({0, 0, 400, 300}));
    g.hold(true);
    g.plot(std::vector<double>{0, 40}, std::vector<double>{0, 30}, "k-");
    g.axis_limits({0, 40, 0, 30});
    platform.drawnow(g);
    return axes;
  }
  // The left button pressed, moved with `held` or released at `at` on the canvas.
  void mouse(QEvent::Type type, QPointF at, Qt::MouseButtons held = Qt::LeftButton) {
    if (type == QEvent::MouseButtonRelease) held = Qt::NoButton;
    QMouseEvent event(type, at, canvas()->mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
    QCoreApplication::sendEvent(canvas(), &event);
  }
  static bool near(std::array<double, 4> a, std::array<double, 4> b, double tolerance) {
    for (int i = 0; i < 4; ++i) {
      if (std::abs(a[i] - b[i]) > tolerance) return false;
    }
    return true;
  }
  using Call = std::pair<Handle, std::string>;

  QtPlatform platform;
  Graphics g{platform};
  Handle figure = g.new_figure();
  std::vector<std::pair<Handle, std::string>> calls;
  std::function<void()> failure;
};

TEST_F(PlatformTest, ControlsShowTheirPropertiesAtPositionsMeasuredFromTheBottom) {
  Handle box = control("text", {10, 20, 100, 40});
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
  EXPECT_EQ(label->geometry(), QRect(10, 240, 100, 40));
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
  EXPECT_EQ(status()->text(), "Undefined function \"nope\".");

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

// Work off the event loop: the window takes clicks (their callbacks run and
// may close it) and shows the time taken, and Esc cancels the work.
TEST_F(PlatformTest, WhileWorkRunsOffTheLoopTheWindowAnswersAndEscCancelsIt) {
  Handle load = control("pushbutton", {10, 10, 80, 24});
  Handle other = control("pushbutton", {10, 40, 80, 24});
  g.set(load, "Callback", Value("load"));
  g.set(other, "Callback", Value("other"));
  QString status_during;
  bool working_during = true, cancelled = false;
  failure = [&] {
    if (calls.back().second == "other") {
      QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
      QCoreApplication::sendEvent(canvas(), &esc);
      return;
    }
    BackgroundWork work([] {
      for (;;) {
        progress();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    });
    QTimer::singleShot(10, [&] {
      working_during = platform.working();
      status_during = status()->text();
    });
    QTimer::singleShot(20, [&] { widget<QPushButton>(other)->click(); });
    platform.wait_live(work, "Loading big.tps");
    try {
      work.wait();
    } catch (const WorkCancelled&) {
      cancelled = work.reason() == BackgroundWork::Reason::user;
    }
  };
  widget<QPushButton>(load)->click();
  EXPECT_TRUE(cancelled);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_FALSE(working_during) << "the tree is not being changed while the work runs";
  EXPECT_TRUE(status_during.startsWith("Loading big.tps: 0.")) << status_during.toStdString();
  EXPECT_TRUE(status_during.endsWith(" s (Esc cancels)")) << status_during.toStdString();
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
  EXPECT_TRUE(near(g.pixel_position(figure), {100, -200, 800, 600}, 0.5)) << "the top edge stays";
  EXPECT_TRUE(near(g.pixel_position(button), {80, 60, 160, 40}, 0.5));
  EXPECT_TRUE(near(g.pixel_position(axes), {80, 120, 640, 400}, 0.5));
  EXPECT_EQ(widget<QPushButton>(button)->geometry(), QRect(80, 500, 160, 40));

  g.set(figure, "Position", row({50, 60, 300, 200}));
  platform.drawnow(g);
  EXPECT_EQ(w->centralWidget()->size(), QSize(300, 200));
  EXPECT_EQ(w->geometry().x(), 50);
  EXPECT_TRUE(near(g.pixel_position(button), {80, 60, 160, 40}, 0.5)) << "set by the tree: kept";
}

// The SVG the copy puts beside the bitmap is checked with the enlarged copy.
TEST_F(PlatformTest, PrintingPutsABitmapOnTheClipboard) {
  g.new_axes(figure);
  g.plot(std::vector<double>{1}, std::vector<double>{1}, "ro");
  platform.print_figure(g, figure, {"-noui", "-dmeta"});
  const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
  ASSERT_NE(mime, nullptr);
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

TEST_F(PlatformTest, TheStatusLineShowsTheLastMessageInItsKindsColourAndTheMessagesWindowAll) {
  control("text", {0, 0, 10, 10});  // the window exists
  QLabel* line = status();
  ASSERT_NE(line, nullptr);
  const QColor normal = line->palette().color(QPalette::WindowText);
  const std::string long_error = "The file \"" + std::string(300, 'x') + ".tps\" cannot be read.";
  platform.message(MessageKind::Error, long_error);
  EXPECT_EQ(line->palette().color(QPalette::WindowText), QColor(0xc8, 0, 0));
  EXPECT_TRUE(line->text().endsWith(QChar(0x2026))) << "elided";
  EXPECT_EQ(line->toolTip().toStdString(), long_error);
  platform.message(MessageKind::Warning, "2 specimens share the ID \"a\".");
  EXPECT_EQ(line->palette().color(QPalette::WindowText), QColor(0x9a, 0x60, 0));
  platform.message(MessageKind::Info, "Plot copied to the clipboard");
  EXPECT_EQ(line->text(), "Plot copied to the clipboard") << "the next success replaces";
  EXPECT_EQ(line->palette().color(QPalette::WindowText), normal);
  EXPECT_EQ(line->toolTip(), "");
  // A result that came with warnings keeps them in view.
  platform.set_callback_runner([&](Handle, const std::string&) {
    platform.message(MessageKind::Warning, "ID=0 is shared by specimens 1 and 31.");
    platform.message(MessageKind::Info, "Loaded 417 specimens");
  });
  platform.run_callback(0, "load");
  EXPECT_EQ(line->text(), "Loaded 417 specimens (1 warning: see Messages)");
  EXPECT_EQ(line->palette().color(QPalette::WindowText), QColor(0x9a, 0x60, 0));

  // One Messages window for every figure, opened from either status bar.
  Handle second = g.new_figure();
  auto* button = window()->findChild<QPushButton*>("MessagesButton");
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->text(), "M&essages");  // Alt+M is "Load &matrix..."
  button->click();
  QWidget* messages = platform.messages_window();
  ASSERT_NE(messages, nullptr);
  platform.window_of(second)->findChild<QPushButton*>("MessagesButton")->click();
  EXPECT_EQ(platform.messages_window(), messages);
  auto* view = messages->findChild<QPlainTextEdit*>();
  ASSERT_NE(view, nullptr);
  EXPECT_TRUE(view->isReadOnly());
  platform.message(MessageKind::Info, "Saved 18 rows to lengths.txt");  // follows while open
  const QStringList lines = view->toPlainText().split('\n');
  ASSERT_EQ(lines.size(), 6);
  const QRegularExpression shape("^\\d\\d:\\d\\d:\\d\\d  (Info|Warning|Error)  .");
  for (const QString& l : lines) EXPECT_TRUE(shape.match(l).hasMatch()) << l.toStdString();
  EXPECT_TRUE(lines[0].mid(8).startsWith("  Error  The file \""));
  EXPECT_EQ(lines[1].mid(8), "  Warning  2 specimens share the ID \"a\".");
  EXPECT_EQ(lines[5].mid(8), "  Info  Saved 18 rows to lengths.txt");
  QPushButton* copy = nullptr;
  for (auto* b : messages->findChildren<QPushButton*>()) {
    if (b->text() == "&Copy") copy = b;
  }
  ASSERT_NE(copy, nullptr);
  copy->click();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), view->toPlainText());
  messages->close();
}

TEST_F(PlatformTest, KeyboardUseShortcutsTabOrderAndLabelsThatFit) {
  Handle menu = g.new_uimenu(figure);
  g.set(menu, "Label", Value("&File"));
  std::vector<Handle> items;
  for (const char* keys : {"o", "Ctrl+Shift+O", "F1"}) {
    items.push_back(g.new_uimenu(menu));
    g.set(items.back(), "Accelerator", Value(keys));
  }
  // Created out of their column order: Tab still goes down the column.
  Handle lower = control("pushbutton", {10, 40, 100, 25});
  Handle upper = control("pushbutton", {10, 70, 100, 25});
  Handle right = control("pushbutton", {120, 70, 100, 25});
  g.set(upper, "String", Value("Save constrained distances..."));
  g.set(lower, "String", Value("&Load TPS..."));
  EXPECT_EQ(platform.action_of(items[0])->shortcut(), QKeySequence("Ctrl+O"));
  EXPECT_EQ(platform.action_of(items[1])->shortcut(), QKeySequence("Ctrl+Shift+O"));
  EXPECT_EQ(platform.action_of(items[2])->shortcut(), QKeySequence(Qt::Key_F1));
  EXPECT_EQ(widget<QPushButton>(lower)->text(), "&Load TPS...");

  auto tab = [](QWidget* w) {  // where Tab goes from w
    do {
      w = w->nextInFocusChain();
    } while (!(w->focusPolicy() & Qt::TabFocus) || !w->isVisible());
    return w;
  };
  window()->show();
  EXPECT_EQ(tab(widget<QPushButton>(upper)), widget<QPushButton>(right));
  EXPECT_EQ(tab(widget<QPushButton>(right)), widget<QPushButton>(lower));
  EXPECT_EQ(tab(widget<QPushButton>(lower)), canvas());

  // The button holds a quarter of the figure's width: the figure must be at
  // least four times its label (and frame) wide.
  const QFontMetrics metrics(widget<QPushButton>(upper)->font());
  const int label = metrics.horizontalAdvance("Save constrained distances...");
  EXPECT_GE(canvas()->minimumWidth(), 4 * label);
  EXPECT_LE(canvas()->minimumWidth(), 4 * (label + 16));
  EXPECT_GE(canvas()->minimumHeight(), 12 * metrics.height());

  // A long file name in a text box is shortened in the middle, whole in its tooltip.
  Handle box = control("text", {10, 100, 120, 20});
  const std::string name = "bluegill-body-417spec-k19-scale-crlf-second-session.TPS";
  g.set(box, "String", Value::text_cell({name, " 19 Landmarks"}));
  auto* text = widget<QLabel>(box);
  const QStringList shown = text->text().split('\n');
  ASSERT_EQ(shown.size(), 2);
  EXPECT_TRUE(shown[0].startsWith("bluegill") && shown[0].endsWith(".TPS"));
  EXPECT_TRUE(shown[0].contains(QChar(0x2026)));
  EXPECT_EQ(shown[1], " 19 Landmarks");
  EXPECT_EQ(text->toolTip().toStdString(), name + "\n 19 Landmarks");
  // Its two lines need their share of the figure's height too.
  const int spacing = QFontMetrics(text->font()).lineSpacing();
  EXPECT_GE(canvas()->minimumHeight(), 2 * spacing * 300 / 20);
}

TEST_F(PlatformTest, TheCloseButtonAndDroppedFilesRunTheFiguresCallbacks) {
  control("text", {0, 0, 10, 10});
  window()->close();
  EXPECT_FALSE(g.is_handle(figure)) << "without CloseRequestFcn the window closes";
  figure = g.new_figure();
  g.set(figure, "CloseRequestFcn", Value("dahand('Exit')"));
  g.set(figure, "FileDropFcn", Value("dahand('OpenDropped')"));
  std::vector<std::string> opened;
  failure = [&] {
    if (calls.back().second != "dahand('OpenDropped')") return;
    opened.push_back(g.get(figure, "DroppedFile").text());
  };
  window()->close();
  ASSERT_TRUE(g.is_handle(figure));
  EXPECT_TRUE(window()->isVisible()) << "the callback decides";

  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile("/data/a.tps"), QUrl("https://example.org/b.tps"),
                QUrl::fromLocalFile("/data/pairs.txt")});
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(window(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(window(), &drop);
  QCoreApplication::processEvents();
  EXPECT_EQ(calls, (std::vector<Call>{{figure, "dahand('Exit')"},
                                      {figure, "dahand('OpenDropped')"},
                                      {figure, "dahand('OpenDropped')"}}));
  EXPECT_EQ(opened, (std::vector<std::string>{"/data/a.tps", "/data/pairs.txt"}));
  EXPECT_EQ(g.get(figure, "DroppedFile").text(), "") << "no dropped file is left over";
}

TEST_F(PlatformTest, TheWheelZoomsAboutThePointerDragPansAndDoubleClickResets) {
  const Handle axes = plotted_axes();
  g.set(axes, "ButtonDownFcn", Value("pick(gcbo)"));
  auto lim = [&] {
    Matrix x = g.get(axes, "XLim").matrix(), y = g.get(axes, "YLim").matrix();
    return std::array<double, 4>{x(0, 0), x(0, 1), y(0, 0), y(0, 1)};
  };
  // The pointer is at (10, 20).
  const QPointF pointer = axes_box(g, figure, axes).topLeft() + QPointF(100, 100);
  QWheelEvent wheel(pointer, canvas()->mapToGlobal(pointer), {}, {0, 120}, Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(canvas(), &wheel);
  EXPECT_TRUE(near(lim(), {2, 34, 4, 28}, 1e-6)) << lim()[0] << " " << lim()[1];

  const QPointF moved = pointer + QPointF(40, -20);
  mouse(QEvent::MouseButtonPress, pointer);
  mouse(QEvent::MouseMove, moved);
  EXPECT_TRUE(near(lim(), {2, 34, 4, 28}, 1e-6)) << "the limits change on release";
  mouse(QEvent::MouseButtonRelease, moved);
  EXPECT_TRUE(near(lim(), {-1.2, 30.8, 2.4, 26.4}, 1e-6)) << lim()[0] << " " << lim()[2];
  EXPECT_TRUE(calls.empty()) << "a drag is no click";

  mouse(QEvent::MouseButtonDblClick, pointer);
  EXPECT_EQ(g.get(axes, "XLimMode").text(), "auto");
  EXPECT_EQ(g.get(axes, "DataAspectRatioMode").text(), "manual");
  g.axis_limits({0, 40, 0, 30});
  g.set(axes, "DataAspectRatioMode", Value("auto"));
  QKeyEvent home(QEvent::KeyPress, Qt::Key_Home, Qt::NoModifier);
  QCoreApplication::sendEvent(canvas(), &home);
  EXPECT_EQ(g.get(axes, "YLimMode").text(), "auto");
  EXPECT_EQ(g.get(axes, "DataAspectRatioMode").text(), "manual");
}

TEST_F(PlatformTest, AClickSetsTheAxesPointAndRunsItsCallbackAndPointerMotionIsReported) {
  const Handle axes = plotted_axes();
  g.set(axes, "ButtonDownFcn", Value("pick(gcbo)"));
  const Matrix limits = g.get(axes, "XLim").matrix();
  auto point = [&] { return g.get(axes, "CurrentPoint").matrix(); };
  // 10 pixels per unit: (12, 7) lies 120 pixels right of and 70 above the box's corner.
  const QRectF box = axes_box(g, figure, axes);
  const QPointF at = box.bottomLeft() + QPointF(120, -70);
  mouse(QEvent::MouseButtonPress, at);
  mouse(QEvent::MouseMove, at + QPointF(2, -2));  // a hand's tremble is still a click
  mouse(QEvent::MouseButtonRelease, at + QPointF(2, -2));
  EXPECT_EQ(calls, (std::vector<Call>{{axes, "pick(gcbo)"}}));
  ASSERT_EQ(point().rows(), 2u);
  EXPECT_NEAR(point()(0, 0), 12.2, 0.1);
  EXPECT_NEAR(point()(0, 1), 7.2, 0.1);
  EXPECT_EQ(point()(1, 0), point()(0, 0));
  EXPECT_EQ(g.get(axes, "XLim").matrix(), limits) << "a click does not pan";

  // Pointer motion: many moves in one turn of the loop run the callback once,
  // for the last place; leaving the canvas puts the point far outside.
  EXPECT_FALSE(canvas()->hasMouseTracking());
  g.set(figure, "WindowButtonMotionFcn", Value("hover"));
  platform.drawnow(g);
  EXPECT_TRUE(canvas()->hasMouseTracking());
  for (int i = 0; i < 5; ++i) mouse(QEvent::MouseMove, at + QPointF(10 * i, 0), Qt::NoButton);
  QCoreApplication::processEvents();
  EXPECT_EQ(calls, (std::vector<Call>{{axes, "pick(gcbo)"}, {figure, "hover"}}));
  EXPECT_NEAR(point()(0, 0), 12 + 4, 0.1);
  EXPECT_NEAR(point()(0, 1), 7, 0.1);
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(canvas(), &leave);
  QCoreApplication::processEvents();
  EXPECT_EQ(calls.size(), 3u);
  EXPECT_GT(point()(0, 0), 38 + 5 * 40);
  g.set(figure, "WindowButtonMotionFcn", Value(""));
  platform.drawnow(g);
  EXPECT_FALSE(canvas()->hasMouseTracking());

  // A three-dimensional view turns with a drag, half a degree a pixel, and
  // does not pan; Home turns it back.
  g.set(axes, "DragMode", Value("rotate"));
  g.set(axes, "ViewChangedFcn", Value("turned"));
  mouse(QEvent::MouseButtonPress, at);
  mouse(QEvent::MouseMove, at + QPointF(20, 0));
  mouse(QEvent::MouseMove, at + QPointF(20, 40));
  mouse(QEvent::MouseButtonRelease, at + QPointF(20, 40));
  EXPECT_EQ(g.get(axes, "View").matrix(), (Matrix{{-10, 90}}));  // elevation stops at 90
  EXPECT_EQ(calls.size(), 5u);                                   // once a move
  EXPECT_EQ(calls.back(), (Call{axes, "turned"}));
  EXPECT_EQ(g.get(axes, "XLim").matrix(), limits) << "a turn does not pan";
  g.set(figure, "CurrentAxes", Value(axes));
  QKeyEvent home(QEvent::KeyPress, Qt::Key_Home, Qt::NoModifier);
  QCoreApplication::sendEvent(canvas(), &home);
  EXPECT_EQ(g.get(axes, "View").matrix(), (Matrix{{0, 90}}));
  EXPECT_EQ(calls.size(), 6u);
}

TEST_F(PlatformTest, ADockedFigureSitsBesideItsHostsPlotScalesWithTheDockAndClosesSafely) {
  Handle menu = g.new_uimenu(figure);
  g.set(menu, "Label", Value("&Edit"));
  Handle undo = g.new_uimenu(menu);
  g.set(undo, "Accelerator", Value("z"));
  g.set(undo, "Callback", Value("undo"));
  Handle designer = g.new_figure();
  g.set(designer, "Name", Value("Protocol designer"));
  g.set(designer, "NumberTitle", Value("off"));
  g.set(designer, "Position", row({0, 0, 240, 300}));
  g.set(designer, "WindowStyle", Value("docked"));
  Handle list = g.new_uicontrol(designer);
  g.set(list, "Style", Value("listbox"));
  g.set(list, "Position", row({20, 100, 200, 150}));
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();

  auto* inner = qobject_cast<QMainWindow*>(platform.window_of(designer));
  ASSERT_NE(inner, nullptr);
  auto* dock = qobject_cast<QDockWidget*>(inner->parentWidget());
  ASSERT_NE(dock, nullptr);
  EXPECT_EQ(dock->objectName(), "DockedFigure");
  EXPECT_EQ(dock->windowTitle(), "Protocol designer");
  EXPECT_EQ(dock->parentWidget(), window());
  EXPECT_EQ(window()->dockWidgetArea(dock), Qt::RightDockWidgetArea);
  EXPECT_FALSE(inner->statusBar()->isVisible());
  EXPECT_EQ(canvas()->size(), QSize(400, 300)) << "the host window grew to make room";
  EXPECT_EQ(inner->centralWidget()->width(), 240);
  EXPECT_NEAR(g.pixel_position(designer)[3], inner->centralWidget()->height(), 0.5);

  window()->resizeDocks({dock}, {360}, Qt::Horizontal);
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  const double sx = inner->centralWidget()->width() / 240.0;
  EXPECT_GT(sx, 1.3);
  EXPECT_NEAR(g.pixel_position(designer)[2], 240 * sx, 0.5);
  EXPECT_NEAR(g.pixel_position(list)[0], 20 * sx, 0.5);
  EXPECT_NEAR(g.pixel_position(list)[2], 200 * sx, 0.5);

  // The host's menu keys work while the panel has the focus.
  window()->activateWindow();
  QCoreApplication::processEvents();
  widget<QListWidget>(list)->setFocus();
  ASSERT_EQ(QApplication::focusWidget(), widget<QListWidget>(list));
  QKeyEvent key(QEvent::KeyPress, Qt::Key_Z, Qt::ControlModifier);
  QCoreApplication::sendEvent(widget<QListWidget>(list), &key);
  EXPECT_EQ(calls, (std::vector<Call>{{undo, "undo"}}));

  g.set(designer, "Visible", Value("off"));
  platform.drawnow(g);
  EXPECT_TRUE(dock->isHidden());
  g.set(designer, "Visible", Value("on"));
  g.set(designer, "CloseRequestFcn", Value("designer('Close')"));
  platform.drawnow(g);
  dock->close();
  EXPECT_EQ(calls.back(), (Call{designer, "designer('Close')"}));
  EXPECT_TRUE(dock->isVisible()) << "the callback decides";

  // The loop ends with the host; the panel becomes a window of its own.
  QTimer::singleShot(0, window(), [&] { window()->close(); });
  EXPECT_EQ(platform.exec(), 0);
  EXPECT_FALSE(g.is_handle(figure));
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QCoreApplication::processEvents();
  QWidget* alone = platform.window_of(designer);
  ASSERT_NE(alone, nullptr);
  EXPECT_TRUE(alone->isWindow());
  EXPECT_TRUE(alone->isVisible());
  g.close(designer);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(platform.window_of(designer), nullptr);
}

TEST_F(PlatformTest, TheEnlargedCopyHoldsTheWholeAxesInsideItsPicture) {
  g.set(figure, "Position", row({100, 100, 560, 420}));
  Handle axes = g.new_axes(figure);
  g.hold(true);
  g.plot(std::vector<double>{0, 100}, std::vector<double>{0, 80}, "ko");
  CopyBigImage(g);
  const SvgBounds b = svg_bounds(QGuiApplication::clipboard()->mimeData()->data("image/svg+xml"));
  EXPECT_EQ(b.view, QRectF(0, 0, 560, 420));
  ASSERT_TRUE(b.strokes_inside()) << b.strokes.right() << " " << b.strokes.top();
  // The frame ends a few characters inside the right and top edges.
  EXPECT_LT(b.strokes.right(), 560 - 14);
  EXPECT_GT(b.strokes.top(), 14);
  EXPECT_EQ(g.get(axes, "XLimMode").text(), "auto");
}

}  // namespace
}  // namespace dg

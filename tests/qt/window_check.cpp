// Runs the real main window on a display, as a user would: opens it from its
// layout, goes through the order of work from the keyboard (shortcuts, Tab
// and Return, paths typed into the file dialogs) and with the window's own
// buttons (dialogs answered by script), triggers every menu item (the styling
// commands, the help texts and the plot copy), picks landmarks with the
// pointer in the protocol designer, loads the example again for the picture,
// saves a screenshot of the window as the screen shows it, and leaves with
// "Exit". What the actions do with their answers is checked headless; here
// only what takes the real widgets, keys, pointer and question boxes.
//
//   qt_window_check --examples DIR [--screenshot OUT.png] [--out DIR]
//
// With --out the files it writes (and the copied plot) are kept there.
//
// Exit status 0 when every check passes, 1 when one fails, 77 without a display.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "actions/dahand_actions.hpp"
#include "actions/distangler.hpp"
#include "actions/run_callback.hpp"
#include "actions/session.hpp"
#include "runtime/qt/axes_painter.hpp"
#include "runtime/qt/figure_window.hpp"
#include "runtime/qt/qt_platform.hpp"
#include "window_session.hpp"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  std::string examples, screenshot, out_dir;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string option = argv[i];
    // Absolute, since loading a file moves the current folder to the file's.
    if (option == "--examples") examples = fs::absolute(argv[i + 1]).string();
    if (option == "--screenshot") screenshot = fs::absolute(argv[i + 1]).string();
    if (option == "--out") out_dir = fs::absolute(argv[i + 1]).string();
  }
  if (examples.empty()) {
    std::cerr << "usage: qt_window_check --examples DIR [--screenshot OUT.png] [--out DIR]\n";
    return 1;
  }
  if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
    std::cerr << "qt_window_check: no display\n";
    return 77;
  }
  fs::path out =
      out_dir.empty() ? fs::temp_directory_path() / "distangler_window_check" : fs::path(out_dir);
  // What a run that was stopped left behind would make the save dialogs ask
  // about replacing it.
  if (out_dir.empty()) fs::remove_all(out);
  fs::create_directories(out);

  QApplication app(argc, argv);
  dg::WindowSession window_session;
  dg::QtPlatform& platform = window_session.platform;
  dg::Session& session = window_session.session;
  dg::Graphics& g = session.graphics;

  int failures = 0;
  auto check = [&](bool ok, const std::string& what) {
    std::cout << (ok ? "ok: " : "FAILED: ") << what << "\n";
    failures += ok ? 0 : 1;
  };

  dg::Handle figure = dg::distangler(session, {}, 1).at(0).scalar();
  // The controls and menu items of the window and its panels by what their
  // callback sends.
  auto find = [&](const std::string& word) {
    for (dg::Handle h : g.findall(0)) {
      dg::ObjectType t = g.type(h);
      if (t != dg::ObjectType::UIControl && t != dg::ObjectType::UIMenu) continue;
      if (g.get(h, "Callback").text().find("'" + word + "'") != std::string::npos) return h;
    }
    return dg::Handle(-1);
  };
  auto click = [&](const std::string& action, const std::string& answer = "") {
    dg::Handle h = find(action);
    auto* button = h < 0 ? nullptr : qobject_cast<QAbstractButton*>(platform.widget_of(h));
    if (!button) return check(false, "a button sends " + action);
    if (!button->isEnabled()) return check(false, action + " is enabled when its turn comes");
    if (!answer.empty()) platform.answer(answer);
    button->click();
    platform.drawnow(g);
  };

  // The next question box is answered with `button` once it opens, as a user would.
  auto answer_question = [&](QMessageBox::StandardButton button, bool* asked) {
    auto* poll = new QTimer(&app);
    QObject::connect(poll, &QTimer::timeout, [poll, button, asked] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      poll->stop();
      poll->deleteLater();
      *asked = true;
      box->button(button)->click();
    });
    poll->start(50);
  };

  QTimer::singleShot(200, [&] {
    QWidget* window = platform.window_of(figure);
    check(window && window->isVisible(), "the main window is visible");
    check(QGuiApplication::platformName() != "offscreen", "the window is on a real display");

    // The order of work from the keyboard alone: shortcuts, Tab and Return,
    // and the paths typed into the file dialogs.
    auto keys = [&](int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
      // Without a window manager (plain xvfb-run) nobody hands the window the
      // keyboard back after a dialog: the check does, as a manager would.
      if (!QApplication::activeWindow()) QApplication::setActiveWindow(window);
      QWidget* focus = QApplication::focusWidget();
      QTest::keyClick(focus ? focus : window, static_cast<Qt::Key>(key), modifiers);
      platform.drawnow(g);
    };
    // The next file dialog gets `path` typed over its suggested name, then Return.
    // Waits (up to 10 s, however loaded the machine) for the dialog to open.
    auto type_into_dialog = [&](const std::string& path) {
      auto* poll = new QTimer(&app);
      auto tries = std::make_shared<int>(0);
      QObject::connect(poll, &QTimer::timeout, [poll, tries, path] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        auto* field = dialog ? dialog->findChild<QLineEdit*>("fileNameEdit") : nullptr;
        if (!field || !field->isVisible()) {
          if (++*tries == 100) poll->deleteLater();
          return;
        }
        poll->stop();
        poll->deleteLater();
        QApplication::setActiveWindow(dialog);
        field->setFocus();
        // Typed as the user would, relative to the folder the dialog shows.
        const QString typed = dialog->directory().relativeFilePath(QString::fromStdString(path));
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(field, typed);
        // The field's completion list may open while typing and take keys
        // meant for the field: it is closed and the text made whole before
        // Return accepts the dialog.
        QApplication::processEvents();
        while (QWidget* popup = QApplication::activePopupWidget()) popup->close();
        if (field->text() != typed) field->setText(typed);
        QTest::keyClick(field, Qt::Key_Return);
      });
      poll->start(100);
    };
    auto tab_to = [&](const std::string& word) {
      QWidget* target = platform.widget_of(find(word));
      for (int i = 0; i < 40 && target && QApplication::focusWidget() != target; ++i) {
        keys(Qt::Key_Tab);
      }
      check(target && QApplication::focusWidget() == target, "Tab reaches the button of " + word);
    };
    type_into_dialog(examples + "/sample.tps");
    keys(Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
    auto box = g.get(g.find_by_tag("DataBox").at(0), "String").lines();
    check(box == std::vector<std::string>{"sample.tps", " 10 Landmarks", " 18 Samples"},
          "Ctrl+Shift+O loads the sample with its scale factors");
    tab_to("GetLengths");
    type_into_dialog(examples + "/pairs.txt");
    keys(Qt::Key_Return);
    tab_to("CalcLengths");
    keys(Qt::Key_Return);
    click("GetAngles", examples + "/triples.txt");
    click("SaveLogLengths", (out / "SaveLogLengths").string());
    type_into_dialog((out / "SaveLengths").string());
    keys(Qt::Key_S, Qt::ControlModifier);
    check(fs::exists(out / "SaveLengths"), "Ctrl+S saves the distances through the dialog");
    for (const char* save : {"SaveConstrained", "SaveAngles", "SaveDegrees"}) {
      click(save, (out / save).string());
    }
    click("PlotProtocol");
    click("ShowAngles");

    // Every menu item: the file check (its dialog answered), the reading
    // options, the styling commands and the plot copy.
    platform.answer(out.string());  // the folder for the tables
    platform.answer(examples + "/sample.tps");
    platform.answer_text(std::string());
    // The File menu's loads and twins of the buttons, the recent files, the
    // plot file, the protocol designer and Quit are driven below or headless;
    // every other item is triggered here.
    const char* driven[] = {"GetTPS3D",         "GetTPSData",       "GetTPSScale",
                            "GetData",          "GetLengths",       "GetAngles",
                            "RecentFiles",      "OpenRecent",       "SaveLengths",
                            "SavePlot",         "ProtocolDesigner", "DesignUndo",
                            "DesignRedo",       "DesignCancel",     "Exit",
                            "OutlierPanel",     "MeasurementError", "SaveMeasurementError",
                            "ShowReplicates",   "SpecimenBrowser",  "NewTPSFromImages",
                            "NewTPSFromFolder", "ResumeDigitising", "Groups",
                            "Summary",          "SaveAllometric",   "SaveLogShapeRatios",
                            "SaveBurnaby",      "PcaPanel"};
    std::size_t items = 0;
    for (dg::Handle h : g.findall(figure)) {
      // Items of the recent-files menu are remade as files are opened.
      if (!g.is_handle(h) || g.type(h) != dg::ObjectType::UIMenu) continue;
      const std::string callback = g.get(h, "Callback").text();
      if (callback.empty()) continue;
      bool elsewhere = false;
      for (const char* word : driven) {
        elsewhere |= callback.find(std::string("'") + word + "'") != std::string::npos;
      }
      if (elsewhere) continue;
      QAction* action = platform.action_of(h);
      check(action != nullptr, "menu item " + g.get(h, "Label").text() + " is in the menu bar");
      if (action) action->trigger();
      platform.drawnow(g);
      ++items;
    }
    check(items == 17,
          "the menus hold the table export, the check, four reading options, seven "
          "styling items, the landmark numbers, the plot copy and the two help texts");
    bool reported = false;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (w->objectName() != "Report" || !w->isVisible()) continue;
      reported |= w->windowTitle() == "Check file";
      if (w->windowTitle() == "Getting started") {
        auto* text = w->findChild<QPlainTextEdit*>();
        check(text && text->lineWrapMode() == QPlainTextEdit::WidgetWidth,
              "Getting started is wrapped to its window");
      }
      w->close();
    }
    check(reported, "the file check shows its report");
    check(platform.status_line() == "Plot copied to the clipboard",
          "the status line reports the copy");

    // The protocol designer on the sample still loaded: two distances and an
    // angle clicked on the mean shape with the pointer land on the landmarks
    // under it (that the lists give the datasets of lists written by hand is
    // checked headless).
    keys(Qt::Key_D, Qt::ControlModifier);
    const auto panels = g.find_by_tag("ProtocolDesigner");
    QWidget* panel = panels.empty() ? nullptr : platform.window_of(panels.front());
    check(panel && panel->isVisible() && panel->window() == window,
          "Ctrl+D opens the protocol designer in the main window");
    auto* canvas = static_cast<dg::FigureWindow*>(window)->canvas();
    const dg::Handle axes = g.get(figure, "CurrentAxes").scalar();
    // Where a landmark of the mean shape is on the screen, as the painter puts it.
    auto at = [&](int landmark) {
      const dg::Matrix mean = dg::actions::mean_configuration(session.handler.sample);
      const QRectF box = dg::axes_box(g, figure, axes);
      const auto lim = dg::shown_limits(g, axes, box.size());
      const double x = mean(0, 2 * landmark - 2), y = mean(0, 2 * landmark - 1);
      return QPointF(box.left() + (x - lim[0]) * box.width() / (lim[1] - lim[0]),
                     box.bottom() - (y - lim[2]) * box.height() / (lim[3] - lim[2]))
          .toPoint();
    };
    auto pick = [&](std::initializer_list<int> landmarks) {
      for (int landmark : landmarks) {
        QTest::mouseMove(canvas, at(landmark));
        QTest::mouseClick(canvas, Qt::LeftButton, Qt::NoModifier, at(landmark));
        platform.drawnow(g);
      }
    };
    // The lists kept from before are emptied first: a row picked in each
    // list, then "Clear list".
    for (const char* list : {"DesignPairs", "DesignTriples"}) {
      auto* rows = qobject_cast<QListWidget*>(platform.widget_of(g.find_by_tag(list).at(0)));
      if (rows) rows->setCurrentRow(0);
      click("DesignClear");
    }
    check(session.handler.tlengths.empty() && session.handler.tangles.empty(),
          "Clear list empties each list");
    click("DesignPair");
    pick({1, 5, 2, 8});
    click("DesignAngle");
    pick({1});
    QTest::mouseMove(canvas, at(4));
    // The ring follows once the events waiting are handled, however loaded the machine.
    for (int i = 0; i < 100 && g.find_by_tag("PickHover").empty(); ++i) QTest::qWait(20);
    platform.drawnow(g);
    check(g.find_by_tag("PickHover").size() == 1, "the landmark under the pointer is ringed");
    keys(Qt::Key_Escape);
    check(!session.designer.design.picking(), "Esc drops a half-made angle");
    click("DesignAngle");
    pick({1, 3, 6});
    keys(Qt::Key_Z, Qt::ControlModifier);
    check(session.handler.tangles.empty(), "Ctrl+Z takes the angle back");
    keys(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    check(session.handler.tlengths == dg::Matrix{{1, 1, 5}, {2, 2, 8}} &&
              session.handler.tangles == dg::Matrix{{1, 1, 3, 6}},
          "clicks on the mean shape made two pairs and a triple, and Ctrl+Shift+Z redid it");
    keys(Qt::Key_D, Qt::ControlModifier);
    check(g.find_by_tag("ProtocolDesigner").empty(), "Ctrl+D closes the designer");

    // The example once more, for the picture, in the styling Clear restores.
    click("Clear");
    click("GetTPSScale", examples + "/sample.tps");
    click("GetLengths", examples + "/pairs.txt");
    click("GetAngles", examples + "/triples.txt");
    click("PlotProtocol");
    click("ShowAngles");

    // Calculated distances never saved: Clear asks, Cancel keeps everything.
    click("CalcLengths");
    bool asked = false;
    answer_question(QMessageBox::Cancel, &asked);
    click("Clear");
    check(asked && session.handler.sample.specimens() == 18 && !session.handler.traddata.empty(),
          "Clear asks first about unsaved distances, and Cancel keeps them");

    // The saved plot is framed as the plot copy is: the same picture.
    auto menu_item = [&](const std::string& action, const std::string& answer = "") {
      QAction* item = platform.action_of(find(action));
      if (!item || !item->isEnabled()) return check(false, action + " is in the menus, enabled");
      if (!answer.empty()) platform.answer(answer);
      item->trigger();
      platform.drawnow(g);
    };
    menu_item("SavePlot", (out / "plot.png").string());
    menu_item("CopyBigImage");
    const QImage saved(QString::fromStdString((out / "plot.png").string()));
    const QImage copied_image = QGuiApplication::clipboard()->image();
    check(!saved.isNull() && saved.convertToFormat(QImage::Format_RGB32) ==
                                 copied_image.convertToFormat(QImage::Format_RGB32),
          "Save plot as... writes the picture the plot copy puts on the clipboard");
    if (!out_dir.empty()) copied_image.save(QString::fromStdString((out / "copied.png").string()));

    // The Analyses menu. The outlier screen opens beside the window; the
    // first specimen of its list is drawn over the consensus, left out (the
    // unsaved distances discarded when asked) and brought back.
    menu_item("OutlierPanel");
    const auto screens = g.find_by_tag("OutlierPanel");
    QWidget* screen_panel = screens.empty() ? nullptr : platform.window_of(screens.front());
    check(screen_panel && screen_panel->isVisible() && screen_panel->window() == window,
          "Outlying specimens opens its panel in the main window");
    const auto lists = g.find_by_tag("OutlierList");
    auto* listed =
        lists.empty() ? nullptr : qobject_cast<QListWidget*>(platform.widget_of(lists.front()));
    if (listed) listed->setCurrentRow(0);
    platform.drawnow(g);
    check(session.picture == dg::Picture::specimens && session.drawn_rows.size() == 1,
          "a specimen selected in the list is drawn over the consensus");
    if (!out_dir.empty()) {
      QTest::qWait(300);  // the docked panel laid out and painted
      const QRect frame = window->frameGeometry();
      window->screen()
          ->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height())
          .save(QString::fromStdString((out / "outliers.png").string()));
    }
    asked = false;
    answer_question(QMessageBox::Discard, &asked);
    click("OutlierLeaveOut");
    check(asked && session.handler.sample.specimens() == 17, "Leave out drops the specimen");
    click("OutlierUndo");
    check(session.handler.sample.specimens() == 18, "Undo leave-out brings it back");
    menu_item("OutlierPanel");
    // Replicates named by their images (lepomis_001 to _009 and _010 to
    // _018 share a first digit): the report, its tables and the replicates
    // furthest apart drawn.
    platform.answer_text("image:^lepomis_0*([0-9])");
    menu_item("MeasurementError");
    bool reported_error = false;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      reported_error |=
          w->objectName() == "Report" && w->isVisible() && w->windowTitle() == "Measurement error";
    }
    check(reported_error, "Measurement error... shows its report");
    menu_item("SaveMeasurementError", (out / "sample-repeatability.csv").string());
    check(fs::exists(out / "sample-repeatability.csv") &&
              fs::exists(out / "sample-replicate-distances.csv"),
          "the measurement error's two tables are saved");
    menu_item("ShowReplicates");
    check(session.picture == dg::Picture::specimens && session.drawn_rows.size() > 1,
          "the replicates furthest apart are drawn over the consensus");
    // Two groups by the images' first digit, and the principal components'
    // panel: its popups list the datasets and components, the scatter is
    // coloured by group, a component chosen is plotted.
    platform.answer_text("image:^lepomis_0*([0-9])");
    menu_item("Groups");
    menu_item("PcaPanel");
    const auto pca_panels = g.find_by_tag("PcaPanel");
    QWidget* pca_panel = pca_panels.empty() ? nullptr : platform.window_of(pca_panels.front());
    check(pca_panel && pca_panel->isVisible() && pca_panel->window() == window,
          "Principal components opens its panel in the main window");
    auto* datasets =
        qobject_cast<QComboBox*>(platform.widget_of(g.find_by_tag("PcaDataset").at(0)));
    check(datasets && datasets->count() == 8, "the panel offers the eight datasets");
    auto* y_axis = qobject_cast<QComboBox*>(platform.widget_of(g.find_by_tag("PcaY").at(0)));
    if (y_axis && y_axis->count() > 2) {
      y_axis->setCurrentIndex(2);
      emit y_axis->activated(2);
    }
    platform.drawnow(g);
    check(session.pca.y == 2 && g.find_by_tag("PcaPoints").size() == 9,
          "a component chosen is plotted, a line of points per group");
    if (!out_dir.empty()) {
      QTest::qWait(300);
      const QRect frame = window->frameGeometry();
      window->screen()
          ->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height())
          .save(QString::fromStdString((out / "pca.png").string()));
    }
    menu_item("PcaPanel");
    click("CalcLengths");  // distances unsaved again, for Quit to ask about
    check(platform.console_text().rfind("Wrote 6 tables and their manifest to ", 0) == 0 &&
              platform.console_text().find("rror") == std::string::npos,
          "no error reached the console: " + platform.console_text());

    QTimer::singleShot(400, [&, window] {
      if (!screenshot.empty()) {
        QRect frame = window->frameGeometry();
        QPixmap shot =
            window->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
        check(!shot.isNull() && shot.save(QString::fromStdString(screenshot)),
              "the screenshot was saved");
      }
      // The distances were never saved: Quit asks, and Discard quits.
      bool asked_to_quit = false;
      answer_question(QMessageBox::Discard, &asked_to_quit);
      click("Exit");
      check(asked_to_quit, "Quit asks first about unsaved distances");
    });
  });
  QTimer::singleShot(60000, [&] {
    check(false, "the window closed within 60 s");
    // A dialog still open is closed first, and the figures once its loop has ended.
    while (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    QTimer::singleShot(0, [&] {
      for (dg::Handle f : g.figures()) g.close(f);
    });
  });
  check(platform.exec() == 0, "the event loop ended with the last window");
  check(g.figures().empty(), "Exit closed the main window");
  if (out_dir.empty()) fs::remove_all(out);
  return failures == 0 ? 0 : 1;
}

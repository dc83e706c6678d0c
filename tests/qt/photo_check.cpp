// Digitises generated photos in the real window, as a user would: photos of
// dots at known pixels and a ruler of known length (PNG and TIFF), a folder
// of them opened with "New TPS from a folder of images...", each dot clicked
// on the canvas, the ruler measured, the scale carried to the next photo,
// the session closed and resumed where it stopped. With the published files
// at hand, a landmark of a copy of one is dragged in the specimen photos
// window and saved: exactly one line of the file changes.
//
//   qt_photo_check --out DIR [--real DIR]
//
// Writes digitise.png and photos.png (screenshots) into DIR. Exit status 0
// when every check passes, 1 when one fails, 77 without a display.
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "actions/dahand.hpp"
#include "actions/dahand_actions.hpp"
#include "actions/distangler.hpp"
#include "actions/run_callback.hpp"
#include "actions/session.hpp"
#include "pipeline/digitising.hpp"
#include "runtime/qt/axes_painter.hpp"
#include "runtime/qt/figure_window.hpp"
#include "runtime/qt/qt_platform.hpp"
#include "window_session.hpp"

namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 600, kHeight = 400;
// The dots of each photo, in pixels (column, row from the top), and the
// ruler of photo 1: 300 pixels standing for 30 mm.
const std::vector<std::vector<QPoint>> kDots = {{{100, 80}, {480, 120}, {300, 300}, {150, 250}},
                                                {{110, 90}, {470, 110}, {310, 290}, {160, 240}},
                                                {{120, 100}, {460, 100}, {320, 280}, {170, 230}}};
const QPoint kRuler[2] = {{150, 370}, {450, 370}};

void write_photo(const fs::path& path, const std::vector<QPoint>& dots, bool ruler) {
  QImage image(kWidth, kHeight, QImage::Format_RGB32);
  image.fill(QColor(235, 225, 200));
  QPainter painter(&image);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(30, 60, 160));
  for (const QPoint& dot : dots) painter.drawEllipse(QPointF(dot) + QPointF(0.5, 0.5), 4, 4);
  if (ruler) painter.fillRect(QRect(kRuler[0], kRuler[1]).adjusted(0, -1, 1, 1), Qt::black);
  painter.end();
  image.save(QString::fromStdString(path.string()));
}

std::string slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::stringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace

int main(int argc, char** argv) {
  std::string out_dir, real;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--out") out_dir = fs::absolute(argv[i + 1]).string();
    if (option == "--real") real = fs::absolute(argv[i + 1]).string();
  }
  if (out_dir.empty()) {
    std::cerr << "usage: qt_photo_check --out DIR [--real DIR]\n";
    return 1;
  }
  if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
    std::cerr << "qt_photo_check: no display\n";
    return 77;
  }
  const fs::path out(out_dir);
  fs::remove_all(out / "photos");
  fs::create_directories(out / "photos");

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

  write_photo(out / "photos" / "p1.png", kDots[0], true);
  write_photo(out / "photos" / "p2.tif", kDots[1], false);
  write_photo(out / "photos" / "p3.png", kDots[2], false);
  // A sample of four landmarks, whose mean shape guides the clicks.
  {
    std::ofstream guide(out / "guide.tps", std::ios::binary);
    for (const auto& dots : kDots) {
      guide << "LM=4\n";
      for (const QPoint& d : dots) guide << d.x() << " " << kHeight - d.y() << "\n";
    }
  }
  dg::distangler(session, {}, 1);

  QTimer::singleShot(200, [&] {
    auto screenshot = [&](QWidget* window, const fs::path& file) {
      // The window manager may still be placing a new window.
      QTest::qWait(500);
      platform.drawnow(g);
      const QRect frame = window->frameGeometry();
      const QPixmap shot =
          window->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
      check(!shot.isNull() && shot.save(QString::fromStdString(file.string())),
            "screenshot " + file.filename().string());
    };
    platform.answer((out / "guide.tps").string());
    dg::dahand(session, dg::Value("GetTPSData"));

    platform.answer((out / "photos").string() + "/");
    platform.answer_text("4");
    platform.answer((out / "photos" / "wings.tps").string());
    dg::dahand(session, dg::Value("NewTPSFromFolder"));
    const auto figures = g.find_by_tag("Digitiser");
    if (figures.empty()) {
      check(false, "the digitiser opens on the folder");
      return QApplication::exit(1);
    }
    const dg::Handle figure = figures.front();
    auto* window = static_cast<dg::FigureWindow*>(platform.window_of(figure));
    const dg::Handle axes = g.find_by_tag("DigitisePhoto").at(0);
    platform.drawnow(g);
    QTest::qWait(100);
    // Where a photo's pixel lies on the canvas, as the painter puts it: its
    // centre, x to the right and y up from the photo's bottom-left corner.
    auto at = [&](QPoint pixel) {
      const QRectF box = dg::axes_box(g, figure, axes);
      const auto lim = dg::shown_limits(g, axes, box.size());
      const double x = pixel.x() + 0.5, y = kHeight - pixel.y() - 0.5;
      return QPointF(box.left() + (x - lim[0]) * box.width() / (lim[1] - lim[0]),
                     box.bottom() - (y - lim[2]) * box.height() / (lim[3] - lim[2]))
          .toPoint();
    };
    auto* canvas = window->canvas();
    auto click_at = [&](QPoint pixel) {
      QTest::mouseMove(canvas, at(pixel));
      QTest::mouseClick(canvas, Qt::LeftButton, Qt::NoModifier, at(pixel));
      platform.drawnow(g);
    };
    auto button = [&](const char* tag) {
      auto* widget = platform.widget_of(g.find_by_tag(tag).at(0));
      QTest::mouseClick(widget, Qt::LeftButton);
      platform.drawnow(g);
    };

    // Photo 1: the ruler, then the four dots.
    platform.answer_text("30 mm");
    button("DigitiseRuler");
    // The data points the two clicks land on, which the scale is measured by.
    std::array<double, 2> ends[2];
    for (int e = 0; e < 2; ++e) {
      const QPoint p = at(kRuler[e]);
      ends[e] = dg::data_point(g, axes, window->plot_box(axes), p.x(), p.y());
      click_at(kRuler[e]);
    }
    const double clicked =
        std::sqrt(std::pow(ends[1][0] - ends[0][0], 2) + std::pow(ends[1][1] - ends[0][1], 2));
    button("DigitiseCarry");
    for (const QPoint& dot : kDots[0]) click_at(dot);
    QTest::keyClick(window, Qt::Key_PageDown);
    platform.drawnow(g);
    // Photo 2, a TIFF: two dots, then the guide shows where the third goes.
    click_at(kDots[1][0]);
    click_at(kDots[1][1]);
    QTest::mouseMove(canvas, at(kDots[1][2]) + QPoint(30, -20));
    QTest::qWait(300);
    platform.drawnow(g);
    bool guided = false;
    for (dg::Handle h : g.children(axes)) guided |= g.tag_of(h) == "Guide";
    check(guided, "the loaded sample's mean shape guides the next landmark");
    screenshot(window, out / "digitise.png");
    click_at(kDots[1][2]);
    click_at(kDots[1][3]);
    dg::dahand(session, dg::Value("DigitiseClose"));

    const dg::DigitisingSession written =
        dg::read_digitising((out / "photos" / "wings.tps").string());
    check(written.photos.size() == 3 && written.first_unfinished() == 2,
          "the file holds three photos, two digitised");
    double worst = 0;
    for (std::size_t p = 0; p < 2 && p < written.photos.size(); ++p) {
      const auto& xy = written.photos[p].xy;
      for (std::size_t j = 0; j < 4 && 2 * j + 1 < xy.size(); ++j) {
        const double x = kDots[p][j].x() + 0.5, y = kHeight - kDots[p][j].y() - 0.5;
        worst = std::max({worst, std::abs(xy[2 * j] - x), std::abs(xy[2 * j + 1] - y)});
      }
      check(xy.size() == 8, "photo " + std::to_string(p + 1) + " has four landmarks");
    }
    check(worst <= 0.5,
          "every landmark within half a pixel of its dot (worst " + std::to_string(worst) + ")");
    // The ruler's scale is its length over the distance clicked, which lies
    // within a pixel of the ruler drawn.
    const auto& first = written.photos.at(0);
    check(first.scale && written.photos.at(1).scale == first.scale,
          "the ruler's scale is carried to the next photo");
    check(first.scale && std::abs(*first.scale / (30 / clicked) - 1) < 1e-6 &&
              std::abs(clicked - 300) < 1,
          "SCALE= is 30 mm over the " + std::to_string(clicked) + " pixels clicked");

    // Resumed: at the first photo without landmarks.
    platform.answer((out / "photos" / "wings.tps").string());
    dg::dahand(session, dg::Value("ResumeDigitising"));
    check(session.digitiser.photo == 2, "resuming goes on at photo 3");
    dg::dahand(session, dg::Value("DigitiseClose"));

    // A landmark of a copy of a published file dragged and saved.
    const fs::path lizard = fs::path(real) / "lizard-maxilla-62spec-k11-neg1missing-winpath.tps";
    if (!real.empty() && fs::exists(lizard)) {
      // A fresh copy, writable, and no log of an earlier run beside its correction.
      fs::remove(out / "lizard.tps");
      fs::remove(out / "lizard-corrected.edits.csv");
      fs::copy_file(lizard, out / "lizard.tps");
      fs::permissions(out / "lizard.tps", fs::perms::owner_write, fs::perm_options::add);
      session.tps_options.missing = true;
      session.tps_options.missing_code = -1;
      platform.answer((out / "lizard.tps").string());
      dg::dahand(session, dg::Value("GetTPSData"));
      dg::dahand(session, dg::Value("SpecimenBrowser"));
      const auto browser = g.find_by_tag("SpecimenBrowser");
      check(!browser.empty(), "the specimen photos window opens");
      if (!browser.empty()) {
        auto* photos = static_cast<dg::FigureWindow*>(platform.window_of(browser.front()));
        const dg::Handle view = g.find_by_tag("BrowserPhoto").at(0);
        platform.drawnow(g);
        QTest::qWait(100);
        dg::Handle mark = -1;
        for (dg::Handle h : g.children(view)) {
          if (g.tag_of(h) == "Landmark" && g.get(h, "UserData").scalar() == 3) mark = h;
        }
        check(mark >= 0, "landmark 3 of the first specimen is drawn");
        if (mark >= 0) {
          const QRectF pbox = dg::axes_box(g, browser.front(), view);
          const auto lim = dg::shown_limits(g, view, pbox.size());
          const double x = g.get(mark, "XData").scalar(), y = g.get(mark, "YData").scalar();
          const QPoint from =
              QPointF(pbox.left() + (x - lim[0]) * pbox.width() / (lim[1] - lim[0]),
                      pbox.bottom() - (y - lim[2]) * pbox.height() / (lim[3] - lim[2]))
                  .toPoint();
          auto* pcanvas = photos->canvas();
          QTest::mousePress(pcanvas, Qt::LeftButton, Qt::NoModifier, from);
          for (int step = 1; step <= 5; ++step) {
            QTest::mouseMove(pcanvas, from + QPoint(4 * step, 3 * step));
          }
          QTest::mouseRelease(pcanvas, Qt::LeftButton, Qt::NoModifier, from + QPoint(20, 15));
          platform.drawnow(g);
          check(session.browser.applied == 1, "the drag made one correction");
          platform.answer((out / "lizard-corrected.tps").string());
          dg::dahand(session, dg::Value("BrowserSave"));
          const auto before = lines_of(slurp(out / "lizard.tps"));
          const auto after = lines_of(slurp(out / "lizard-corrected.tps"));
          std::size_t differ = 0;
          for (std::size_t i = 0; i < before.size() && i < after.size(); ++i) {
            differ += before[i] != after[i];
          }
          check(before.size() == after.size() && differ == 1,
                "the corrected file differs from the original in one line (" +
                    std::to_string(differ) + ")");
          // A specimen with landmarks missing, for the screenshot.
          for (std::size_t row = 0; row < session.browser.specimens.images.size(); ++row) {
            const auto xy = session.browser.specimens.coordinates.row(row);
            if (std::any_of(xy.begin(), xy.end(), [](double v) { return std::isnan(v); })) {
              const auto place =
                  std::find(session.browser.order.begin(), session.browser.order.end(), row);
              g.set(g.find_by_tag("BrowserList").at(0), "Value",
                    dg::Value(static_cast<double>(place - session.browser.order.begin() + 1)));
              dg::dahand(session, dg::Value("BrowserSelect"));
              break;
            }
          }
          platform.drawnow(g);
          QTest::qWait(200);
          screenshot(photos, out / "photos.png");
        }
      }
    } else {
      std::cout << "skipped: the correction of a published file (no --real folder)\n";
    }
    platform.answer_unsaved(dg::Platform::Unsaved::discard);
    for (dg::Handle f : g.figures()) g.close(f);
  });
  QTimer::singleShot(60000, [&] {
    check(false, "the check ended within 60 s");
    while (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    QTimer::singleShot(0, [&] {
      for (dg::Handle f : g.figures()) g.close(f);
    });
  });
  platform.exec();
  return failures == 0 ? 0 : 1;
}

// Times the window with a drawn sample, as a user meets it: one single-point
// "ko" line per landmark, as the handler draws a loaded sample, then resizing,
// the styling menu, Clear and Exit.
//
//   paint_bench [--specimens N] [--landmarks K] [--runs R] [--size WxH]
//
// On Qt's offscreen platform unless QT_QPA_PLATFORM says otherwise. Each run
// opens a figure of W x H pixels with one axes, then times:
//   draw         showshape of the N x K sample into the axes (tree only)
//   first paint  drawnow, then the canvas grabbed
//   repaint      the canvas repainted and grabbed with the tree unchanged
//   styling      each menu command on the axes, then drawnow and a grab
//   resize       the window dragged to a canvas 1/6 smaller, then 1/6 larger
//                than the figure: each time until the canvas has its new
//                size, then drawnow and the canvas grabbed
//   clear        clear_axes, then drawnow and a grab
//   exit         the sample drawn again (untimed), then close of the figure
//                until its window is destroyed
// A grab paints the canvas into a picture, so no timed step ends before the
// canvas shows its new drawing. The first run also times the figure painted
// at twice its pixels and the copy to the clipboard. Resident memory (VmRSS) is
// read before the draw, after the first paint (at once, and once the window
// has been idle for a second) and after Clear.
// Defaults: 10,000 specimens of 50 landmarks, 5 runs, an 820 x 560 figure.
#include <QApplication>
#include <QEventLoop>
#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "display/incrementlinethickness.hpp"
#include "display/incrementsymbolsize.hpp"
#include "display/setlinethickness.hpp"
#include "display/setsymbolbw.hpp"
#include "display/setsymbolfill.hpp"
#include "display/showshape.hpp"
#include "runtime/qt/figure_export.hpp"
#include "runtime/qt/figure_window.hpp"
#include "runtime/qt/qt_platform.hpp"

namespace {

using Clock = std::chrono::steady_clock;

double ms_since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
  if (values.empty()) return std::nan("");
  std::sort(values.begin(), values.end());
  std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

[[noreturn]] void fail(const std::string& message) {
  std::fprintf(stderr, "paint_bench: %s\n", message.c_str());
  std::exit(1);
}

// A superimposed-looking sample: K landmarks on an ellipse, each specimen jittered.
dg::Matrix sample(std::size_t specimens, std::size_t landmarks) {
  dg::Matrix m(specimens, 2 * landmarks + 1);
  std::mt19937 random(7);
  std::normal_distribution<double> noise(0, 0.01);
  for (std::size_t i = 0; i < specimens; ++i) {
    for (std::size_t j = 0; j < landmarks; ++j) {
      double angle = 2 * 3.141592653589793 * static_cast<double>(j) / landmarks;
      m(i, 2 * j) = 0.4 * std::cos(angle) + noise(random);
      m(i, 2 * j + 1) = 0.2 * std::sin(angle) + noise(random);
    }
    m(i, 2 * landmarks) = 1;
  }
  return m;
}

// Resident memory in bytes from /proc/self/status ("VmRSS", "VmHWM"); -1 where
// the system has no such file.
double status_bytes(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const std::string key = std::string(field) + ":";
  while (std::getline(status, line)) {
    if (line.compare(0, key.size(), key) == 0) return std::atof(line.c_str() + key.size()) * 1024;
  }
  return -1;
}

// Hands memory freed by earlier runs back to the system, so that the growth
// of a run is not hidden by reuse of what the previous one left.
void trim_heap() {
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
}

// Pixels dark enough to be the black markers, axes box or labels.
long dark_pixels(const QPixmap& picture) {
  QImage image = picture.toImage().convertToFormat(QImage::Format_RGB32);
  long dark = 0;
  for (int y = 0; y < image.height(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x) dark += qGray(row[x]) < 80;
  }
  return dark;
}

// A whole number of at least 1 given to `option`.
std::size_t count(const std::string& option, const std::string& value) {
  char* end = nullptr;
  unsigned long long n = std::strtoull(value.c_str(), &end, 10);
  if (value.empty() || value[0] == '-' || *end != '\0' || n == 0 || n > 100000000) {
    fail(option + " takes a whole number from 1 to 100000000, not \"" + value + "\"");
  }
  return static_cast<std::size_t>(n);
}

struct Bench {
  dg::QtPlatform& platform;
  dg::Graphics& graphics;
  int width, height;
  dg::Handle figure = 0, axes = 0;

  dg::FigureWindow* window() {
    auto* w = static_cast<dg::FigureWindow*>(platform.window_of(figure));
    if (!w) fail("figure " + std::to_string(figure) + " has no window");
    return w;
  }

  void open() {
    figure = graphics.new_figure();
    graphics.set(figure, "Position",
                 dg::Value(dg::Matrix{{60, 60, double(width), double(height)}}));
    axes = graphics.new_axes(figure);
    platform.drawnow(graphics);
    if (!window()->isVisible()) fail("the figure's window is not shown");
  }

  // drawnow, then the canvas painted into a picture: what the user sees.
  QPixmap paint() {
    platform.drawnow(graphics);
    return window()->canvas()->grab();
  }

  // Resizes the window as a user does, so that its canvas gets `want`
  // pixels, waits for the canvas to follow, then paints.
  QPixmap resize_to(QSize want) {
    dg::FigureWindow* w = window();
    w->resize(w->size() + want - w->canvas()->size());
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (w->canvas()->size() != want && Clock::now() < deadline) {
      QApplication::processEvents();
    }
    return paint();
  }

  // Fails unless the picture and the figure's "Position" both have the size.
  void check_size(const QPixmap& shown, QSize want) {
    auto text = [](double w, double h) {
      return std::to_string(std::lround(w)) + "x" + std::to_string(std::lround(h));
    };
    QSize got = shown.deviceIndependentSize().toSize();
    if (got != want) {
      fail("after resizing, the canvas shows " + text(got.width(), got.height()) + " pixels, not " +
           text(want.width(), want.height()));
    }
    // The bench leaves the figure's Units at pixels.
    const dg::Matrix position = graphics.get(figure, "Position").matrix();
    if (std::lround(position(0, 2)) != want.width() ||
        std::lround(position(0, 3)) != want.height()) {
      fail("after resizing to " + text(want.width(), want.height()) +
           " pixels, the figure's Position says " + text(position(0, 2), position(0, 3)));
    }
  }

  // Closes the figure and waits until its window is destroyed.
  void close() {
    QPointer<QWidget> w = window();
    graphics.close(figure);
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (w && Clock::now() < deadline) {
      QApplication::processEvents();
      QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    if (w) fail("the window of a closed figure was not destroyed within 10 s");
    if (graphics.is_handle(figure)) fail("figure " + std::to_string(figure) + " outlived close");
  }
};

struct Step {
  const char* name;
  std::function<void(dg::Graphics&, dg::Handle)> command;
  std::vector<double> ms;
};

void print_row(const char* name, const std::vector<double>& ms, double target_ms) {
  double m = median(ms);
  if (target_ms > 0) {
    std::printf("  %-40s %10.1f   < %5.0f  %s\n", name, m, target_ms,
                m < target_ms ? "ok" : "OVER");
  } else {
    std::printf("  %-40s %10.1f\n", name, m);
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t specimens = 10000, landmarks = 50;
  int runs = 5, width = 820, height = 560;
  for (int i = 1; i < argc; i += 2) {
    const std::string option = argv[i];
    if (i + 1 == argc) fail(option + " needs a value");
    const std::string value = argv[i + 1];
    if (option == "--specimens") {
      specimens = count(option, value);
    } else if (option == "--landmarks") {
      landmarks = count(option, value);
    } else if (option == "--runs") {
      runs = static_cast<int>(std::min<std::size_t>(count(option, value), 1000));
    } else if (option == "--size") {
      char end = 0;
      if (std::sscanf(value.c_str(), "%dx%d%c", &width, &height, &end) != 2 || width < 60 ||
          height < 60) {
        fail("--size takes WxH of at least 60x60 pixels, such as 1200x800, not \"" + value + "\"");
      }
    } else {
      fail("unknown option \"" + option +
           "\"; use --specimens N, --landmarks K, --runs R, --size WxH");
    }
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  dg::QtPlatform platform;
  dg::Graphics graphics(platform);
  platform.attach(graphics);
  Bench bench{platform, graphics, width, height};
  const dg::Matrix data = sample(specimens, landmarks);
  const double points = double(specimens) * double(landmarks);

  std::vector<double> draw, first, both, unchanged, grab_only, resize, clear, exits;
  std::vector<double> bytes_per_point, busy_per_point, rss_drawn, rss_cleared_growth;
  double picture2x = 0, clipboard = 0, rss_before_first = 0;
  QSize picture_size;
  // The styling menu's commands with the menu's arguments, each on the axes.
  std::vector<Step> styling{
      {"incrementsymbolsize +1", [](auto& g, auto a) { dg::incrementsymbolsize(g, a, 1); }, {}},
      {"incrementlinethickness +0.5",
       [](auto& g, auto a) { dg::incrementlinethickness(g, a, 0.5); },
       {}},
      {"setlinethickness 0.5", [](auto& g, auto a) { dg::setlinethickness(g, a, 0.5); }, {}},
      {"setsymbolfill 1", [](auto& g, auto a) { dg::setsymbolfill(g, a, 1); }, {}},
      {"setsymbolbw", [](auto& g, auto a) { dg::setsymbolbw(g, a); }, {}},
  };

  const int dw = std::max(1, width / 6), dh = std::max(1, height / 6);
  for (int run = 0; run < runs; ++run) {
    bench.open();
    const long dark_empty = dark_pixels(bench.window()->canvas()->grab());
    trim_heap();
    const double rss_before = status_bytes("VmRSS");
    if (run == 0) rss_before_first = rss_before;

    auto start = Clock::now();
    dg::showshape(graphics, data, "ko");
    draw.push_back(ms_since(start));
    start = Clock::now();
    QPixmap shown = bench.paint();
    first.push_back(ms_since(start));
    both.push_back(draw.back() + first.back());
    // Measured once the window is idle: the marker lists that a drawing keeps
    // for the next (a resize, a restyle) go after a second without drawing.
    const double rss_painted = status_bytes("VmRSS");
    for (auto until = Clock::now() + std::chrono::milliseconds(1100); Clock::now() < until;) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    const double rss_after = status_bytes("VmRSS");
    if (rss_painted >= 0 && points > 0)
      busy_per_point.push_back((rss_painted - rss_before) / points);
    if (rss_before >= 0 && points > 0) bytes_per_point.push_back((rss_after - rss_before) / points);
    rss_drawn.push_back(rss_after);
    const long dark_drawn = dark_pixels(shown);
    if (points > 0 && dark_drawn <= dark_empty) {
      fail("the first paint does not show the sample (" + std::to_string(dark_drawn) +
           " dark pixels, " + std::to_string(dark_empty) + " before the draw)");
    }

    dg::FigureWindow* window = bench.window();
    start = Clock::now();
    window->canvas()->repaint();
    unchanged.push_back(ms_since(start));
    start = Clock::now();
    shown = window->canvas()->grab();
    grab_only.push_back(ms_since(start));

    for (Step& step : styling) {
      start = Clock::now();
      step.command(graphics, bench.axes);
      bench.paint();
      step.ms.push_back(ms_since(start));
    }

    if (run == 0) {
      start = Clock::now();
      QImage big = dg::figure_image(graphics, bench.figure, 2);
      picture2x = ms_since(start);
      picture_size = big.size();
      start = Clock::now();
      dg::copy_figure(graphics, bench.figure);
      clipboard = ms_since(start);
    }

    // Smaller, then larger than the opening size: both differ from it, as a
    // window dragged to a new size does.
    for (QSize want : {QSize(width - dw, height - dh), QSize(width + dw, height + dh)}) {
      start = Clock::now();
      shown = bench.resize_to(want);
      resize.push_back(ms_since(start));
      bench.check_size(shown, want);
    }

    start = Clock::now();
    graphics.clear_axes(bench.axes);
    shown = bench.paint();
    clear.push_back(ms_since(start));
    if (!graphics.children(bench.axes).empty()) fail("clear_axes left children in the axes");
    if (points > 0 && dark_pixels(shown) >= dark_drawn) {
      fail("after Clear the canvas still shows the sample");
    }
    trim_heap();
    if (rss_before >= 0) rss_cleared_growth.push_back(status_bytes("VmRSS") - rss_before);

    dg::showshape(graphics, data, "ko");
    bench.paint();
    start = Clock::now();
    bench.close();
    exits.push_back(ms_since(start));
    std::fprintf(stderr, "run %d of %d done\n", run + 1, runs);
  }

  std::printf(
      "sample: %zu specimens x %zu landmarks = %.0f line objects, figure %dx%d, %s, %d runs\n",
      specimens, landmarks, points, width, height, qPrintable(QGuiApplication::platformName()),
      runs);
  std::printf("  %-40s %10s   %7s\n", "step", "median ms", "target");
  print_row("draw (showshape, tree)", draw, 0);
  print_row("first paint (drawnow + grab)", first, 0);
  print_row("draw + first paint", both, 1000);
  print_row("repaint, unchanged", unchanged, 0);
  print_row("canvas grab, unchanged", grab_only, 0);
  std::printf("  %-40s %10.1f   < %5d  %s\n",
              ("resize to " + std::to_string(width - dw) + "x" + std::to_string(height - dh) +
               ", " + std::to_string(width + dw) + "x" + std::to_string(height + dh))
                  .c_str(),
              median(resize), 150, median(resize) < 150 ? "ok" : "OVER");
  for (const Step& step : styling) {
    print_row((std::string(step.name) + " + repaint").c_str(), step.ms, 300);
  }
  print_row("Clear (clear_axes + repaint)", clear, 100);
  print_row("Exit (close, window destroyed)", exits, 100);
  std::printf("  %-40s %10.1f   first run, %dx%d pixels\n", "picture at 2x", picture2x,
              picture_size.width(), picture_size.height());
  std::printf("  %-40s %10.1f   first run\n", "clipboard (SVG + bitmap)", clipboard);
  if (bytes_per_point.empty()) {
    std::printf("memory: not measured (no /proc/self/status)\n");
    return 0;
  }
  const double mb = 1024.0 * 1024.0;
  double per_point = median(bytes_per_point);
  std::printf(
      "memory per point (VmRSS growth of draw + first paint, idle / points) %8.1f B   < 48 B  "
      "%s\n",
      per_point, per_point < 48 ? "ok" : "OVER");
  std::printf("  right after the first paint, with the marker lists kept: %.1f B a point\n",
              median(busy_per_point));
  std::printf("  runs:");
  for (double b : bytes_per_point) std::printf(" %.1f", b);
  std::printf(" B; VmRSS before the first draw %.0f MB, drawn and painted %.0f MB (median)\n",
              rss_before_first / mb, median(rss_drawn) / mb);
  std::printf("  after Clear: VmRSS %+.0f MB over before the draw (median)\n",
              median(rss_cleared_growth) / mb);
  std::printf("  peak VmRSS (VmHWM) %.0f MB\n", status_bytes("VmHWM") / mb);
  return 0;
}

// Times stepping through specimens in the specimen photos window, as a user
// does: photos of 12 megapixels (4000 x 3000 JPEG, made here with noise so
// that they decode like camera pictures), a TPS file naming them, the window
// opened on it, then Page Down from one specimen to the next after a pause
// in which the user looks at the photo (and the next one is decoded ahead).
//
//   photo_bench [--photos N] [--pause MS] [--size WxH] [--folder DIR]
//
// Each step is timed from the key to the canvas painted with the new photo
// (drawnow, then the canvas grabbed). Reports every step, the median and the
// slowest; also one step without the pause (no time to decode ahead) and
// the decode of one photo alone. Defaults: 8 photos, 600 ms, the window's
// own size, photos made in a temporary folder (kept with --folder).
#include <QApplication>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QStandardPaths>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "actions/dahand.hpp"
#include "actions/distangler.hpp"
#include "actions/run_callback.hpp"
#include "actions/session.hpp"
#include "runtime/qt/figure_window.hpp"
#include "runtime/qt/qt_platform.hpp"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double ms_since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void make_photo(const fs::path& path, unsigned seed) {
  QImage image(4000, 3000, QImage::Format_RGB32);
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> noise(-24, 24);
  for (int y = 0; y < image.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      const int base = 120 + (x * 60) / image.width() + (y * 40) / image.height();
      row[x] = qRgb(std::clamp(base + noise(random), 0, 255),
                    std::clamp(base - 20 + noise(random), 0, 255),
                    std::clamp(base - 50 + noise(random), 0, 255));
    }
  }
  image.save(QString::fromStdString(path.string()), "JPEG", 90);
}

}  // namespace

int main(int argc, char** argv) {
  int photos = 8, pause = 600;
  std::string folder;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--photos") photos = std::max(3, std::atoi(argv[i + 1]));
    if (option == "--pause") pause = std::atoi(argv[i + 1]);
    if (option == "--folder") folder = argv[i + 1];
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QStandardPaths::setTestModeEnabled(true);
  const fs::path dir =
      folder.empty() ? fs::temp_directory_path() / "distangler_photo_bench" : fs::path(folder);
  fs::create_directories(dir);
  std::ofstream tps(dir / "photos.tps", std::ios::binary);
  for (int p = 0; p < photos; ++p) {
    const std::string name = "p" + std::to_string(p) + ".jpg";
    if (!fs::exists(dir / name)) make_photo(dir / name, static_cast<unsigned>(p));
    tps << "LM=3\n"
        << 400 + p << " 500\n3200 900\n2000 2600\nIMAGE=" << name << "\nID=p" << p << "\n";
  }
  tps.close();
  {
    const auto start = Clock::now();
    QImageReader reader(QString::fromStdString((dir / "p0.jpg").string()));
    const QImage one = reader.read();
    std::printf("decode of one photo alone: %.0f ms (%dx%d)\n", ms_since(start), one.width(),
                one.height());
  }

  dg::QtPlatform platform;
  dg::Session session(platform);
  dg::Graphics& g = session.graphics;
  platform.attach(g);
  platform.set_callback_runner([&session](dg::Handle object, const std::string& text) {
    dg::run_callback(session, object, text);
  });
  dg::distangler(session, {}, 1);
  platform.answer((dir / "photos.tps").string());
  dg::dahand(session, dg::Value("GetTPSData"));
  dg::dahand(session, dg::Value("SpecimenBrowser"));
  const auto browser = g.find_by_tag("SpecimenBrowser");
  if (browser.empty()) {
    std::fprintf(stderr, "photo_bench: the specimen photos window did not open\n");
    return 1;
  }
  auto* window = static_cast<dg::FigureWindow*>(platform.window_of(browser.front()));
  auto step = [&] {
    const auto start = Clock::now();
    g.set(browser.front(), "CurrentKey", dg::Value("pagedown"));
    dg::dahand(session, dg::Value("BrowserKey"));
    platform.drawnow(g);
    window->canvas()->grab();
    return ms_since(start);
  };
  g.set(g.find_by_tag("BrowserList").at(0), "Value", dg::Value(1.0));
  dg::dahand(session, dg::Value("BrowserSelect"));
  platform.drawnow(g);
  window->canvas()->grab();
  std::vector<double> times;
  for (int p = 1; p + 1 < photos; ++p) {
    QTest::qWait(pause);
    times.push_back(step());
    std::printf("step to photo %d: %.0f ms\n", p + 1, times.back());
  }
  const double unpaused = step();
  std::printf("step without a pause: %.0f ms\n", unpaused);
  std::sort(times.begin(), times.end());
  std::printf("after a %d ms pause: median %.0f ms, slowest %.0f ms over %zu steps\n", pause,
              times[times.size() / 2], times.back(), times.size());
  for (dg::Handle f : g.figures()) g.close(f);
  if (folder.empty()) fs::remove_all(dir);
  return 0;
}

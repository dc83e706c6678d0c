// The distangler program. Without arguments it opens the main window; with
// arguments the first names a function callable by name, which is called
// through the main window's dispatcher with the other arguments as texts,
// and the event loop then runs while a figure is open. Without a display the
// window cannot open: the program says so in one line, but a call by name
// still runs, without a window. --help and --version answer without a
// display; --open [FILE...] opens the window with the files loaded, as if
// dropped on it (the desktop entry's way of opening a TPS file).
#include <QApplication>
#include <QIcon>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "actions/dahand.hpp"
#include "actions/distangler.hpp"
#include "actions/run_callback.hpp"
#include "actions/session.hpp"
#include "program_text.hpp"
#include "runtime/array/error.hpp"
#include "runtime/graphics/headless_platform.hpp"
#include "runtime/qt/qt_platform.hpp"

namespace {

constexpr const char* kNoDisplay =
    "distangler: no display is available, so the window cannot open; run the actions without a "
    "window with distangler-batch (see distangler-batch --help).\n";

// The platforms Qt may try: those of the display variables that are set,
// then offscreen, so that a display that cannot be reached is reported by
// this program instead of ending it inside Qt. Empty when no display is set.
QByteArray platform_list() {
  QByteArrayList list;
  if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) list << "wayland";
  if (!qEnvironmentVariableIsEmpty("DISPLAY")) list << "xcb";
  if (list.isEmpty()) return {};
  list << "offscreen";
  return list.join(';');
}

// Qt's start-up messages about displays it cannot reach are replaced by ours.
void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

int call_headless(int argc, char** argv) {
  dg::HeadlessPlatform platform(&std::cout);
  dg::Session session(platform);
  dg::distangler(session, dg::text_arguments(argc - 1, argv + 1), 0);
  return 0;
}

}  // namespace

static int run(int argc, char** argv) {
  const std::string_view first = argc > 1 ? argv[1] : "";
  if (first == "--help") {
    std::cout << dg::program_help();
    return 0;
  }
  if (first == "--version") {
    std::cout << dg::program_version();
    return 0;
  }
  // The files to open, absolute, as the recent files keep them.
  std::vector<std::string> open;
  const bool opening = first == "--open";
  if (opening) {
    for (int i = 2; i < argc; ++i) open.push_back(std::filesystem::absolute(argv[i]).string());
  }
  const bool call = argc > 1 && !opening;
  // A platform the user chose (for instance "offscreen" in tests) is used as it is.
  const bool chosen = !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
  if (!chosen) {
    QByteArray platforms = platform_list();
    if (platforms.isEmpty()) {
      if (call) return call_headless(argc, argv);
      std::cerr << kNoDisplay;
      return 2;
    }
    qputenv("QT_QPA_PLATFORM", platforms);
  }
  QtMessageHandler previous = qInstallMessageHandler(quiet);
  QApplication app(argc, argv);
  qInstallMessageHandler(previous);
  // The recent files and other settings are kept under this name.
  QCoreApplication::setOrganizationName("Distangler");
  QCoreApplication::setApplicationName("Distangler");
  QGuiApplication::setWindowIcon(QIcon(":/distangler.svg"));
  // Lets a Wayland desktop match the window to its entry and icon.
  QGuiApplication::setDesktopFileName("distangler");
  if (!chosen && QGuiApplication::platformName() == "offscreen") {
    if (call) return call_headless(argc, argv);
    std::cerr << kNoDisplay;
    return 2;
  }

  dg::QtPlatform platform;
  return dg::run_window(platform, opening ? 0 : argc - 1, argv + 1, opening, open);
}

int main(int argc, char** argv) {
  return dg::run_program("distangler", [&] { return run(argc, argv); });
}

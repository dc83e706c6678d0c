// Opens a real window on the display: a figure made here with the controls
// and menus the handler needs, the example sample and its protocol drawn by
// the handler's own actions (dialogs answered by script). It then clicks a
// control through the event loop, checks that the callback reached the
// runner with its object and text and that showing the window kept the
// figure's place and size, saves a picture of the window as the screen shows
// it, closes the window and checks that the event loop ended.
//
//   qt_window_check --examples DIR [--screenshot OUT.png]
//
// Exit status 0 when every check passes, 1 when one fails, 77 without a display.
#include <QAbstractButton>
#include <QApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "actions/dahand.hpp"
#include "actions/session.hpp"
#include "runtime/qt/qt_platform.hpp"

namespace {

dg::Value row(std::initializer_list<double> values) {
  return dg::Value(dg::Matrix::row_vector(std::vector<double>(values)));
}

struct Window {
  dg::Handle figure = 0;
  dg::Handle calculate = 0;
};

// A window laid out like the main window: controls on the left, the plot on the right.
Window build(dg::Graphics& g) {
  Window w;
  w.figure = g.new_figure();
  g.set(w.figure, "Name", dg::Value("Distangler"));
  g.set(w.figure, "NumberTitle", dg::Value("off"));
  g.set(w.figure, "Position", row({60, 60, 820, 560}));
  auto control = [&](const char* style, const char* tag, dg::Value string,
                     std::initializer_list<double> position, const char* callback = "") {
    dg::Handle h = g.new_uicontrol(w.figure);
    g.set(h, "Style", dg::Value(style));
    g.set(h, "Tag", dg::Value(tag));
    g.set(h, "String", string);
    g.set(h, "Position", row(position));
    g.set(h, "Callback", dg::Value(callback));
    return h;
  };
  control("pushbutton", "Load", dg::Value("Load TPS sample"), {16, 500, 200, 30},
          "distangler('dahand','GetTPSScale')");
  control("text", "DataBox", dg::Value(""), {16, 420, 200, 70});
  control("pushbutton", "GetPairs", dg::Value("Load pair list"), {16, 380, 200, 30},
          "distangler('dahand','GetLengths')");
  control("text", "LengthBox", dg::Value(""), {16, 320, 200, 50});
  w.calculate = control("pushbutton", "Calc", dg::Value("Calculate distances"), {16, 280, 200, 30},
                        "distangler('dahand','CalcLengths')");
  control("popupmenu", "Units", dg::Value::text_cell({"Radians", "Degrees"}), {16, 240, 200, 28});
  control("checkbox", "Log", dg::Value("Log-transform distances"), {16, 205, 200, 26});
  control("pushbutton", "Save", dg::Value("Save dataset"), {16, 165, 200, 30},
          "distangler('dahand','SaveLengths')");
  dg::Handle axes = g.new_axes(w.figure);
  g.set(axes, "Position", row({290, 50, 510, 490}));
  for (auto [label, items] :
       {std::pair{"&File", std::vector<const char*>{"Load TPS sample", "Exit"}},
        std::pair{"&Plot", std::vector<const char*>{"Fill markers", "Copy plot"}}}) {
    dg::Handle menu = g.new_uimenu(w.figure);
    g.set(menu, "Label", dg::Value(label));
    for (const char* item : items) {
      dg::Handle h = g.new_uimenu(menu);
      g.set(h, "Label", dg::Value(item));
    }
  }
  return w;
}

}  // namespace

int main(int argc, char** argv) {
  std::string examples, screenshot;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string option = argv[i];
    // Absolute, since loading a file moves the current folder to the file's.
    if (option == "--examples") examples = std::filesystem::absolute(argv[i + 1]).string();
    if (option == "--screenshot") screenshot = argv[i + 1];
  }
  if (examples.empty()) {
    std::cerr << "usage: qt_window_check --examples DIR [--screenshot OUT.png]\n";
    return 1;
  }
  if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
    std::cerr << "qt_window_check: no display\n";
    return 77;
  }
  QApplication app(argc, argv);
  dg::QtPlatform platform;
  dg::Session session(platform);
  platform.attach(session.graphics);
  std::vector<std::pair<dg::Handle, std::string>> calls;
  platform.set_callback_runner([&](dg::Handle object, const std::string& text) {
    calls.emplace_back(object, text);
    session.print("callback: " + text + "\n");
  });

  Window w = build(session.graphics);
  for (auto [file, action] : {std::pair{"sample.tps", "GetTPSScale"},
                              {"pairs.txt", "GetLengths"},
                              {"triples.txt", "GetAngles"}}) {
    platform.answer(examples + "/" + file);
    dg::dahand(session, dg::Value(action));
  }

  int failures = 0;
  auto check = [&](bool ok, const char* what) {
    std::cout << (ok ? "ok: " : "FAILED: ") << what << "\n";
    failures += ok ? 0 : 1;
  };
  const auto placed = session.graphics.pixel_position(w.figure);
  QWidget* window = platform.window_of(w.figure);
  check(window && window->isVisible(), "the figure has a visible window");
  check(QGuiApplication::platformName() != "offscreen", "the window is on a real display");

  QTimer::singleShot(100, [&] {
    auto shown = session.graphics.pixel_position(w.figure);
    bool kept = true;
    for (int i = 0; i < 4; ++i) kept = kept && std::abs(shown[i] - placed[i]) < 1;
    check(kept, "the shown window keeps the figure's Position");
    auto* button = qobject_cast<QAbstractButton*>(platform.widget_of(w.calculate));
    check(button != nullptr, "the Calc control is a button");
    if (button) button->click();
    check(calls.size() == 1 && calls[0].first == w.calculate &&
              calls[0].second == "distangler('dahand','CalcLengths')",
          "the click reached the runner with its control and callback");
    platform.drawnow(session.graphics);
    QTimer::singleShot(300, [&] {
      if (!screenshot.empty()) {
        QRect frame = window->frameGeometry();
        QPixmap shot =
            window->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
        check(!shot.isNull() && shot.save(QString::fromStdString(screenshot)),
              "the screenshot was saved");
      }
      window->close();
    });
  });
  QTimer::singleShot(20000, [&] {
    check(false, "the window closed within 20 s");
    session.graphics.close(w.figure);
  });
  check(platform.exec() == 0, "the event loop ended with the last figure");
  check(!session.graphics.is_handle(w.figure), "closing the window closed the figure");
  return failures == 0 ? 0 : 1;
}

// The program's session on the Qt platform for the checks that drive the real
// window: callbacks run as the program runs them, and the settings (recent
// files, photo folders) go to a test folder, never the user's own. Made once
// the QApplication exists.
#pragma once

#include <QCoreApplication>
#include <QStandardPaths>
#include <string>

#include "actions/run_callback.hpp"
#include "actions/session.hpp"
#include "runtime/qt/qt_platform.hpp"

namespace dg {

struct WindowSession {
  WindowSession() {
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName("Distangler");
    QCoreApplication::setApplicationName("Distangler");
    platform.attach(session.graphics);
    platform.set_callback_runner(
        [this](Handle object, const std::string& text) { run_callback(session, object, text); });
  }
  QtPlatform platform;
  Session session{platform};
};

}  // namespace dg

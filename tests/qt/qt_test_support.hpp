// A QApplication on Qt's offscreen platform for the whole test run, and pixel
// helpers for pictures painted by the axes painter.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QRect>
#include <QStandardPaths>
#include <functional>
#include <memory>
#include <vector>

#include "runtime/graphics/graphics.hpp"

namespace dg {

class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    app_ = std::make_unique<QApplication>(argc_, argv_);
    // Settings (the recent files) go to a test folder, never the user's own.
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName("Distangler");
    QCoreApplication::setApplicationName("Distangler");
  }
  void TearDown() override { app_.reset(); }

 private:
  int argc_ = 1;
  char name_[9] = "qt_tests";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> app_;
};

inline bool is_dark(QRgb c) {
  return qGray(c) < 110;
}
inline bool is_red(QRgb c) {
  return qRed(c) > 180 && qGreen(c) < 110 && qBlue(c) < 110;
}
inline bool is_white(QRgb c) {
  return qRed(c) > 235 && qGreen(c) > 235 && qBlue(c) > 235;
}

// Pixels of `image` inside `rect` (device pixels) that satisfy `test`.
inline int count(const QImage& image, QRect rect, const std::function<bool(QRgb)>& test) {
  rect = rect.intersected(image.rect());
  int n = 0;
  for (int y = rect.top(); y <= rect.bottom(); ++y) {
    for (int x = rect.left(); x <= rect.right(); ++x) n += test(image.pixel(x, y)) ? 1 : 0;
  }
  return n;
}

// A square of device pixels of the given half side around a point.
inline QRect around(QPointF p, int half) {
  return QRect(static_cast<int>(p.x()) - half, static_cast<int>(p.y()) - half, 2 * half + 1,
               2 * half + 1);
}

inline Value row(std::initializer_list<double> values) {
  return Value(Matrix::row_vector(std::vector<double>(values)));
}

}  // namespace dg

// Where an SVG picture of a figure draws: its view box and the box around
// every point of its strokes (axis lines, ticks, markers; not texts).
#pragma once

#include <QByteArray>
#include <QRectF>
#include <QRegularExpression>
#include <algorithm>

namespace dg {

struct SvgBounds {
  QRectF view;     // empty when the picture has no view box
  QRectF strokes;  // empty when nothing is stroked
  bool strokes_inside() const {
    return !view.isEmpty() && !strokes.isEmpty() && view.contains(strokes);
  }
};

inline SvgBounds svg_bounds(const QByteArray& svg) {
  SvgBounds b;
  const QString text = QString::fromUtf8(svg);
  auto view = QRegularExpression(R"re(viewBox="(\S+) (\S+) (\S+) (\S+)")re").match(text);
  if (view.hasMatch()) {
    b.view = QRectF(view.captured(1).toDouble(), view.captured(2).toDouble(),
                    view.captured(3).toDouble(), view.captured(4).toDouble());
  }
  double left = 1e300, right = -1e300, top = 1e300, bottom = -1e300;
  auto points = QRegularExpression(R"([ML]\s*(-?[\d.]+)[ ,](-?[\d.]+))").globalMatch(text);
  while (points.hasNext()) {
    auto m = points.next();
    const double x = m.captured(1).toDouble(), y = m.captured(2).toDouble();
    left = std::min(left, x), right = std::max(right, x);
    top = std::min(top, y), bottom = std::max(bottom, y);
  }
  if (left <= right) b.strokes = QRectF(QPointF(left, top), QPointF(right, bottom));
  return b;
}

}  // namespace dg

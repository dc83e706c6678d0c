// Native widgets for the tree's uicontrols: one widget class per "Style"
// (pushbutton, togglebutton, radiobutton, checkbox, edit, text, slider,
// frame, listbox, popupmenu), brought in line with the control's properties.
#pragma once

#include <QLabel>
#include <QWidget>
#include <functional>
#include <string>
#include <string_view>

#include "runtime/graphics/graphics.hpp"

namespace dg {

// What a widget reports when the user acts on it: first the property values
// the action changes ("Value", "String"), then the callback.
struct ControlEvents {
  std::function<void(std::string_view property, const Value& value)> store;
  std::function<void()> callback;
};

// A label showing each of its lines on one row, elided to its width where a
// line is too long (in the middle for a file name, at the end for a message);
// the whole text is then its tooltip, else the tooltip given.
class ElidedLabel : public QLabel {
 public:
  explicit ElidedLabel(Qt::TextElideMode mode, QWidget* parent = nullptr);
  void set_full_text(const QString& text);
  const QString& full_text() const { return full_; }
  void set_own_tooltip(const QString& tip);
  // Widest line and line count, for a size that shows it whole.
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void refit();
  Qt::TextElideMode mode_;
  QString full_;
  QString own_tip_;
};

// The kind of widget a control needs: its style, or "edit-multiline" for an
// edit box whose Max - Min exceeds 1.
std::string control_kind(const Graphics& graphics, Handle control);

// A widget of that kind, a child of `parent`, wired to `events`.
QWidget* make_control(const std::string& kind, QWidget* parent, ControlEvents events);

// Sets the widget's place (the control's pixel position in a figure of height
// `figure_height`, y measured from the bottom), text, items, value, enabling,
// visibility, tooltip, colours and font from the tree, without raising events.
void update_control(QWidget* widget, const Graphics& graphics, Handle control,
                    double figure_height);

}  // namespace dg

#include "runtime/qt/control_widgets.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QStringList>
#include <cmath>

#include "runtime/qt/axes_painter.hpp"

namespace dg {
namespace {

constexpr int kSliderSteps = 1000;

// A multi-line edit box reports its text when it loses the focus.
class MultiLineEdit : public QPlainTextEdit {
 public:
  using QPlainTextEdit::QPlainTextEdit;
  void on_leave(std::function<void()> left) { left_ = std::move(left); }

 protected:
  void focusOutEvent(QFocusEvent* event) override {
    QPlainTextEdit::focusOutEvent(event);
    if (document()->isModified()) {
      document()->setModified(false);
      if (left_) left_();
    }
  }

 private:
  std::function<void()> left_;
};

QStringList lines_of(const Value& value, bool split_bars) {
  QStringList out;
  for (const std::string& line : value.lines()) out << QString::fromStdString(line);
  if (split_bars && out.size() == 1 && out[0].contains('|')) out = out[0].split('|');
  return out;
}

double number_or(const Value& value, double fallback) {
  return value.is_double() && value.numel() == 1 ? value.scalar() : fallback;
}

// The "Value" a two-state widget stores: the control's Max when on, Min when off.
Value two_state(const QWidget* widget, bool on) {
  return Value(widget->property(on ? "dgMax" : "dgMin").toDouble());
}

Qt::Alignment horizontal(const std::string& alignment) {
  if (alignment == "left") return Qt::AlignLeft;
  if (alignment == "right") return Qt::AlignRight;
  return Qt::AlignHCenter;
}

void set_items(QListWidget* list, const QStringList& items) {
  QStringList current;
  for (int i = 0; i < list->count(); ++i) current << list->item(i)->text();
  if (current == items) return;
  list->clear();
  list->addItems(items);
}

void set_items(QComboBox* combo, const QStringList& items) {
  QStringList current;
  for (int i = 0; i < combo->count(); ++i) current << combo->itemText(i);
  if (current == items) return;
  combo->clear();
  combo->addItems(items);
}

}  // namespace

ElidedLabel::ElidedLabel(Qt::TextElideMode mode, QWidget* parent) : QLabel(parent), mode_(mode) {
  setTextFormat(Qt::PlainText);
}

void ElidedLabel::set_full_text(const QString& text) {
  if (text == full_) return;
  full_ = text;
  refit();
}

void ElidedLabel::set_own_tooltip(const QString& tip) {
  if (tip == own_tip_) return;
  own_tip_ = tip;
  refit();
}

QSize ElidedLabel::sizeHint() const {
  const QFontMetrics metrics = fontMetrics();
  int width = 0;
  const QStringList lines = full_.split('\n');
  for (const QString& line : lines) width = std::max(width, metrics.horizontalAdvance(line));
  const QMargins m = contentsMargins();
  return {width + m.left() + m.right(),
          static_cast<int>(lines.size()) * metrics.height() + m.top() + m.bottom()};
}

QSize ElidedLabel::minimumSizeHint() const {
  return {0, fontMetrics().height()};
}

void ElidedLabel::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  refit();
}

void ElidedLabel::refit() {
  const QFontMetrics metrics = fontMetrics();
  const int width = std::max(0, contentsRect().width());
  QStringList shown;
  bool elided = false;
  for (const QString& line : full_.split('\n')) {
    QString fit =
        metrics.horizontalAdvance(line) <= width ? line : metrics.elidedText(line, mode_, width);
    elided = elided || fit != line;
    shown << fit;
  }
  QLabel::setText(shown.join('\n'));
  setToolTip(elided ? full_ : own_tip_);
}

QWidget* make_control(const std::string& kind, QWidget* parent, ControlEvents events) {
  auto notify = [events](std::string_view property, const Value& value) {
    events.store(property, value);
    events.callback();
  };
  if (kind == "pushbutton" || kind == "togglebutton") {
    auto* button = new QPushButton(parent);
    button->setCheckable(kind == "togglebutton");
    button->setAutoDefault(true);  // Return presses the button that has the focus, as Space does
    QObject::connect(button, &QPushButton::clicked, button, [button, events, notify](bool on) {
      if (button->isCheckable()) {
        notify("Value", two_state(button, on));
      } else {
        events.callback();
      }
    });
    return button;
  }
  if (kind == "checkbox" || kind == "radiobutton") {
    QAbstractButton* button = nullptr;
    if (kind == "checkbox") {
      button = new QCheckBox(parent);
    } else {
      auto* radio = new QRadioButton(parent);
      radio->setAutoExclusive(false);
      button = radio;
    }
    QObject::connect(button, &QAbstractButton::clicked, button,
                     [button, notify](bool on) { notify("Value", two_state(button, on)); });
    return button;
  }
  if (kind == "edit") {
    auto* edit = new QLineEdit(parent);
    QObject::connect(edit, &QLineEdit::editingFinished, edit, [edit, notify] {
      if (!edit->isModified()) return;
      edit->setModified(false);
      notify("String", Value(edit->text().toStdString()));
    });
    return edit;
  }
  if (kind == "edit-multiline") {
    auto* edit = new MultiLineEdit(parent);
    edit->on_leave([edit, notify] {
      std::vector<Value> lines;
      for (const QString& line : edit->toPlainText().split('\n')) {
        lines.emplace_back(line.toStdString());
      }
      notify("String", Value::cell_row(std::move(lines)));
    });
    return edit;
  }
  if (kind == "listbox") {
    auto* list = new QListWidget(parent);
    QObject::connect(list, &QListWidget::currentRowChanged, list, [notify](int row) {
      if (row >= 0) notify("Value", Value(static_cast<double>(row + 1)));
    });
    return list;
  }
  if (kind == "popupmenu") {
    auto* combo = new QComboBox(parent);
    QObject::connect(combo, &QComboBox::activated, combo, [notify](int index) {
      if (index >= 0) notify("Value", Value(static_cast<double>(index + 1)));
    });
    return combo;
  }
  if (kind == "slider") {
    auto* slider = new QSlider(Qt::Horizontal, parent);
    slider->setRange(0, kSliderSteps);
    slider->setTracking(false);
    QObject::connect(slider, &QSlider::valueChanged, slider, [slider, notify](int position) {
      double lo = slider->property("dgMin").toDouble(), hi = slider->property("dgMax").toDouble();
      notify("Value", Value(lo + (hi - lo) * position / kSliderSteps));
    });
    return slider;
  }
  if (kind == "frame") {
    auto* frame = new QFrame(parent);
    frame->setFrameShape(QFrame::Box);
    return frame;
  }
  // Static texts report a file, a sample or a list: a long name is shortened
  // in the middle, where it differs least from its neighbours.
  return new ElidedLabel(Qt::ElideMiddle, parent);
}

std::string control_kind(const Graphics& graphics, Handle control) {
  std::string style = lower(graphics.get(control, "Style").text());
  if (style == "edit" &&
      number_or(graphics.get(control, "Max"), 1) - number_or(graphics.get(control, "Min"), 0) > 1) {
    return "edit-multiline";
  }
  return style;
}

void update_control(QWidget* widget, const Graphics& graphics, Handle control,
                    double figure_height) {
  QSignalBlocker blocker(widget);
  const UIControl& object = graphics.control(control);
  auto get = [&](const char* name) { return graphics.get(control, name); };

  auto r = graphics.pixel_position(control);
  widget->setGeometry(static_cast<int>(std::lround(r[0])),
                      static_cast<int>(std::lround(figure_height - r[1] - r[3])),
                      std::max(0, static_cast<int>(std::lround(r[2]))),
                      std::max(0, static_cast<int>(std::lround(r[3]))));

  std::string enable = lower(get("Enable").text());
  widget->setEnabled(enable != "off");
  widget->setAttribute(Qt::WA_TransparentForMouseEvents, enable == "inactive");
  const QString tooltip = QString::fromStdString(get("TooltipString").text());
  if (auto* elided = dynamic_cast<ElidedLabel*>(widget)) {
    elided->set_own_tooltip(tooltip);
  } else {
    widget->setToolTip(tooltip);
  }

  QPalette palette = widget->palette();
  if (object.background) {
    const Matrix& c = get("BackgroundColor").matrix();
    QColor bg = to_qcolor({c.data()[0], c.data()[1], c.data()[2]});
    for (auto role : {QPalette::Button, QPalette::Window, QPalette::Base})
      palette.setColor(role, bg);
    widget->setAutoFillBackground(true);
  }
  if (object.foreground) {
    const Matrix& c = get("ForegroundColor").matrix();
    QColor fg = to_qcolor({c.data()[0], c.data()[1], c.data()[2]});
    for (auto role : {QPalette::ButtonText, QPalette::WindowText, QPalette::Text}) {
      palette.setColor(role, fg);
    }
  }
  widget->setPalette(palette);
  if (object.font_size) {
    QFont font = widget->font();
    font.setPointSizeF(get("FontSize").scalar());
    widget->setFont(font);
  }

  const Value string = get("String");
  const double value = number_or(get("Value"), 0);
  const double lo = number_or(get("Min"), 0), hi = number_or(get("Max"), 1);
  widget->setProperty("dgMin", lo);
  widget->setProperty("dgMax", hi);
  const Qt::Alignment align = horizontal(lower(get("HorizontalAlignment").text()));
  const QString joined = lines_of(string, false).join('\n');

  if (auto* elided = dynamic_cast<ElidedLabel*>(widget)) {
    elided->set_full_text(joined);
    elided->setAlignment(align | Qt::AlignTop);
  } else if (auto* label = qobject_cast<QLabel*>(widget)) {
    label->setText(joined);
    label->setAlignment(align | Qt::AlignTop);
  } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
    QString text = lines_of(string, false).value(0);
    if (edit->text() != text && !(edit->hasFocus() && edit->isModified())) edit->setText(text);
    edit->setAlignment(align | Qt::AlignVCenter);
  } else if (auto* multi = qobject_cast<QPlainTextEdit*>(widget)) {
    if (multi->toPlainText() != joined && !multi->hasFocus()) multi->setPlainText(joined);
  } else if (auto* list = qobject_cast<QListWidget*>(widget)) {
    set_items(list, lines_of(string, true));
    int row = static_cast<int>(value) - 1;
    list->setCurrentRow(row >= 0 && row < list->count() ? row : -1);
  } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
    set_items(combo, lines_of(string, true));
    // A Value outside the items (0 by default) shows the first item.
    int index = static_cast<int>(value) - 1;
    combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : 0);
  } else if (auto* slider = qobject_cast<QSlider*>(widget)) {
    double t = hi > lo ? (value - lo) / (hi - lo) : 0;
    slider->setValue(static_cast<int>(std::lround(std::clamp(t, 0.0, 1.0) * kSliderSteps)));
  } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
    button->setText(joined);
    if (button->isCheckable()) button->setChecked(value == hi);
  }
  widget->setVisible(object.visible);
}

}  // namespace dg

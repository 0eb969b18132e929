#include "ui/TextWidth.h"

#include <QAbstractButton>
#include <QEvent>
#include <QObject>

namespace ui {
namespace {

enum class Rule { ButtonMinimum, LabelWidth };

void Fit(QWidget* control, Rule rule) {
  if (rule == Rule::LabelWidth) {
    control->resize(control->sizeHint().width(), control->height());
    return;
  }
  if (auto* button = qobject_cast<QAbstractButton*>(control)) {
    button->setMinimumWidth(button->fontMetrics().horizontalAdvance(button->text()) + ButtonPadding);
  }
}

// The texts are set again before the event comes (ui/LanguageSwitch), so
// the control measures its new text.
class WidthKeeper : public QObject {
 public:
  WidthKeeper(QWidget* control, Rule rule) : QObject(control), m_rule(rule) { control->installEventFilter(this); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::LanguageChange) Fit(static_cast<QWidget*>(watched), m_rule);
    return false;
  }

 private:
  Rule m_rule;
};

void Keep(QWidget* control, Rule rule) {
  Fit(control, rule);
  new WidthKeeper(control, rule);
}

}  // namespace

void KeepButtonWideEnough(QWidget* button) { Keep(button, Rule::ButtonMinimum); }

void KeepLabelAsWideAsText(QWidget* label) { Keep(label, Rule::LabelWidth); }

}  // namespace ui

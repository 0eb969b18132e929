#include "ui/TextWidth.h"

#include <QAbstractButton>
#include <QEvent>
#include <QObject>

namespace ui {
namespace {

void Fit(QWidget* control) {
  if (auto* button = qobject_cast<QAbstractButton*>(control)) {
    button->setMinimumWidth(button->fontMetrics().horizontalAdvance(button->text()) + ButtonPadding);
  }
}

// The texts are set again before the event comes (ui/LanguageSwitch), so
// the control measures its new text.
class WidthKeeper : public QObject {
 public:
  explicit WidthKeeper(QWidget* control) : QObject(control) { control->installEventFilter(this); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::LanguageChange) Fit(static_cast<QWidget*>(watched));
    return false;
  }
};

}  // namespace

void KeepButtonWideEnough(QWidget* button) {
  Fit(button);
  new WidthKeeper(button);
}

}  // namespace ui

#include "ui/StopKey.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <utility>

namespace {

bool IsStopKey(const QEvent* event) {
  if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride) return false;
  return static_cast<const QKeyEvent*>(event)->key() == Qt::Key_F9;
}

}  // namespace

CStopKey::CStopKey(std::function<void()> stop) : stop_(std::move(stop)) {
  if (QCoreApplication* app = QCoreApplication::instance()) app->installEventFilter(this);
}

CStopKey::~CStopKey() {
  if (QCoreApplication* app = QCoreApplication::instance()) app->removeEventFilter(this);
}

bool CStopKey::eventFilter(QObject* watched, QEvent* event) {
  if (!IsStopKey(event)) return QObject::eventFilter(watched, event);
  auto* key = static_cast<QKeyEvent*>(event);
  // Taking the override keeps any shortcut on F9 from firing; the press
  // itself then comes here as a key press, to whichever window has focus.
  key->accept();
  if (event->type() == QEvent::KeyPress && !key->isAutoRepeat() && stop_) stop_();
  return true;
}

#include "ui/FileDialog.h"

#include <QFileDialog>
#include <utility>

namespace ui {
namespace {

SaveFileHandler& Handler() {
  static SaveFileHandler handler;
  return handler;
}

}  // namespace

QString AskSaveFile(QWidget* parent, const QString& title, const QString& suggested) {
  if (Handler()) return Handler()(parent, title, suggested);
  return QFileDialog::getSaveFileName(parent, title, suggested, QStringLiteral("CSV (*.csv)"));
}

SaveFileHandler SetSaveFileHandler(SaveFileHandler handler) { return std::exchange(Handler(), std::move(handler)); }

}  // namespace ui

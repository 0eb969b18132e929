// The one "save as" question of the tool: where a file goes. Tests replace
// how it is asked, as they do for message boxes.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace ui {

// The chosen path; empty when the operator cancelled.
using SaveFileHandler = std::function<QString(QWidget* parent, const QString& title, const QString& suggested)>;

QString AskSaveFile(QWidget* parent, const QString& title, const QString& suggested);

// Replaces the way the question is asked; an empty handler brings back the
// real dialog. Returns the handler that was in place.
SaveFileHandler SetSaveFileHandler(SaveFileHandler handler);

}  // namespace ui

// The one message box of the main window and the pages: the text, the
// application's name as title, no icon and one OK button. Tests replace how
// it is shown to record the texts and answer without a modal loop.
#pragma once

#include <QString>
#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace ui {

// Returns the button that closed the box (QMessageBox::Ok for the real box).
using MessageBoxHandler = std::function<int(QWidget* parent, const QString& title, const QString& text)>;

// On the user-interface thread only. Returns the button that closed it.
int ShowMessage(QWidget* parent, const QString& text);
int ShowMessage(QWidget* parent, const std::string& utf8Text);

// From any thread: the box is shown on the user-interface thread once it is
// back in its event loop; the caller does not wait for it.
void PostMessage(const QString& text);

// Replaces the way boxes are shown; an empty handler brings back the real
// box. Returns the handler that was in place.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

// A question with the buttons "是" and "否", on the user-interface thread
// only: true for "是". Tests replace how it is asked, as for the box above.
using QuestionHandler = std::function<bool(QWidget* parent, const QString& text)>;
bool AskQuestion(QWidget* parent, const std::string& utf8Text);
QuestionHandler SetQuestionHandler(QuestionHandler handler);

// A question with a button for each of `buttons` (their texts, with their
// access keys), on the user-interface thread only: the index of the button
// chosen. The last button is the default and what Esc or closing the box
// means, so it should be the choice that changes nothing. Tests replace how
// it is asked, as for the boxes above.
using ChoiceHandler = std::function<size_t(QWidget* parent, const QString& text, const std::vector<QString>& buttons)>;
size_t AskChoice(QWidget* parent, const std::string& utf8Text, const std::vector<QString>& buttons);
ChoiceHandler SetChoiceHandler(ChoiceHandler handler);

}  // namespace ui

// What the window tests share: the application object, a recorder that
// stands in for message boxes, and a simulated driver served on a
// pseudo-terminal that is mapped as a COM number.
#pragma once

#include <QString>
#include <QThread>
#include <cstdint>
#include <memory>
#include <vector>

#include "SimulatedLine.h"
#include "ui/MessageBox.h"

class QApplication;

// Created on first use, offscreen unless QT_QPA_PLATFORM says otherwise,
// with the C numeric conventions the program itself uses.
QApplication& TestApp();

// Records every message box instead of showing it, answering OK, and every
// question, answering as told ("是" unless told otherwise).
class MessageRecorder {
 public:
  struct Shown {
    QString title;
    QString text;
    QThread* thread;
  };

  MessageRecorder();
  ~MessageRecorder();
  MessageRecorder(const MessageRecorder&) = delete;
  MessageRecorder& operator=(const MessageRecorder&) = delete;

  const std::vector<Shown>& Boxes() const { return boxes_; }
  std::vector<QString> Texts() const;
  const std::vector<QString>& Questions() const { return questions_; }
  void AnswerQuestions(bool yes) { answer_ = yes; }
  // The questions with buttons of their own, answered with the button
  // `choice` (the last one, the choice that changes nothing, unless told).
  const std::vector<QString>& Choices() const { return choices_; }
  void AnswerChoices(size_t choice) { choice_ = choice; }

 private:
  std::vector<Shown> boxes_;
  std::vector<QString> questions_;
  bool answer_ = true;
  std::vector<QString> choices_;
  size_t choice_ = SIZE_MAX;
  ui::MessageBoxHandler previous_;
  ui::QuestionHandler previousQuestions_;
  ui::ChoiceHandler previousChoices_;
};


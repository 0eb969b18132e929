// Whether the texts of a window are shown whole: each label, list item and
// button text measured with its control's font against the room its control
// gives it (a label's contents, a button's label area, a list's closed
// field), the way the style draws them.
#pragma once

#include <QString>
#include <QWidget>
#include <vector>

struct CutText {
  QString control;  // its class and object name or text
  QString text;
  int needs = 0;  // pixels
  int has = 0;
};

// Every text of the visible controls under `window` that does not fit.
std::vector<CutText> CutTexts(const QWidget* window);

// "QLabel "KVB-…" needs 99 px, has 95" per line, for a test's message.
QString Describe(const std::vector<CutText>& cuts);

// Texts that follow a switch of language while the window is open. A
// control keeps the Chinese source of each text it shows; Retranslate()
// sets them again in the language now in use. Texts made from the driver's
// values or from a result are made again by their window when it sees
// QEvent::LanguageChange.
//
//   SetSourceText(button, "读取");          // the button shows Tr("读取")
//   SetSourceItems(combo, {"无", "奇校验"});
//   Retranslate(window);                   // after lang::Use()
#pragma once

#include <vector>

class QComboBox;
class QObject;
class QTabWidget;
class QWidget;

namespace ui {

// The text of a QLabel, QAbstractButton, QAction, QLineEdit (its
// placeholder), the title of a QGroupBox or QMenu, or the window title of
// any other widget.
void SetSourceText(QObject* control, const char* chinese);
void SetSourceToolTip(QWidget* control, const char* chinese);
void SetSourceAccessibleName(QWidget* control, const char* chinese);
void SetSourceWindowTitle(QWidget* window, const char* chinese);
// Items of a list, in order; an item added later without a source (a value
// the list has no item for) keeps its text.
void SetSourceItems(QComboBox* list, const std::vector<const char*>& chinese);
void SetSourceTabText(QTabWidget* tabs, int index, const char* chinese);

// Sets every remembered text of `root` and its children again.
void Retranslate(QObject* root);

}  // namespace ui

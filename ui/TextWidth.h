// Controls whose width follows their text, kept so after a switch of
// language: a page's push button is never narrower than its caption, and a
// label placed by dialog units without a width of its own is as wide as
// its text.
#pragma once

class QWidget;

namespace ui {

// Room a push button needs around its caption.
constexpr int ButtonPadding = 20;

// The button's minimum width is its caption's and the padding, now and
// after every QEvent::LanguageChange.
void KeepButtonWideEnough(QWidget* button);
// The label's width is its text's, now and after every LanguageChange.
void KeepLabelAsWideAsText(QWidget* label);

}  // namespace ui

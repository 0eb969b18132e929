// A page's push button is never narrower than its caption, after a switch
// of language too.
#pragma once

class QWidget;

namespace ui {

// Room a push button needs around its caption.
constexpr int ButtonPadding = 20;

// The button's minimum width is its caption's and the padding, now and
// after every QEvent::LanguageChange.
void KeepButtonWideEnough(QWidget* button);

}  // namespace ui

// Builds a dialog's controls from its table of controls (ui/forms), placed
// by the dialog units of the dialog's font.
#pragma once

#include <QIcon>

#include "ui/ControlMap.h"
#include "ui/forms/DialogLayout.h"

class QWidget;

// Creates every control of `layout` as a child of `dialog`, fills the drop-down
// lists with their items, registers the controls that have an id in
// `controls`, and fixes the dialog's size. `dialog` must already carry its
// font.
void BuildDialog(QWidget* dialog, const forms::DialogTemplate& layout, const QIcon& icon, ControlMap& controls);

// Places the controls BuildDialog made again, for the texts they show now:
// where a label's text is wider than the room before the control to its
// right, the dialog is widened by the difference at that control's left
// edge (everything from there on moves right, what spans it grows), so
// rows and columns stay aligned; a list or a check box too narrow for its
// texts is widened likewise, and so is the control `widening` names (a tab
// control whose pages need more room). The Chinese texts fit the table as
// it is.
struct LayoutWidening {
  int controlId = 0;
  int pixels = 0;
};
void LayOutDialog(QWidget* dialog, const forms::DialogTemplate& layout, LayoutWidening widening = {});

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

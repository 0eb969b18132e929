// The dialog font and the dialog units it defines.
#pragma once

#include <QFont>

#include "ui/forms/DialogUnits.h"

// "宋体" 9 pt when it is installed, otherwise a font of this system that has
// the Chinese glyphs, at 9 pt.
QFont DialogFont();

// Dialog units of `font`: a quarter of its average character width across,
// an eighth of its height down.
forms::DialogUnits DialogUnitsOf(const QFont& font);

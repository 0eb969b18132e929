// Builds a page's controls from its tables: the group boxes with a grid each,
// and per entry its label (the buddy of its control), the control and its
// unit text. Every control with an id goes into the page's control map.
#pragma once

#include <initializer_list>
#include <span>

#include "ui/ControlMap.h"
#include "ui/forms/Fields.h"

class QWidget;

// The keyboard goes through the controls group by group (in table order),
// row by row and left to right, whatever the order of the entries.
// False, with what was built so far left in place, when an entry names a
// group the page does not have, a group names a parent that is not an
// earlier group, or an id is already taken.
bool BuildPage(QWidget* page, std::span<const forms::GroupSpec> groups,
               std::initializer_list<std::span<const forms::FieldSpec>> tables, ControlMap& controls);

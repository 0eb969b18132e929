// The Chinese sources of a page built from its tables, remembered on its
// controls (ui/Retranslate.h) so that a switch of language renews the group
// titles, labels, captions and list items the builder made.
#pragma once

#include <initializer_list>
#include <span>

#include "ui/ControlMap.h"
#include "ui/forms/Fields.h"

class QWidget;

// `page` as BuildPage left it from `groups` and `tables`, its controls in
// `controls`. A text a control already remembers is set again, the same.
void RememberPageSources(QWidget* page, std::span<const forms::GroupSpec> groups,
                         std::initializer_list<std::span<const forms::FieldSpec>> tables,
                         const ControlMap& controls);

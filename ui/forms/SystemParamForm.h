// The "系统参数" page as data: the driver's input and interface
// configuration, one entry per register of the block it shows, and the
// texts the range edits take when the operator picks a signal type.
#pragma once

#include <span>

#include "ui/forms/Fields.h"

namespace forms::sysparam {

constexpr int ReadButton = 1066;
constexpr int ConfigureButton = 1072;
constexpr int AnalogTypeList = 1069;
constexpr int LogicLevelList = 1070;

std::span<const GroupSpec> Groups();
// The fields of the block, in register order.
std::span<const FieldSpec> Fields();
// The caption of the analog adjustment and the two buttons.
std::span<const FieldSpec> Controls();

// The text an edit takes when the operator picks item `selection` of `list`.
struct ListDefault {
  int list;
  int selection;
  int edit;
  const char* text;
};
std::span<const ListDefault> ListDefaults();

}  // namespace forms::sysparam

// The "PID参数" page as data: the nine gains of the speed, position and
// holding loops, shown in three rows and taken from the block in its own
// order (holding first).
#pragma once

#include <span>

#include "ui/forms/Fields.h"

namespace forms::pid {

constexpr int ReadButton = 1064;
constexpr int ConfigureButton = 1065;

std::span<const GroupSpec> Groups();
// The gains, in the order of the block's floats.
std::span<const FieldSpec> Gains();
// The row captions and the two buttons.
std::span<const FieldSpec> Controls();

}  // namespace forms::pid

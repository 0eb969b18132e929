// The "往复运动" page as data: the reciprocation settings, the preset speeds
// with the two scales that the speed mode chooses between, and the test
// buttons.
#pragma once

#include <cstdint>
#include <span>

#include "ui/forms/Fields.h"

struct PresetSpeedBlock;

namespace forms::reciprocate {

constexpr int ReadReciprocateButton = 1099;
constexpr int ConfigureReciprocateButton = 1100;
constexpr int ReadPresetButton = 1102;
constexpr int ConfigurePresetButton = 1103;
constexpr int ResetSq2Button = 1062;
constexpr int ResetSq1Button = 1063;
constexpr int MeasureStrokeButton = 1101;
constexpr int CancelButton = 1064;

std::span<const GroupSpec> Groups();
// The fields of the reciprocation block, in register order.
std::span<const FieldSpec> Reciprocation();
// The fields of the preset-speed block for a speed mode register value: the
// speeds count 0.01 in torque mode, else 0.1. Every mode gives the same
// controls in the same order.
std::span<const FieldSpec> PresetSpeeds(uint16_t speedMode);
// The speed mode that taking `values` onto `base` sends: the item chosen in
// "调速方式:", or the mode read when none is.
uint16_t SpeedModeToSend(const FormValues& values, const PresetSpeedBlock& base);
// Captions and buttons.
std::span<const FieldSpec> Controls();

}  // namespace forms::reciprocate

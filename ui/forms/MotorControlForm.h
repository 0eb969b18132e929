// The "电机控制" page as data: the ramp block, the entries that go with the
// run commands (move frequency, slider maxima, stop mode, position type),
// the sliders with their value labels and the buttons; and the clamps and
// label texts of its handlers.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "driver/RegisterMap.h"
#include "ui/forms/Fields.h"

namespace forms::motorcontrol {

namespace id {
constexpr int PwmRise = 1054;
constexpr int PwmFall = 1055;
constexpr int Acceleration = 1057;
constexpr int Deceleration = 1058;
constexpr int ReadRamp = 1062;
constexpr int SetRamp = 1075;
constexpr int PwmSlider = 1039;
constexpr int PwmLabel = 1081;
constexpr int RunPwm = 1040;
constexpr int FrequencySlider = 1041;
constexpr int FrequencyLabel = 1082;
constexpr int FrequencyMax = 1083;
constexpr int RunFrequency = 1042;
constexpr int NormalStop = 1044;
constexpr int EmergencyStop = 1045;
constexpr int FreeStop = 1046;
constexpr int Stop = 1084;
constexpr int MoveFrequency = 1085;
constexpr int AbsolutePosition = 1049;
constexpr int RelativePosition = 1086;
constexpr int PositionSlider = 1051;
constexpr int PositionLabel = 1087;
constexpr int PositionMax = 1053;
constexpr int RunPosition = 1052;
}  // namespace id

// The entries that belong to no register block, in the order of Entries().
enum Entry : size_t { MoveFrequency, FrequencyMax, PositionMax, StopMode, PositionType, EntryCount };

std::span<const GroupSpec> Groups();
// The four ramps of RampBlock, in register order.
std::span<const FieldSpec> Ramps();
std::span<const FieldSpec> Entries();
// Sliders, value labels, fixed texts and buttons.
std::span<const FieldSpec> Controls();

// What the ramp edits show before the first read.
constexpr RampBlock InitialRamps{0, 0, 5000, 5000};
// What the entries hold when the page is created, in the order of Entries().
FormValues InitialEntries();

// The PWM slider's range, in 0.1 % of full duty.
constexpr int PwmLimit = 1000;

// A slider maximum as the page rewrites it and the slider range it gives
// (−limit … limit).
struct SliderMaximum {
  std::string text;
  int limit;
};

// The frequency maximum left by the operator: 0.1 … 3276.7 Hz, anything
// else (a text that is no number too) clamped into it, shown with one
// decimal; the range counts 0.1 Hz.
SliderMaximum FrequencyMaximum(std::string_view text);
// The position maximum as it is typed: its leading whole number, at least 1.
SliderMaximum PositionMaximum(std::string_view text);

// The move frequency register (0.1 Hz) for the entry: a number clamped to
// 0.1 … 6553.5 Hz; nullopt when the text is no number.
std::optional<uint16_t> MoveFrequencyWord(std::string_view text);
// The refusal of a move frequency that is no number.
std::string MoveFrequencyMessage();

// The value labels beside the sliders.
std::string PwmText(int position);        // "-25.0%"
std::string FrequencyText(int position);  // "100.0Hz"
std::string PositionText(int position);   // "-70000"

}  // namespace forms::motorcontrol

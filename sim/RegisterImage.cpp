#include "sim/RegisterImage.h"

#include <bit>

namespace sim {

namespace {

constexpr Block kBlocks[] = {
    {"DeviceInfoBlock", reg::DeviceInfo, reg::DeviceInfoCount, Access::ReadOnly, false},
    {"StatusBlock", reg::Status, reg::StatusCount, Access::ReadOnly, false},
    {"stop command", reg::StopCommand, 1, Access::ReadWrite, false},
    {"PWM duty command", reg::PwmCommand, 1, Access::ReadWrite, false},
    {"frequency command", reg::FrequencyCommand, 1, Access::ReadWrite, false},
    {"PositionMoveBlock", reg::MoveFrequency, 4, Access::ReadWrite, false},
    {"RampBlock", reg::Ramp, 4, Access::ReadWrite, true},
    {"MotorParamBlock", reg::MotorParams, reg::MotorParamsCount, Access::ReadWrite, true},
    {"SystemParamBlock", reg::SystemParams, reg::SystemParamsCount, Access::ReadWrite, true},
    {"ReciprocateBlock", reg::Reciprocate, 10, Access::ReadWrite, true},
    {"ReciprocateCommand", reg::ReciprocateCommand, 1, Access::ReadWrite, false},
    {"PresetSpeedBlock", reg::PresetSpeed, 4, Access::ReadWrite, true},
    {"PidBlock", reg::Pid, reg::PidCount, Access::ReadWrite, true},
    {"learning command", reg::Learning, 4, Access::ReadWrite, false},
    {"learning result", reg::LearningResultCount, reg::LearningEnd - reg::LearningResultCount, Access::ReadOnly,
     false},
};

// No address is in two blocks: a range is checked a block at a time.
constexpr bool BlocksApart() {
  for (const Block& a : kBlocks) {
    for (const Block& b : kBlocks) {
      if (&a != &b && a.start < b.start + b.count && b.start < a.start + a.count) return false;
    }
  }
  return true;
}
static_assert(BlocksApart());

struct Default {
  uint16_t address;
  uint16_t value;
};

constexpr uint16_t High(float value) { return static_cast<uint16_t>(std::bit_cast<uint32_t>(value) >> 16); }
constexpr uint16_t Low(float value) { return static_cast<uint16_t>(std::bit_cast<uint32_t>(value) & 0xFFFF); }
constexpr uint16_t Chars(char high, char low) {
  return static_cast<uint16_t>((static_cast<uint8_t>(high) << 8) | static_cast<uint8_t>(low));
}

// Everything not listed starts at 0: the status block is filled in by the
// motor model, the learning block by the learning run.
constexpr Default kDefaults[] = {
    // Identity: code, version 1.05, the 16-character model, PWM 1/1000 at
    // 20 kHz, 15.00 A peak, 10 mA current resolution.
    {reg::DeviceId, 0x0A31},
    {reg::Version, 0x0105},
    {reg::ModelText + 0, Chars('K', 'V')},
    {reg::ModelText + 1, Chars('B', '-')},
    {reg::ModelText + 2, Chars('4', '8')},
    {reg::ModelText + 3, Chars('1', '5')},
    {reg::ModelText + 4, Chars('-', 'R')},
    {reg::ModelText + 5, Chars('S', '4')},
    {reg::ModelText + 6, Chars('8', '5')},
    {reg::ModelText + 7, Chars('-', 'S')},
    {reg::PwmResolution, 1000},
    {reg::PwmFrequency, 20000},
    {reg::MaxCurrent, 1500},
    {reg::CurrentResolution, 10},
    // Ramps: 0.5 s PWM buffers, 500.0 Hz/s both ways.
    {reg::PwmRise, 5},
    {reg::PwmFall, 5},
    {reg::Acceleration, 5000},
    {reg::Deceleration, 5000},
    // Motor: buffers 0.5 s, accelerations (max 2000.0, default 500.0 Hz/s),
    // frequencies (max 4500.0, default 500.0 Hz), currents 5.00 / 10.00 /
    // 3.00 A, tolerance 5 pulses, overshoot correction on, 8 poles, 10.0:1.
    {reg::StopBuffer, 5},
    {reg::StartBuffer, 5},
    {reg::MaxAcceleration, 20000},
    {reg::DefaultAcceleration, 5000},
    {reg::MaxDeceleration, 20000},
    {reg::DefaultDeceleration, 5000},
    {reg::MaxFrequency, 45000},
    {reg::DefaultFrequency, 5000},
    {reg::RatedCurrent, 500},
    {reg::MaxLoadCurrent, 1000},
    {reg::BrakeCurrent, 300},
    {0x0071, 5},
    {0x0072, 1},
    {reg::PoleCount, 8},
    {0x0074, 100},
    // System: logic level 0/3.3V, potentiometer 0..5.000 V, analog range
    // 0..10.000, threshold 2.000 V, dead band 0.050 V, pulse ratio 1.0,
    // stall stop after 2.0 s, 9600 bit/s, no parity, brake 1.0 s after a
    // lost link, analog gain 1.0.
    {0x0085, 1},
    {0x0087, 5000},
    {0x0089, 10000},
    {0x008A, 2000},
    {0x008B, 50},
    {reg::PulseRatio, High(1.0f)},
    {reg::PulseRatio + 1, Low(1.0f)},
    {reg::StallStopTime, 20},
    {reg::BaudRate, 0},
    {reg::BaudRate + 1, 9600},
    {0x0095, 10},
    {reg::AnalogGain, High(1.0f)},
    {reg::AnalogGain + 1, Low(1.0f)},
    // Reciprocation: fine reset on, coarse 1000.0 Hz, fine 100.0 Hz, 500.0 Hz
    // after completion, 1.0 % dead band, 1.50 A reset torque.
    {0x00A1, 1},
    {reg::CoarseResetSpeed, 10000},
    {0x00A5, 1000},
    {0x00A6, 5000},
    {0x00A7, 10},
    {0x00A9, 150},
    // Preset speeds 50.0 / 50.0 (duty cycle mode).
    {0x00B2, 500},
    {0x00B3, 500},
    // PID: holding 0.8 / 0.05 / 0, speed 1.2 / 0.1 / 0.01, position 2.0 / 0 / 0.5.
    {reg::Pid + 0, High(0.8f)},
    {reg::Pid + 1, Low(0.8f)},
    {reg::Pid + 2, High(0.05f)},
    {reg::Pid + 3, Low(0.05f)},
    {reg::Pid + 6, High(1.2f)},
    {reg::Pid + 7, Low(1.2f)},
    {reg::Pid + 8, High(0.1f)},
    {reg::Pid + 9, Low(0.1f)},
    {reg::Pid + 10, High(0.01f)},
    {reg::Pid + 11, Low(0.01f)},
    {reg::Pid + 12, High(2.0f)},
    {reg::Pid + 13, Low(2.0f)},
    {reg::Pid + 16, High(0.5f)},
    {reg::Pid + 17, Low(0.5f)},
};

// Values of LoadEdgeValues, register by register of each block.
constexpr Default kEdgeValues[] = {
    // System: limit polarity 5 (no such item), the other lists apart, the
    // analog type "差分信号" with a range that is not its default, 65.535 as
    // the lower range, pulse ratio 1e-7 ("%f" shows 0.000000), stall stop
    // 123.4 s, reserved 0x5A5A / 0xA5A5, 14400 bit/s, the lock's other bit
    // set (unlocked), analog gain 0.0012345678 ("%f" shows 0.001235),
    // offset -0.500, the alarm switch ticked with another bit.
    {0x0080, 5},
    {0x0081, 3},
    {0x0082, 2},
    {0x0083, 1},
    {0x0084, 1},
    {0x0085, 2},
    {0x0086, 250},
    {0x0087, 4750},
    {0x0088, 0xFFFF},
    {0x0089, 10000},
    {0x008A, 2500},
    {0x008B, 75},
    {reg::PulseRatio, High(1e-7f)},
    {reg::PulseRatio + 1, Low(1e-7f)},
    {reg::StallStopTime, 1234},
    {0x008F, 0x5A5A},
    {reg::BaudRate, 0},
    {reg::BaudRate + 1, 14400},
    {0x0092, 2},
    {0x0093, 0xA5A5},
    {reg::ParameterLock, 0x0002},
    {0x0095, 35},
    {reg::AnalogGain, High(0.0012345678f)},
    {reg::AnalogGain + 1, Low(0.0012345678f)},
    {0x0098, 0xFE0C},
    {0x0099, 0x0003},
    // Reciprocation: reset to SQ1, fine reset on, stroke 100000, coarse
    // 1234.5 Hz (longer than its edit), fine 100.0, 500.0 after completion,
    // 1.5 % dead band, reset after a limit with another bit, 1.50 A.
    {0x00A0, 2},
    {0x00A1, 1},
    {reg::Stroke, 0x0001},
    {reg::Stroke + 1, 0x86A0},
    {reg::CoarseResetSpeed, 12345},
    {0x00A5, 1000},
    {0x00A6, 5000},
    {0x00A7, 15},
    {0x00A8, 0x0002},
    {0x00A9, 150},
    // Preset speeds in torque mode (0.01), single contact: 12.34 / 5.67.
    {reg::PresetSpeed, 1},
    {0x00B1, 1},
    {0x00B2, 1234},
    {0x00B3, 567},
    // PID: holding 0.8 / 1e-40 (subnormal) / -2.5, speed 1234567 ("%g"
    // shows 1.23457e+06) / 0.1 / 1e-7, position 3e38 / 0 / 0.5.
    {reg::Pid + 0, High(0.8f)},
    {reg::Pid + 1, Low(0.8f)},
    {reg::Pid + 2, High(1e-40f)},
    {reg::Pid + 3, Low(1e-40f)},
    {reg::Pid + 4, High(-2.5f)},
    {reg::Pid + 5, Low(-2.5f)},
    {reg::Pid + 6, High(1234567.0f)},
    {reg::Pid + 7, Low(1234567.0f)},
    {reg::Pid + 8, High(0.1f)},
    {reg::Pid + 9, Low(0.1f)},
    {reg::Pid + 10, High(1e-7f)},
    {reg::Pid + 11, Low(1e-7f)},
    {reg::Pid + 12, High(3e38f)},
    {reg::Pid + 13, Low(3e38f)},
    {reg::Pid + 14, 0},
    {reg::Pid + 15, 0},
    {reg::Pid + 16, High(0.5f)},
    {reg::Pid + 17, Low(0.5f)},
};

template <typename Accept>
uint8_t CheckRange(uint16_t start, uint16_t count, Accept accept) {
  const uint32_t end = static_cast<uint32_t>(start) + count;
  for (uint32_t address = start; address < end;) {
    const Block* block = address < RegisterImage::Size ? FindBlock(static_cast<uint16_t>(address)) : nullptr;
    if (block == nullptr || !accept(*block)) return ExceptionIllegalAddress;
    address = static_cast<uint32_t>(block->start) + block->count;  // the rest of this block passes too
  }
  return 0;
}

}  // namespace

const Block* FindBlock(uint16_t address) {
  for (const Block& block : kBlocks) {
    if (address >= block.start && address < block.start + block.count) return &block;
  }
  return nullptr;
}

RegisterImage::RegisterImage() {
  for (const Default& entry : kDefaults) words_[entry.address] = entry.value;
}

void RegisterImage::LoadEdgeValues() {
  for (const Default& entry : kEdgeValues) words_[entry.address] = entry.value;
}

uint32_t RegisterImage::Get32(uint16_t address) const {
  return (static_cast<uint32_t>(Get(address)) << 16) | Get(static_cast<uint16_t>(address + 1));
}

void RegisterImage::Set32(uint16_t address, uint32_t value) {
  Set(address, static_cast<uint16_t>(value >> 16));
  Set(static_cast<uint16_t>(address + 1), static_cast<uint16_t>(value & 0xFFFF));
}

float RegisterImage::GetFloat(uint16_t address) const { return std::bit_cast<float>(Get32(address)); }

void RegisterImage::SetFloat(uint16_t address, float value) { Set32(address, std::bit_cast<uint32_t>(value)); }

uint8_t RegisterImage::CheckRead(uint16_t start, uint16_t count) {
  return CheckRange(start, count, [](const Block&) { return true; });
}

uint8_t RegisterImage::CheckWrite(uint16_t start, uint16_t count) {
  return CheckRange(start, count, [](const Block& block) { return block.access == Access::ReadWrite; });
}

bool RegisterImage::TouchesParameters(uint16_t start, uint16_t count) {
  const uint32_t end = static_cast<uint32_t>(start) + count;
  for (uint32_t address = start; address < end && address < Size;) {
    const Block* block = FindBlock(static_cast<uint16_t>(address));
    if (block != nullptr && block->parameter) return true;
    address = block != nullptr ? static_cast<uint32_t>(block->start) + block->count : address + 1;
  }
  return false;
}

}  // namespace sim

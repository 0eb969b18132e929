// The driver's holding registers: where each block lies, which blocks can be
// written, which hold parameters, and the values a new driver leaves the
// factory with. The simulated driver keeps its own copy of this map on
// purpose: it is the peer that the tool's register map is checked against.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace sim {

namespace reg {

// Identity and ratings (read-only).
constexpr uint16_t DeviceInfo = 0x0000;
constexpr uint16_t DeviceInfoCount = 14;
constexpr uint16_t DeviceId = 0x0000;
constexpr uint16_t Version = 0x0001;
constexpr uint16_t ModelText = 0x0002;  // 8 registers, first character in the high byte
constexpr uint16_t ModelTextCount = 8;
constexpr uint16_t PwmResolution = 0x000A;
constexpr uint16_t PwmFrequency = 0x000B;
constexpr uint16_t MaxCurrent = 0x000C;
constexpr uint16_t CurrentResolution = 0x000D;

// Live state (read-only); offsets from Status.
constexpr uint16_t Status = 0x0020;
constexpr uint16_t StatusCount = 22;
namespace status {
constexpr uint16_t OutputPwm = 0;
constexpr uint16_t PhaseCurrent = 1;
constexpr uint16_t Frequency = 2;
constexpr uint16_t Complete = 3;
constexpr uint16_t Position = 4;  // 32-bit
constexpr uint16_t CompletionTime = 6;  // 32-bit, ms
constexpr uint16_t In1 = 8;
constexpr uint16_t In2 = 9;
constexpr uint16_t In3 = 10;
constexpr uint16_t Differential = 11;
constexpr uint16_t Sq1 = 12;
constexpr uint16_t Sq2 = 13;
constexpr uint16_t InputPwm = 14;
constexpr uint16_t InputFrequency = 15;
constexpr uint16_t InputPulses = 16;  // 32-bit
constexpr uint16_t ErrorState = 19;
constexpr uint16_t MotorSpeed = 20;
constexpr uint16_t RangeFlag = 21;
}  // namespace status

// Commands.
constexpr uint16_t StopCommand = 0x0040;
constexpr uint16_t PwmCommand = 0x0042;
constexpr uint16_t FrequencyCommand = 0x0043;
constexpr uint16_t MoveFrequency = 0x0044;  // also the third speed command
constexpr uint16_t MoveType = 0x0045;
constexpr uint16_t MoveTarget = 0x0046;  // 32-bit, signed

// Ramps.
constexpr uint16_t Ramp = 0x0050;
constexpr uint16_t PwmRise = 0x0050;
constexpr uint16_t PwmFall = 0x0051;
constexpr uint16_t Acceleration = 0x0052;
constexpr uint16_t Deceleration = 0x0053;

// Motor parameters.
constexpr uint16_t MotorParams = 0x0060;
constexpr uint16_t MotorParamsCount = 23;
constexpr uint16_t StopBuffer = 0x0060;
constexpr uint16_t StartBuffer = 0x0061;
constexpr uint16_t MaxAcceleration = 0x0062;
constexpr uint16_t DefaultAcceleration = 0x0063;
constexpr uint16_t MaxDeceleration = 0x0064;
constexpr uint16_t DefaultDeceleration = 0x0065;
constexpr uint16_t MaxFrequency = 0x0066;
constexpr uint16_t DefaultFrequency = 0x0067;
constexpr uint16_t RatedCurrent = 0x006A;
constexpr uint16_t MaxLoadCurrent = 0x006B;
constexpr uint16_t BrakeCurrent = 0x006C;
constexpr uint16_t PhaseOrder = 0x006D;  // 3 registers, two bytes each
constexpr uint16_t PoleCount = 0x0073;
constexpr uint16_t Learned = 0x0075;
constexpr uint16_t LearningDisabled = 0x0076;

// System parameters.
constexpr uint16_t SystemParams = 0x0080;
constexpr uint16_t SystemParamsCount = 26;
constexpr uint16_t LimitPolarity = 0x0080;
constexpr uint16_t PulseRatio = 0x008C;  // float
constexpr uint16_t StallStopTime = 0x008E;
constexpr uint16_t BaudRate = 0x0090;  // 32-bit
constexpr uint16_t SerialParity = 0x0092;
constexpr uint16_t ParameterLock = 0x0094;
constexpr uint16_t AnalogGain = 0x0096;  // float

// Reciprocation.
constexpr uint16_t Reciprocate = 0x00A0;
constexpr uint16_t Stroke = 0x00A2;  // 32-bit, pulses
constexpr uint16_t CoarseResetSpeed = 0x00A4;
constexpr uint16_t ReciprocateCommand = 0x00AA;
constexpr uint16_t PresetSpeed = 0x00B0;
constexpr uint16_t Pid = 0x00BA;
constexpr uint16_t PidCount = 18;

// Learning: four command registers, then the results.
constexpr uint16_t Learning = 0x00E0;
constexpr uint16_t LearningRunFlag = 0x00E1;
constexpr uint16_t LearningState = 0x00E2;
constexpr uint16_t LearningResultCount = 0x00E4;
constexpr uint16_t LearningResults = 0x00E5;  // 6 registers
constexpr uint16_t LearningEnd = 0x00F0;

}  // namespace reg

enum class Access { ReadOnly, ReadWrite };

struct Block {
  std::string_view name;
  uint16_t start;
  uint16_t count;
  Access access;
  // Parameter blocks are refused while configuration over RS-485 is locked.
  bool parameter;
};

// The block that holds `address`, or nullptr for an address the driver does
// not have.
const Block* FindBlock(uint16_t address);

// Modbus exception codes the register rules give.
constexpr uint8_t ExceptionIllegalFunction = 0x01;
constexpr uint8_t ExceptionIllegalAddress = 0x02;
constexpr uint8_t ExceptionIllegalValue = 0x03;
constexpr uint8_t ExceptionBusy = 0x06;
constexpr uint8_t ExceptionNotAllowed = 0x40;
constexpr uint8_t ExceptionNotLearned = 0x60;

// The whole 256-register space of the driver as host 16-bit values.
class RegisterImage {
 public:
  static constexpr size_t Size = 0x100;

  // Factory defaults.
  RegisterImage();

  // Every register of the system, reciprocation, preset-speed and PID
  // blocks set apart from its neighbours, with what a tool finds hard to
  // show and write back: a baud rate of 14400, a list value beyond its
  // items, floats that "%f" or "%g" cannot carry (a subnormal among them),
  // bits beside a check box's bit 0, reserved registers that are not 0, a
  // negative signed value, texts longer than their edits, the torque scale.
  void LoadEdgeValues();

  uint16_t Get(uint16_t address) const { return address < Size ? words_[address] : 0; }
  void Set(uint16_t address, uint16_t value) {
    if (address < Size) words_[address] = value;
  }
  // 32-bit values span two registers, the high half in the lower one.
  uint32_t Get32(uint16_t address) const;
  void Set32(uint16_t address, uint32_t value);
  float GetFloat(uint16_t address) const;
  void SetFloat(uint16_t address, float value);

  // 0 when every register of the range exists (and, for a write, is
  // writable); otherwise the exception code to answer.
  static uint8_t CheckRead(uint16_t start, uint16_t count);
  static uint8_t CheckWrite(uint16_t start, uint16_t count);
  // Whether the range touches a parameter block.
  static bool TouchesParameters(uint16_t start, uint16_t count);

 private:
  std::array<uint16_t, Size> words_{};
};

}  // namespace sim

// The driver's holding-register blocks and command registers, and the host
// records the pages work with.
//
// A record is the block's registers in register order as host values. Where
// a block holds 32-bit quantities that the block operations convert, the
// record has a 32-bit field (integer or float) at that place; the lower
// register carries the high half on the wire. Other 32-bit values stay two
// 16-bit fields that the page combines.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

struct DeviceInfoBlock {
  uint16_t deviceId;
  uint16_t version;  // high byte major, low byte minor
  char model[16];    // in wire order, NUL-padded
  uint16_t pwmResolution;
  uint16_t pwmFrequency;       // Hz
  uint16_t maxCurrent;         // 0.01 A
  uint16_t currentResolution;  // mA
};

struct StatusBlock {
  int16_t outputPwm;             // 0.1 %
  uint16_t phaseCurrent;         // 0.01 A
  int16_t commutationFrequency;  // 0.1 Hz, or 1 Hz when rangeFlag != 0
  uint16_t completionState;
  uint16_t positionHigh;  // signed 32-bit pulses
  uint16_t positionLow;
  uint16_t completionTimeHigh;  // unsigned 32-bit ms
  uint16_t completionTimeLow;
  int16_t in1Voltage;  // mV
  int16_t in2Voltage;
  int16_t in3Voltage;
  int16_t differentialVoltage;
  uint16_t sq1Level;
  uint16_t sq2Level;
  uint16_t inputPwm;       // 0.1 %
  int16_t inputFrequency;  // Hz
  uint16_t inputPulsesHigh;  // signed 32-bit count
  uint16_t inputPulsesLow;
  uint16_t reserved18;
  uint16_t errorState;
  uint16_t motorSpeed;  // RPM, or 10 RPM when rangeFlag != 0; 0xFFFF none
  uint16_t rangeFlag;
};

struct RampBlock {
  uint16_t pwmRise;  // 0.1 s
  uint16_t pwmFall;  // 0.1 s
  uint16_t acceleration;  // 0.1 Hz/s
  uint16_t deceleration;  // 0.1 Hz/s
};

struct MotorParamBlock {
  uint16_t pwmStopBuffer;  // 0.1 s
  uint16_t pwmStartBuffer;
  uint16_t maxAcceleration;  // 0.1 Hz/s
  uint16_t defaultAcceleration;
  uint16_t maxDeceleration;
  uint16_t defaultDeceleration;
  uint16_t maxFrequency;  // 0.1 Hz
  uint16_t defaultFrequency;
  uint16_t reserved8;
  uint16_t reserved9;
  uint16_t ratedCurrent;  // 0.01 A
  uint16_t maxLoadCurrent;
  uint16_t brakeCurrent;
  uint16_t phaseOrder[3];  // two bytes each, high byte first
  uint16_t speedAlgorithm;  // bit 0
  uint16_t positionTolerance;  // pulses
  uint16_t overshootCorrection;  // bit 0
  uint16_t poleCount;
  uint16_t gearRatio;  // 0.1
  uint16_t learnState;  // bit 0: learned
  uint16_t learningDisabled;  // bit 0
};

struct SystemParamBlock {
  uint16_t limitTriggerPolarity;
  uint16_t digitalSignalPolarity;
  uint16_t potentiometerMode;
  uint16_t pulseSignalType;
  uint16_t analogSignalType;
  uint16_t logicLevelType;
  uint16_t potVoltageLow;  // 0.001 V
  uint16_t potVoltageHigh;
  uint16_t analogRangeLow;  // 0.001
  uint16_t analogRangeHigh;
  uint16_t logicThreshold;  // 0.001 V
  uint16_t compareDeadband;  // 0.001 V
  float pulseRatio;
  uint16_t stallStopTime;  // 0.1 s
  uint16_t reserved15;
  uint16_t serialBaudHigh;  // 32-bit bit/s, combined by the page
  uint16_t serialBaudLow;
  uint16_t serialParity;
  uint16_t reserved19;
  uint16_t lockConfigOver485;  // bit 0
  uint16_t commLossBrakeTime;  // 0.1 s
  float analogGain;
  int16_t analogOffset;  // 0.001
  uint16_t alarmDisabled;  // bit 0
};

struct ReciprocateBlock {
  uint16_t resetMode;
  uint16_t fineResetEnabled;
  uint32_t totalStroke;  // pulses
  uint16_t coarseResetSpeed;  // 0.1 Hz
  uint16_t fineResetSpeed;
  uint16_t finishSpeed;
  uint16_t inputDeadband;  // 0.1 %
  uint16_t resetAfterLimit;
  uint16_t resetTorqueCurrent;  // 0.01 A
};

struct PresetSpeedBlock {
  uint16_t speedMode;
  uint16_t contactMode;
  uint16_t forwardSpeed;  // 0.01 in torque mode, else 0.1
  uint16_t reverseSpeed;
};

struct PidBlock {
  float holdKp, holdKi, holdKd;
  float speedKp, speedKi, speedKd;
  float positionKp, positionKi, positionKd;
};

// The position move, always written whole.
struct PositionMoveBlock {
  uint16_t frequency;     // 0.1 Hz
  uint16_t positionType;  // 0 absolute, 1 relative
  uint16_t positionHigh;  // signed 32-bit pulses
  uint16_t positionLow;
};

// Room for the five head registers and up to eleven results. Word 4 tells
// ReadLearningBlock how many result registers to read after the head.
struct LearningBlock {
  uint16_t words[16];
};

// A run of bytes in a record.
struct ByteRange {
  uint16_t offset = 0;
  uint16_t length = 0;
};

// One block of the map: where it lives, how big its record is, which of its
// register pairs the block operations turn into host 32-bit values, and
// which bytes are text that stays in wire order.
struct BlockSpec {
  const char* name;
  uint16_t start;
  uint16_t count;  // registers read and written (the learning block varies)
  uint16_t recordBytes;
  bool writable;
  std::array<ByteRange, 2> wordPairs;
  ByteRange wireOrderText;
};

namespace RegisterMap {

constexpr BlockSpec DeviceInfo{"DeviceInfoBlock", 0x0000, 14, sizeof(DeviceInfoBlock), false, {}, {4, 16}};
constexpr BlockSpec Status{"StatusBlock", 0x0020, 22, sizeof(StatusBlock), false, {}, {}};
constexpr BlockSpec Ramp{"RampBlock", 0x0050, 4, sizeof(RampBlock), true, {}, {}};
constexpr BlockSpec MotorParams{"MotorParamBlock", 0x0060, 23, sizeof(MotorParamBlock), true, {}, {}};
constexpr BlockSpec SystemParams{
    "SystemParamBlock", 0x0080, 26, sizeof(SystemParamBlock), true, {{{24, 4}, {44, 4}}}, {}};
constexpr BlockSpec Reciprocate{"ReciprocateBlock", 0x00A0, 10, sizeof(ReciprocateBlock), true, {{{4, 4}}}, {}};
constexpr BlockSpec PresetSpeed{"PresetSpeedBlock", 0x00B0, 4, sizeof(PresetSpeedBlock), true, {}, {}};
constexpr BlockSpec Pid{"PidBlock", 0x00BA, 18, sizeof(PidBlock), true, {{{0, 36}}}, {}};
// Written four registers at a time; read 5 + N registers, at most 16.
constexpr BlockSpec Learning{"LearningBlock", 0x00E0, 4, sizeof(LearningBlock), true, {}, {}};
// Its 32-bit position stays two words; the write puts the high one first.
constexpr BlockSpec PositionMove{"PositionMoveBlock", 0x0044, 4, sizeof(PositionMoveBlock), true, {}, {}};

constexpr uint16_t StopCommand = 0x0040;
constexpr uint16_t PwmDutyCommand = 0x0042;
constexpr uint16_t FrequencyCommand = 0x0043;
constexpr uint16_t ThirdSpeedCommand = 0x0044;
constexpr uint16_t PositionMoveStart = PositionMove.start;
constexpr uint16_t PositionMoveCount = PositionMove.count;
constexpr uint16_t ReciprocateCommand = 0x00AA;
constexpr uint16_t LearningHeadRegisters = 5;
constexpr uint16_t LearningMaxRegisters = 16;
// Words of the learning block: the run flag (1 starts a run, 0 when the
// driver has stopped it), the state (3 learned, 4 failed, others running),
// the number of result words a read asks for, and the results, the six
// phase-order values.
constexpr int LearningRunFlagWord = 1;
constexpr int LearningStateWord = 2;
constexpr int LearningCountWord = 4;
constexpr int LearningFirstResultWord = LearningHeadRegisters;
constexpr int LearningResultWords = 6;
constexpr uint16_t LearningSucceeded = 3;
constexpr uint16_t LearningFailed = 4;

// Speed command registers by selector (0 PWM duty, 1 frequency, 2 third).
constexpr std::array<uint16_t, 3> SpeedCommandRegisters{PwmDutyCommand, FrequencyCommand, ThirdSpeedCommand};

// Values of the reciprocation command register.
constexpr uint16_t ReciprocateCancel = 1;
constexpr uint16_t ReciprocateResetSq1 = 2;
constexpr uint16_t ReciprocateResetSq2 = 3;
constexpr uint16_t ReciprocateMeasureStroke = 4;

}  // namespace RegisterMap

// The records must match the register layout byte for byte.
static_assert(sizeof(DeviceInfoBlock) == 28 && offsetof(DeviceInfoBlock, model) == 4);
static_assert(sizeof(StatusBlock) == 44);
static_assert(sizeof(RampBlock) == 8);
static_assert(sizeof(MotorParamBlock) == 46 && offsetof(MotorParamBlock, phaseOrder) == 26);
static_assert(sizeof(SystemParamBlock) == 52 && offsetof(SystemParamBlock, pulseRatio) == 24 &&
              offsetof(SystemParamBlock, serialBaudHigh) == 32 && offsetof(SystemParamBlock, analogGain) == 44);
static_assert(sizeof(ReciprocateBlock) == 20 && offsetof(ReciprocateBlock, totalStroke) == 4);
static_assert(sizeof(PresetSpeedBlock) == 8);
static_assert(sizeof(PidBlock) == 36);
static_assert(sizeof(LearningBlock) == 32);
static_assert(sizeof(PositionMoveBlock) == 8);

#include "fields/StatusTexts.h"

#include <cstdint>
#include <cstring>

#include "fields/CFormat.h"
#include "lang/Texts.h"

namespace fields {
namespace {

enum class Kind {
  Scaled,       // 16-bit value x scale, through a floating-point format
  Integer,      // 16-bit value through an integer format
  Pair32,       // 32-bit value of two registers (high first), integer format
  ScaledPair32, // 32-bit value of two registers x scale, floating-point format
  Flag,         // one of two texts: zero / not zero
  Frequency,    // commutation frequency, unit chosen by the range flag
  Speed,        // motor speed, unit chosen by the range flag, 0xFFFF = none
  ErrorCode,    // error-state text
};

struct StatusEntry {
  StatusField field;
  int reg;  // register index within the block
  Kind kind;
  bool isSigned;
  double scale;
  const char* format;    // number kinds
  const char* whenZero;  // Flag
  const char* whenSet;   // Flag
};

constexpr int RangeFlagRegister = static_cast<int>(StatusRangeFlagRegister);
constexpr uint16_t NoSpeed = 0xFFFF;

// In the order the window sets them.
constexpr StatusEntry kStatusFields[StatusFieldCount] = {
    {{"outputPwm", "输出PWM", "%", true}, 0, Kind::Scaled, true, 0.1, "%.1f%%", nullptr, nullptr},
    {{"phaseCurrent", "相电流", "A", true}, 1, Kind::Scaled, false, 0.01, "%.2fA", nullptr, nullptr},
    {{"position", "转动位置", "脉冲", true}, 4, Kind::Pair32, true, 1.0, "%ld", nullptr, nullptr},
    {{"commutationFrequency", "换向频率", "Hz", true}, 2, Kind::Frequency, true, 0.1, nullptr, nullptr, nullptr},
    {{"in1Voltage", "IN1电压", "V", true}, 8, Kind::Scaled, true, 0.001, "%.3fV", nullptr, nullptr},
    {{"in2Voltage", "IN2电压", "V", true}, 9, Kind::Scaled, true, 0.001, "%.3fV", nullptr, nullptr},
    {{"in3Voltage", "IN3电压", "V", true}, 10, Kind::Scaled, true, 0.001, "%.3fV", nullptr, nullptr},
    {{"differentialVoltage", "差分电压", "V", true}, 11, Kind::Scaled, true, 0.001, "%.3fV", nullptr, nullptr},
    {{"sq1Level", "SQ1电平", "", false}, 12, Kind::Flag, false, 1.0, nullptr, "低", "高"},
    {{"sq2Level", "SQ2电平", "", false}, 13, Kind::Flag, false, 1.0, nullptr, "低", "高"},
    {{"inputPwm", "输入PWM", "%", true}, 14, Kind::Scaled, false, 0.1, "%.1f%%", nullptr, nullptr},
    {{"inputFrequency", "输入频率", "Hz", true}, 15, Kind::Integer, true, 1.0, "%dHz", nullptr, nullptr},
    {{"inputPulses", "输入脉冲", "脉冲", true}, 16, Kind::Pair32, true, 1.0, "%ld", nullptr, nullptr},
    {{"completionTime", "完成时间", "s", false}, 6, Kind::ScaledPair32, false, 0.001, "%.1fs", nullptr, nullptr},
    {{"completionState", "完成状态", "", false}, 3, Kind::Flag, false, 1.0, nullptr, "否", "是"},
    {{"motorSpeed", "电机转速", "RPM", true}, 20, Kind::Speed, false, 1.0, nullptr, nullptr, nullptr},
    {{"errorState", "错误状态", "", false}, 19, Kind::ErrorCode, false, 1.0, nullptr, nullptr, nullptr},
};

static_assert(kStatusFields[StatusFieldCount - 1].reg == static_cast<int>(StatusErrorRegister));

constexpr std::array<StatusField, StatusFieldCount> FieldsOf() {
  std::array<StatusField, StatusFieldCount> fields{};
  for (size_t i = 0; i < StatusFieldCount; ++i) fields[i] = kStatusFields[i].field;
  return fields;
}
constexpr std::array<StatusField, StatusFieldCount> kFields = FieldsOf();

constexpr size_t kMeasuredCount = [] {
  size_t count = 0;
  for (const StatusEntry& entry : kStatusFields) count += entry.field.measured ? 1 : 0;
  return count;
}();
constexpr std::array<size_t, kMeasuredCount> kMeasured = [] {
  std::array<size_t, kMeasuredCount> measured{};
  size_t next = 0;
  for (size_t i = 0; i < StatusFieldCount; ++i) {
    if (kStatusFields[i].field.measured) measured[next++] = i;
  }
  return measured;
}();

// Output PWM, phase current, IN1, IN2 and the differential voltage, SQ1,
// SQ2 and the commutation frequency.
constexpr std::array<size_t, StatusFailureFieldCount> kFailureFields = {0, 1, 4, 5, 7, 8, 9, 3};

constexpr const char* kErrorTexts[] = {"无", "未学习", "堵转停止", "霍尔错误", "达不到目标速度"};

using Registers = std::array<uint16_t, sizeof(StatusBlock) / 2>;

int Value16(uint16_t word, bool isSigned) { return isSigned ? static_cast<int16_t>(word) : word; }

Registers RegistersOf(const StatusBlock& status) {
  Registers regs;
  std::memcpy(regs.data(), &status, sizeof status);
  return regs;
}

uint32_t Value32(const Registers& regs, int reg) {
  return (static_cast<uint32_t>(regs[reg]) << 16) | regs[reg + 1];
}

std::string FieldTextOf(const StatusEntry& field, const Registers& regs) {
  const uint16_t word = regs[field.reg];
  const bool coarse = regs[RangeFlagRegister] != 0;
  switch (field.kind) {
    case Kind::Scaled:
      return CFormat(field.format, Value16(word, field.isSigned) * field.scale);
    case Kind::Integer:
      return CFormat(field.format, Value16(word, field.isSigned));
    case Kind::Pair32:
      return CFormat(field.format, static_cast<long>(static_cast<int32_t>(Value32(regs, field.reg))));
    case Kind::ScaledPair32:
      return CFormat(field.format, Value32(regs, field.reg) * field.scale);
    case Kind::Flag:
      return lang::Tr(word != 0 ? field.whenSet : field.whenZero);
    case Kind::Frequency:
      return coarse ? CFormat("%dHz", Value16(word, true)) : CFormat("%.1fHz", Value16(word, true) * 0.1);
    case Kind::Speed:
      if (word == NoSpeed) return "-";
      return CFormat("%dRPM", coarse ? word * 10 : static_cast<int>(word));
    case Kind::ErrorCode:
      return ErrorStateText(word);
  }
  return {};
}

}  // namespace

std::span<const StatusField> StatusFields() { return kFields; }

std::span<const size_t> MeasuredStatusFields() { return kMeasured; }

std::array<std::string, StatusFieldCount> StatusTexts(const StatusBlock& status) {
  const Registers regs = RegistersOf(status);
  std::array<std::string, StatusFieldCount> texts;
  for (size_t i = 0; i < StatusFieldCount; ++i) texts[i] = FieldTextOf(kStatusFields[i], regs);
  return texts;
}

std::optional<double> StatusValue(const StatusBlock& status, size_t field) {
  if (field >= StatusFieldCount || !kStatusFields[field].field.measured) return std::nullopt;
  const StatusEntry& entry = kStatusFields[field];
  const Registers regs = RegistersOf(status);
  const uint16_t word = regs[entry.reg];
  const bool coarse = regs[RangeFlagRegister] != 0;
  switch (entry.kind) {
    case Kind::Scaled:
    case Kind::Integer:
      return Value16(word, entry.isSigned) * entry.scale;
    case Kind::Pair32:
      return static_cast<int32_t>(Value32(regs, entry.reg));
    case Kind::ScaledPair32:
      return Value32(regs, entry.reg) * entry.scale;
    case Kind::Frequency:
      return coarse ? Value16(word, true) : Value16(word, true) * 0.1;
    case Kind::Speed:
      if (word == NoSpeed) return std::nullopt;
      return coarse ? word * 10.0 : word;
    case Kind::Flag:
    case Kind::ErrorCode:
      break;
  }
  return std::nullopt;
}

std::optional<StatusRange> StatusValueRange(size_t field) {
  if (field >= StatusFieldCount || !kStatusFields[field].field.measured) return std::nullopt;
  const StatusEntry& entry = kStatusFields[field];
  const double low16 = entry.isSigned ? INT16_MIN : 0;
  const double high16 = entry.isSigned ? INT16_MAX : UINT16_MAX;
  switch (entry.kind) {
    case Kind::Scaled:
    case Kind::Integer:
      return StatusRange{low16 * entry.scale, high16 * entry.scale};
    case Kind::Pair32:
      return StatusRange{INT32_MIN, INT32_MAX};
    case Kind::ScaledPair32:
      return StatusRange{0, UINT32_MAX * entry.scale};
    case Kind::Frequency:
      return StatusRange{INT16_MIN, INT16_MAX};  // the coarse unit's reach holds the fine one's
    case Kind::Speed:
      return StatusRange{0, (NoSpeed - 1) * 10.0};
    case Kind::Flag:
    case Kind::ErrorCode:
      break;
  }
  return std::nullopt;
}

const std::array<size_t, StatusFailureFieldCount>& StatusFailureFields() { return kFailureFields; }

StatusPlace StatusPlaceOf(size_t field) {
  if (field >= StatusFieldCount) return {0, 0, false};
  const StatusEntry& entry = kStatusFields[field];
  const bool pair = entry.kind == Kind::Pair32 || entry.kind == Kind::ScaledPair32;
  const bool ranged = entry.kind == Kind::Frequency || entry.kind == Kind::Speed;
  return {static_cast<size_t>(entry.reg), pair ? 2u : 1u, ranged};
}

int StatusDecimals(size_t field) {
  if (field >= StatusFieldCount) return 0;
  const StatusEntry& entry = kStatusFields[field];
  if (entry.kind == Kind::Frequency) return 1;  // the finer of its two units
  int decimals = 0;
  for (double step = entry.scale; step < 0.999 && decimals < 6; step *= 10) ++decimals;
  return decimals;
}

const char* ErrorStateText(unsigned code) {
  constexpr unsigned known = sizeof kErrorTexts / sizeof kErrorTexts[0];
  return lang::Tr(code < known ? kErrorTexts[code] : "未知错误");
}

}  // namespace fields

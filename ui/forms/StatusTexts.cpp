#include "ui/forms/StatusTexts.h"

#include <cstdint>
#include <cstring>

#include "ui/forms/CFormat.h"
#include "ui/forms/ControlIds.h"

namespace forms {
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

struct StatusField {
  int controlId;
  int reg;  // register index within the block
  Kind kind;
  bool isSigned;
  double scale;
  const char* format;    // number kinds
  const char* whenZero;  // Flag
  const char* whenSet;   // Flag
};

constexpr int RangeFlagRegister = 21;
constexpr uint16_t NoSpeed = 0xFFFF;

// In the order the window sets them.
constexpr StatusField kStatusFields[StatusFieldCount] = {
    {ids::OutputPwm, 0, Kind::Scaled, true, 0.1, "%.1f%%", nullptr, nullptr},
    {ids::PhaseCurrent, 1, Kind::Scaled, false, 0.01, "%.2fA", nullptr, nullptr},
    {ids::Position, 4, Kind::Pair32, true, 1.0, "%ld", nullptr, nullptr},
    {ids::CommutationFrequency, 2, Kind::Frequency, true, 0.1, nullptr, nullptr, nullptr},
    {ids::In1Voltage, 8, Kind::Scaled, true, 0.001, "%.3fV", nullptr, nullptr},
    {ids::In2Voltage, 9, Kind::Scaled, true, 0.001, "%.3fV", nullptr, nullptr},
    {ids::In3Voltage, 10, Kind::Scaled, true, 0.001, "%.3fV", nullptr, nullptr},
    {ids::DifferentialVoltage, 11, Kind::Scaled, true, 0.001, "%.3fV", nullptr, nullptr},
    {ids::Sq1Level, 12, Kind::Flag, false, 1.0, nullptr, "低", "高"},
    {ids::Sq2Level, 13, Kind::Flag, false, 1.0, nullptr, "低", "高"},
    {ids::InputPwm, 14, Kind::Scaled, false, 0.1, "%.1f%%", nullptr, nullptr},
    {ids::InputFrequency, 15, Kind::Integer, true, 1.0, "%dHz", nullptr, nullptr},
    {ids::InputPulses, 16, Kind::Pair32, true, 1.0, "%ld", nullptr, nullptr},
    {ids::CompletionTime, 6, Kind::ScaledPair32, false, 0.001, "%.1fs", nullptr, nullptr},
    {ids::CompletionState, 3, Kind::Flag, false, 1.0, nullptr, "否", "是"},
    {ids::MotorSpeed, 20, Kind::Speed, false, 1.0, nullptr, nullptr, nullptr},
    {ids::ErrorState, 19, Kind::ErrorCode, false, 1.0, nullptr, nullptr, nullptr},
};

constexpr std::array<int, StatusFailureFieldCount> kFailureFields = {
    ids::OutputPwm,  ids::PhaseCurrent, ids::In1Voltage, ids::In2Voltage,
    ids::DifferentialVoltage, ids::Sq1Level, ids::Sq2Level, ids::CommutationFrequency,
};

constexpr const char* kErrorTexts[] = {"无", "未学习", "堵转停止", "霍尔错误", "达不到目标速度"};

using Registers = std::array<uint16_t, sizeof(StatusBlock) / 2>;

int Value16(uint16_t word, bool isSigned) { return isSigned ? static_cast<int16_t>(word) : word; }

uint32_t Value32(const Registers& regs, int reg) {
  return (static_cast<uint32_t>(regs[reg]) << 16) | regs[reg + 1];
}

std::string FieldTextOf(const StatusField& field, const Registers& regs) {
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
      return word != 0 ? field.whenSet : field.whenZero;
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

std::array<FieldText, StatusFieldCount> StatusTexts(const StatusBlock& status) {
  Registers regs;
  std::memcpy(regs.data(), &status, sizeof status);
  std::array<FieldText, StatusFieldCount> texts;
  for (size_t i = 0; i < StatusFieldCount; ++i) {
    texts[i] = {kStatusFields[i].controlId, FieldTextOf(kStatusFields[i], regs)};
  }
  return texts;
}

const std::array<int, StatusFailureFieldCount>& StatusFailureFields() { return kFailureFields; }

const char* ErrorStateText(unsigned code) {
  constexpr unsigned known = sizeof kErrorTexts / sizeof kErrorTexts[0];
  return code < known ? kErrorTexts[code] : "未知错误";
}

}  // namespace forms

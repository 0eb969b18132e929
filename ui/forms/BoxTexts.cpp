#include "ui/forms/BoxTexts.h"

#include "ui/forms/ControlIds.h"

namespace forms {
namespace {

// The control of each field, in the order of fields::StatusFields().
constexpr std::array<int, StatusFieldCount> kStatusControls = {
    ids::OutputPwm,   ids::PhaseCurrent, ids::Position,      ids::CommutationFrequency, ids::In1Voltage,
    ids::In2Voltage,  ids::In3Voltage,   ids::DifferentialVoltage, ids::Sq1Level,       ids::Sq2Level,
    ids::InputPwm,    ids::InputFrequency, ids::InputPulses, ids::CompletionTime,       ids::CompletionState,
    ids::MotorSpeed,  ids::ErrorState,
};

// In the order of fields::DeviceInfoFields().
constexpr std::array<int, DeviceInfoFieldCount> kInfoControls = {
    ids::DeviceId,      ids::Version,    ids::Model,           ids::PwmResolution,
    ids::PwmFrequency,  ids::MaxCurrent, ids::CurrentResolution,
};

template <size_t N>
std::array<FieldText, N> WithControls(const std::array<int, N>& controls, std::array<std::string, N> texts) {
  std::array<FieldText, N> fields;
  for (size_t i = 0; i < N; ++i) fields[i] = {controls[i], std::move(texts[i])};
  return fields;
}

}  // namespace

std::array<FieldText, StatusFieldCount> StatusTexts(const StatusBlock& status) {
  return WithControls(kStatusControls, fields::StatusTexts(status));
}

const std::array<int, StatusFailureFieldCount>& StatusFailureFields() {
  static const std::array<int, StatusFailureFieldCount> controls = [] {
    std::array<int, StatusFailureFieldCount> ids{};
    for (size_t i = 0; i < StatusFailureFieldCount; ++i) ids[i] = kStatusControls[fields::StatusFailureFields()[i]];
    return ids;
  }();
  return controls;
}

std::array<FieldText, DeviceInfoFieldCount> DeviceInfoTexts(const DeviceInfoBlock& info) {
  return WithControls(kInfoControls, fields::DeviceInfoTexts(info));
}

}  // namespace forms

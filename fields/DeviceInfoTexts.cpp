#include "fields/DeviceInfoTexts.h"

#include <cstring>

#include "fields/CFormat.h"

namespace fields {
namespace {


constexpr InfoField kFields[DeviceInfoFieldCount] = {
    {"identity", "设备标识", ""},
    {"version", "版本号", ""},
    {"model", "设备型号", ""},
    {"pwmResolution", "PWM分辨率", ""},
    {"pwmFrequency", "PWM频率", "kHz"},
    {"maxCurrent", "最大电流", "A"},
    {"currentResolution", "电流分辨率", "mA"},
};

// All sixteen bytes of the register text: a model that fills them is shown
// whole ("KVB-4815-RS485-S"), not cut at fifteen.
std::string ModelText(const DeviceInfoBlock& info) {
  const auto* end = static_cast<const char*>(std::memchr(info.model, '\0', sizeof info.model));
  return std::string(info.model, end != nullptr ? end : info.model + sizeof info.model);
}

}  // namespace

std::span<const InfoField> DeviceInfoFields() { return kFields; }

std::array<std::string, DeviceInfoFieldCount> DeviceInfoTexts(const DeviceInfoBlock& info) {
  return {
      CFormat("0x%04X", static_cast<unsigned>(info.deviceId)),
      CFormat("%d.%02d", info.version >> 8, info.version & 0xFF),
      ModelText(info),
      CFormat("1/%d", static_cast<int>(info.pwmResolution)),
      CFormat("%.1fkHz", info.pwmFrequency * 0.001),
      CFormat("%.1fA", info.maxCurrent * 0.01),
      CFormat("%dmA", static_cast<int>(info.currentResolution)),
  };
}

}  // namespace fields

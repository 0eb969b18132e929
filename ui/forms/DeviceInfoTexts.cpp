#include "ui/forms/DeviceInfoTexts.h"

#include <cstring>

#include "ui/forms/CFormat.h"
#include "ui/forms/ControlIds.h"

namespace forms {
namespace {

// At most this many bytes of the 16-byte model are shown.
constexpr size_t ModelShown = 15;

std::string ModelText(const DeviceInfoBlock& info) {
  char model[sizeof info.model];
  std::memcpy(model, info.model, sizeof model);
  model[ModelShown] = '\0';
  return CFormat("%s", model);
}

}  // namespace

std::array<FieldText, DeviceInfoFieldCount> DeviceInfoTexts(const DeviceInfoBlock& info) {
  return {{
      {ids::DeviceId, CFormat("0x%04X", static_cast<unsigned>(info.deviceId))},
      {ids::Version, CFormat("%d.%02d", info.version >> 8, info.version & 0xFF)},
      {ids::Model, ModelText(info)},
      {ids::PwmResolution, CFormat("1/%d", static_cast<int>(info.pwmResolution))},
      {ids::PwmFrequency, CFormat("%.1fkHz", info.pwmFrequency * 0.001)},
      {ids::MaxCurrent, CFormat("%.1fA", info.maxCurrent * 0.01)},
      {ids::CurrentResolution, CFormat("%dmA", static_cast<int>(info.currentResolution))},
  }};
}

}  // namespace forms

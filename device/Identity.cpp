#include "device/Identity.h"

namespace {

bool IsException(ModbusResult result) { return result >= 0x01 && result <= 0x7F; }

}  // namespace

ModbusResult ReadDeviceIdentity(DriverLink& link, uint8_t slave, DeviceIdentity& identity) {
  DeviceIdentity read;
  ModbusResult result = link.ReadDeviceInfo(slave, read.info);
  if (result != ResultSuccess) return result;
  read.texts = fields::DeviceInfoTexts(read.info);
  std::string text;
  result = link.ReadDeviceIdentificationText(slave, text);
  if (result == ResultSuccess) {
    read.objects = SplitIdentificationText(text);
  } else if (!IsException(result)) {
    return result;
  }
  identity = std::move(read);
  return ResultSuccess;
}

std::vector<std::pair<std::string, std::string>> SplitIdentificationText(const std::string& text) {
  std::vector<std::pair<std::string, std::string>> objects;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    const size_t colon = line.find(':');
    if (colon == std::string::npos) {
      objects.emplace_back(line, std::string());
    } else {
      objects.emplace_back(line.substr(0, colon), line.substr(colon + 1));
    }
    start = end + 2;
  }
  return objects;
}

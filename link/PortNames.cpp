#include "link/PortNames.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "link/HomeFolder.h"

namespace fs = std::filesystem;

namespace {

// Devices named prefix + number, in numeric order ("ttyUSB2" before "ttyUSB10").
std::vector<std::string> NumberedDevices(const fs::path& folder, std::string_view prefix) {
  std::vector<std::pair<unsigned long, std::string>> found;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
    const std::string digits = name.substr(prefix.size());
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) continue;
    found.emplace_back(std::strtoul(digits.c_str(), nullptr, 10), name);
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> names;
  for (auto& item : found) names.push_back(std::move(item.second));
  return names;
}

// A ttyS port is real when a device stands behind it, other than the
// placeholder that the 8250 driver registers for legacy ports that may not
// exist.
bool OnBoardUartPresent(const std::string& name) {
  std::error_code error;
  const fs::path device = fs::path("/sys/class/tty") / name / "device";
  if (!fs::exists(device, error)) return false;
  const fs::path target = fs::read_symlink(device, error);
  return error || target.filename() != "serial8250";
}

}  // namespace

std::string PortsDirectory() {
  if (const char* folder = std::getenv("KORVELT_PORTS"); folder != nullptr && *folder != '\0') return folder;
  return HomeFolder() + "/.korvelt/ports";
}

std::vector<std::string> EnumerateSerialDevices() {
  std::vector<std::string> devices;
  for (const char* prefix : {"ttyUSB", "ttyACM"}) {
    for (const std::string& name : NumberedDevices("/dev", prefix)) devices.push_back("/dev/" + name);
  }
  for (const std::string& name : NumberedDevices("/sys/class/tty", "ttyS")) {
    if (OnBoardUartPresent(name)) devices.push_back("/dev/" + name);
  }
  return devices;
}

std::string ResolveComPort(unsigned portNumber) {
  if (portNumber == 0) return {};
  const fs::path link = fs::path(PortsDirectory()) / ("COM" + std::to_string(portNumber));
  std::error_code error;
  if (fs::exists(fs::symlink_status(link, error)) && !error) return link.string();
  const std::vector<std::string> devices = EnumerateSerialDevices();
  if (portNumber <= devices.size()) return devices[portNumber - 1];
  return {};
}

std::string ComLinkPath(unsigned portNumber) {
  return (fs::path(PortsDirectory()) / ("COM" + std::to_string(portNumber))).string();
}

std::string StableDeviceName(const std::string& device, const std::string& folder) {
  std::error_code error;
  const fs::path target = fs::canonical(device, error);
  if (error) return {};
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    std::error_code entryError;
    if (fs::canonical(entry.path(), entryError) == target && !entryError) names.push_back(entry.path().string());
  }
  // Should two names reach one device, the answer does not depend on the
  // order of the folder.
  std::sort(names.begin(), names.end());
  return names.empty() ? std::string() : names.front();
}

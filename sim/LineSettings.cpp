#include "sim/LineSettings.h"

// termios2 reads rates that have no termios constant (14400); its header
// clashes with <termios.h>, which this unit therefore does without.
#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace sim {

namespace {

Parity ParityOfFlags(tcflag_t flags) {
  if (flags & PARENB) return (flags & PARODD) ? Parity::Odd : Parity::Even;
  if (flags & CSTOPB) return Parity::None2;
  return (flags & PARODD) ? Parity::Odd : Parity::Even;
}

}  // namespace

LineSettings SettingsFromRegisters(uint32_t baudRate, uint16_t parity) {
  LineSettings settings;
  // A rate past the int range is no rate: its cast is negative.
  if (IsBaudRate(static_cast<int>(baudRate))) settings.baud = baudRate;
  settings.parity = ParityFromIndex(parity);
  return settings;
}

std::string Describe(const LineSettings& settings) {
  return std::to_string(settings.baud) + " bit/s " + std::string(ParityName(settings.parity));
}

std::optional<LineSettings> MasterSettings(int fd) {
  struct termios2 settings {};
  if (ioctl(fd, TCGETS2, &settings) != 0) return std::nullopt;
  return LineSettings{static_cast<unsigned>(settings.c_ospeed), ParityOfFlags(settings.c_cflag)};
}

}  // namespace sim

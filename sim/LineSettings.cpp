#include "sim/LineSettings.h"

// termios2 reads rates that have no termios constant (14400); its header
// clashes with <termios.h>, which this unit therefore does without.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <algorithm>

#include "sim/NameTable.h"

namespace sim {

namespace {

constexpr Named<Parity> kParities[] = {
    {Parity::None2, "none2"},
    {Parity::Odd, "odd"},
    {Parity::Even, "even"},
};

Parity ParityOfFlags(tcflag_t flags) {
  if (flags & PARENB) return (flags & PARODD) ? Parity::Odd : Parity::Even;
  if (flags & CSTOPB) return Parity::None2;
  return (flags & PARODD) ? Parity::Odd : Parity::Even;
}

}  // namespace

bool IsBaudRate(unsigned baud) { return std::ranges::find(BaudRates, baud) != std::end(BaudRates); }

std::string_view ParityName(Parity parity) { return NameIn(kParities, parity); }

std::optional<Parity> ParityFromName(std::string_view name) { return ValueIn(kParities, name); }

uint16_t ParityRegister(Parity parity) { return static_cast<uint16_t>(parity); }

LineSettings SettingsFromRegisters(uint32_t baudRate, uint16_t parity) {
  LineSettings settings;
  if (IsBaudRate(baudRate)) settings.baud = baudRate;
  settings.parity = static_cast<Parity>(std::min<uint16_t>(parity, ParityRegister(Parity::Even)));
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

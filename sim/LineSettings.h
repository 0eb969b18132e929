// The driver's own serial settings (baud rate and parity, as its system
// parameter registers hold them), and the settings of the master on the
// other side of a pseudo-terminal, read back from the terminal itself.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "link/Line.h"

namespace sim {

// The rates (kBaudRates) and parities of the tool's lines; the parity
// register holds ParityIndex.
struct LineSettings {
  unsigned baud = 9600;
  Parity parity = Parity::None2;
  bool operator==(const LineSettings&) const = default;
};

// The settings a driver starts with from its baud rate pair and parity
// register. Like the port, a parity value past 2 means even; a rate the
// driver does not offer falls back to the factory 9600 bit/s.
LineSettings SettingsFromRegisters(uint32_t baudRate, uint16_t parity);

// "9600 bit/s none2".
std::string Describe(const LineSettings& settings);

// The settings of the port that the master opened on the other side of the
// pseudo-terminal `fd` (the master side of a pty shares the termios of its
// slave); nothing when `fd` is not a terminal. A pseudo-terminal drops the
// parity-enable flag but keeps the odd flag and the stop bits, so "odd"
// shows as the odd flag, "none2" as two stop bits, and one stop bit without
// the odd flag as even parity (no parity with one stop bit, which the tool
// never uses, cannot be told from it).
std::optional<LineSettings> MasterSettings(int fd);

}  // namespace sim

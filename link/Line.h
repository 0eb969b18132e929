// The line the tool talks on: a port, a rate and a parity. Every other form
// of it (the connection panel's list positions, korvelt's options, the
// files' names, the scan's choices, the simulated driver's registers, the
// port's termios settings) is converted from and to this one, here.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// Always 8 data bits; the enumerators' values are the positions in the
// connection panel's parity list and the values of the driver's parity
// register.
enum class Parity { None2 = 0, Odd = 1, Even = 2 };

// The rates the driver offers, in the order of the panel's list.
inline constexpr int kBaudRates[] = {9600, 14400, 19200, 38400, 57600, 115200};
bool IsBaudRate(int baud);
// "9600, 14400, 19200, 38400, 57600, 115200": for help texts and messages.
std::string BaudRateList();

// Every parity, in the order of the panel's list.
inline constexpr Parity kParities[] = {Parity::None2, Parity::Odd, Parity::Even};

// "none2" (no parity, two stop bits), "odd", "even": as korvelt takes them
// and the files record them.
std::string_view ParityName(Parity parity);
std::optional<Parity> ParityFromName(std::string_view name);
// A list position or a register value; like the port, anything past 2
// means even, anything below 0 none with two stop bits.
Parity ParityFromIndex(int index);
inline int ParityIndex(Parity parity) { return static_cast<int>(parity); }

// "COM3" (or "com3") → 3; 0 for a device path or anything else.
unsigned ComNumberOf(const std::string& port);
// A port named by its device ("/dev/ttyUSB0"), not by a COM number nor by
// a network address ("tcp://...").
inline bool IsDevicePath(const std::string& port) {
  return port.find('/') != std::string::npos && port.find("://") == std::string::npos;
}

struct Line {
  std::string port;  // "COM3", a device path, or a network port (link/PortText.h)
  int baud = 9600;
  Parity parity = Parity::None2;
  bool operator==(const Line&) const = default;
};

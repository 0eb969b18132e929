// How a COM number of the connection panel names a serial device on Linux.
#pragma once

#include <string>
#include <vector>

// The folder of user-made port links: $KORVELT_PORTS, else ~/.korvelt/ports
// (the account's home folder when HOME is unset). The tool and the
// simulated driver both take it from here.
std::string PortsDirectory();

// Serial devices present on this machine in COM order: USB adapters first
// (ttyUSB*, then ttyACM*, each in numeric order), then on-board UARTs that
// have a real device behind them.
std::vector<std::string> EnumerateSerialDevices();

// The device path of COM `portNumber`: the link PortsDirectory()/COMn when it
// exists, else the n-th entry of EnumerateSerialDevices(); empty when
// neither names a device.
std::string ResolveComPort(unsigned portNumber);

// The link PortsDirectory()/COMn, whether it exists or not.
std::string ComLinkPath(unsigned portNumber);

// Where udev keeps the names of USB serial adapters that survive replugging.
constexpr const char* kStableNamesFolder = "/dev/serial/by-id";

// The stable name under `folder` of the device that `device` reaches (after
// following links), or empty when it has none.
std::string StableDeviceName(const std::string& device, const std::string& folder = kStableNamesFolder);

// The port text of a line names one of four kinds of port: a local serial
// port ("COM3", "/dev/ttyUSB0") or a port across the network, where the
// line ends at an Ethernet box:
//   tcp://HOST:PORT        a device server in raw mode: RTU bytes over TCP
//   rfc2217://HOST:PORT    a device server over Telnet with COM-port control
//   modbus-tcp://HOST[:PORT]  a Modbus TCP gateway (port 502 unless given)
// HOST is a name, an IPv4 address or an IPv6 address in brackets
// ("[::1]:4001"). Pure parsing, no I/O.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

enum class PortKind { Serial, Tcp, Rfc2217, ModbusTcp };

struct NetworkAddress {
  PortKind kind = PortKind::Tcp;
  std::string host;  // without the brackets of an IPv6 address
  uint16_t port = 0;
};

// The kind the text asks for by its scheme; Serial for a text without
// "://". A text with an unknown scheme is Serial too, and fails as a port
// that does not exist.
PortKind KindOfPort(const std::string& text);
inline bool IsNetworkPort(const std::string& text) { return KindOfPort(text) != PortKind::Serial; }

// The address of a network port text; nothing for a serial port or for a
// network text that does not hold a host and a port from 1 to 65535.
std::optional<NetworkAddress> ParseNetworkPort(const std::string& text);

// "host:port", with brackets around an IPv6 address: for messages.
std::string HostAndPort(const NetworkAddress& address);

// Whether the port can set the line's rate and parity (a serial port and a
// COM-port-control server can; a raw server and a gateway keep their own).
bool PortSetsLine(PortKind kind);

// The Modbus TCP port a gateway listens on unless the text says otherwise.
constexpr uint16_t kModbusTcpPort = 502;

// Why a port did not open, as the serial layer saw it: a kind and the path
// it tried. The window turns this into words; nothing here is text.
#pragma once

#include <string>

enum class OpenFailureKind {
  None,              // the last open succeeded (or none was tried)
  AlreadyOpen,       // the link already holds a port
  InvalidNumber,     // COM number outside 1..1024
  InvalidMode,       // line settings that cannot be: a rate below 1
  NoDevice,          // no COMn link and fewer serial devices than n
  DanglingLink,      // the COMn link points at nothing
  PermissionDenied,  // the user may not open the device
  Busy,              // another program holds the device
  NotATerminal,      // the path names something that is no tty
  RateRefused,       // the device does not take the baud rate
  BadAddress,        // a network port text without a host and a port
  NameNotResolved,   // the host's name has no address; `detail` says why
  ConnectionRefused, // nothing listens at the address
  HostUnreachable,   // no route to the address
  ConnectTimedOut,   // the connection did not come within its time
  ServerClosed,      // the server closed the connection at once; `detail` is what it said
  SettingRefused,    // a COM-port-control server did not confirm the settings: baudRate asked,
                     // `detail` the rate it confirmed (empty: no confirmation in time)
  NoComPortControl,  // a Telnet server that refuses COM-port control
  CannotListen,      // a Modbus TCP gateway: no line to listen to
  SystemError,       // anything else; `error` says what
};

struct OpenFailure {
  OpenFailureKind kind = OpenFailureKind::None;
  // The path opened: the COMn link or the device. For NoDevice the link that
  // was looked for. For a network port its "host:port".
  std::string device;
  unsigned portNumber = 0;
  int baudRate = 0;  // RateRefused: the rate asked for
  int error = 0;     // errno of the call that failed, 0 where none did
  std::string detail{};  // what a resolver or a server said, where it said anything
};

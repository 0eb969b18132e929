// The way the bytes of a line travel between the tool and the driver's bus:
// a local serial port, a TCP connection to a device server, or Telnet with
// COM-port control. The link's transactions, its reader and the listener
// see only this: a descriptor to wait on, non-blocking reads and writes,
// purges, and the line's settings where the channel can set them.
//
// Like the serial port, a channel takes no lock of its own: its owner
// serialises Close() with everything else. (The Telnet channel only keeps
// its own answers to the server apart from the line's bytes.)
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <sys/types.h>

#include "link/Line.h"
#include "link/OpenFailure.h"
#include "link/PortText.h"

class ByteChannel {
 public:
  virtual ~ByteChannel() = default;

  virtual PortKind Kind() const = 0;
  // Opens the port that `line` names (closing one open before) and sets
  // its rate and parity; on failure closed, and LastOpenFailure says why.
  virtual bool OpenLine(const Line& line) = 0;
  // As OpenLine, for a listener that sends nothing; refused where the port
  // carries nothing but the tool's own exchanges.
  virtual bool OpenToListen(const Line& line) { return OpenLine(line); }
  virtual bool IsOpen() const = 0;
  virtual void Close() = 0;
  // Sets the line's rate and parity where the channel can (a serial port,
  // a COM-port-control server); a raw TCP connection carries whatever the
  // device server's line is set to and takes any setting.
  virtual bool Configure(int baudRate, Parity parity) = 0;
  // Why the last open or Configure failed; kind None after one that succeeded.
  virtual const OpenFailure& LastOpenFailure() const = 0;

  // Raises RTS and asks for low latency where the device has them; refusal
  // is no error.
  virtual void PrepareLine() {}
  virtual void PurgeInput() = 0;
  virtual void PurgeOutput() = 0;
  // Bytes waiting to be read; -1 when the channel cannot tell.
  virtual int QueuedInput() const = 0;
  // Line errors (frame, parity, overrun) since the previous call; 0 where
  // the channel cannot see them.
  virtual unsigned TakeLineErrors() { return 0; }
  // What came of an answer so far is not all of it: a channel whose far end
  // may hold the rest back until it hears the first piece acknowledged asks
  // for the acknowledgement now.
  virtual void ExpectMore() {}

  // Non-blocking; return what read(2)/write(2) return, 0 on a read when
  // the far end has gone.
  virtual ssize_t Read(uint8_t* buffer, size_t size) = 0;
  virtual ssize_t Write(const uint8_t* data, size_t size) = 0;

  // What to wait on for input (and for a hang-up).
  virtual int Descriptor() const = 0;
  // What the open reached: the device ("/dev/ttyUSB0") or the server's
  // address ("127.0.0.1:4001"); empty while closed.
  virtual const std::string& DevicePath() const = 0;
  // The connection's round trip as last measured; zero for a local port.
  virtual std::chrono::microseconds RoundTrip() const { return std::chrono::microseconds(0); }
};

// How long a connection to a network port may take to come up.
inline constexpr std::chrono::milliseconds kConnectTimeout{3000};

// A closed channel of the kind that the port text names.
std::unique_ptr<ByteChannel> MakeChannel(PortKind kind);
// Opens the port that `line` names, of whichever kind, and sets its rate
// and parity. Null on failure, with `failure` saying why.
std::unique_ptr<ByteChannel> OpenChannel(const Line& line, OpenFailure& failure);

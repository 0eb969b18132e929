// One serial line on a POSIX terminal device: exclusive open by COM number,
// raw 8-bit line settings from a rate and a parity, RTS, purges, queue and
// line-error counts, non-blocking reads and writes.
//
// The class takes no lock of its own: the link that owns it waits for its
// transaction and stops its reader before Close(), and serialises writes
// with Close() itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>

#include "link/ByteChannel.h"
#include "link/Line.h"
#include "link/OpenFailure.h"

struct termios;
// Makes `tio` a raw line of 8 data bits at `baudRate` with `parity`: no
// parity and two stop bits, or odd or even parity and one stop bit. The one
// place a line becomes termios settings. Returns false when the rate has no
// termios constant (the rate is then left at 9600 for the caller to set).
bool ApplyLineSettings(termios& tio, int baudRate, Parity parity);

class SerialPort : public ByteChannel {
 public:
  SerialPort() = default;
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;
  ~SerialPort() override;

  PortKind Kind() const override { return PortKind::Serial; }

  // Opens COM `portNumber` (resolved by ResolveComPort) for exclusive use.
  // Closes a port that is already open first.
  bool Open(unsigned portNumber);
  // Opens a device by its path; Open() ends here.
  bool OpenDevice(const std::string& path);
  void Close() override;
  bool IsOpen() const override { return fd_ >= 0; }
  // Opens the line's port, by its COM number or as the device it names,
  // and configures it; closed again when the settings are refused.
  bool OpenLine(const Line& line) override;

  // Raw line as ApplyLineSettings makes it, no flow control, receiver on.
  // Rates without a termios constant (14400) are set as arbitrary rates. A
  // device that keeps a rate more than 2 % away from the one asked for has
  // refused it: the line would carry nothing but garbage.
  bool Configure(int baudRate, Parity parity) override;
  // Why the last Open, OpenDevice or Configure failed; kind None after one
  // that succeeded.
  const OpenFailure& LastOpenFailure() const override { return lastFailure_; }
  // Raises RTS. Devices without modem lines refuse it; that is no error.
  bool RaiseRts();
  // Asks USB adapters that buffer input for low latency; refusal is no error.
  bool RequestLowLatency();
  // Both of the above.
  void PrepareLine() override;

  void PurgeInput() override;
  void PurgeOutput() override;
  // Bytes waiting in the input queue; -1 when the device cannot tell.
  int QueuedInput() const override;
  // Frame, parity, overrun and break errors counted by the driver since the
  // previous call; 0 where the device keeps no such counters (asked once, at
  // open: a pseudo-terminal and some adapters keep none).
  unsigned TakeLineErrors() override;

  // Non-blocking; return what read(2)/write(2) return.
  ssize_t Read(uint8_t* buffer, size_t size) override;
  ssize_t Write(const uint8_t* data, size_t size) override;

  // The rate the device is really set to; 0 while closed.
  int BaudRate() const;

  int Descriptor() const override { return fd_; }
  unsigned PortNumber() const { return portNumber_; }
  const std::string& DevicePath() const override { return devicePath_; }

 private:
  struct LineErrorCounts {
    int frame = 0, parity = 0, overrun = 0, brk = 0, bufferOverrun = 0;
  };
  bool ReadErrorCounts(LineErrorCounts& counts) const;
  bool Refuse(OpenFailureKind kind, const std::string& path, int error);

  int fd_ = -1;
  unsigned portNumber_ = 0;
  std::string devicePath_;
  LineErrorCounts lastErrors_;
  bool keepsErrorCounts_ = false;
  OpenFailure lastFailure_;
};

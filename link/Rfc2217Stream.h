// A device server over Telnet with COM-port control: the line's bytes
// travel escaped in the Telnet stream, and the line's rate, data size,
// parity and stop bits are set on the server as on a local port, each
// setting confirmed by the server before the port counts as open.
#pragma once

#include <chrono>
#include <mutex>

#include "link/Telnet.h"
#include "link/TcpStream.h"

class Rfc2217Stream : public TcpStream {
 public:
  // Connects and asks for COM-port control, then sets the line.
  bool OpenLine(const Line& line) override;
  // Sends the settings and waits for the server to confirm each; a
  // server that refuses the option, does not answer in time, or confirms
  // another rate has refused them (SettingRefused).
  bool Configure(int baudRate, Parity parity) override;
  void PurgeInput() override;
  ssize_t Read(uint8_t* buffer, size_t size) override;
  ssize_t Write(const uint8_t* data, size_t size) override;

  // How long the server has to confirm the settings.
  static constexpr std::chrono::milliseconds SettingTimeout{2000};

 private:
  // Answers the server's negotiation, and notes its confirmations.
  void Handle(const telnet::Command& command);
  // Whole or not at all, one sender at a time: the reader thread answers
  // the server's negotiation while a transaction sends its request.
  bool SendAll(const uint8_t* bytes, size_t length);
  // Reads the stream, line bytes dropped, until `done` or the deadline.
  bool ReadUntil(const std::function<bool()>& done, std::chrono::steady_clock::time_point deadline);

  // At most this many line bytes go out in one Write.
  static constexpr size_t MaxLineWrite = 256;
  telnet::Decoder decoder_;
  bool comPortRefused_ = false;
  // The confirmations of the settings sent last, and the rate confirmed.
  unsigned confirmed_ = 0;
  uint32_t confirmedRate_ = 0;
  // What the server was told of each option, so that each is answered once.
  bool said_[2][256] = {};
  std::mutex sending_;
};

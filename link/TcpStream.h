// A TCP connection to a device server or a gateway, as a channel for the
// link: connected within a time, its small writes sent at once, a dead peer
// noticed by keep-alive probes, the round trip read from the kernel.
#pragma once

#include <chrono>
#include <string>

#include "base/UniqueFd.h"
#include "link/ByteChannel.h"
#include "link/PortText.h"

class TcpStream : public ByteChannel {
 public:
  TcpStream() = default;
  TcpStream(const TcpStream&) = delete;
  TcpStream& operator=(const TcpStream&) = delete;
  ~TcpStream() override = default;

  // Resolves the host, tries each of its addresses in turn until one takes
  // the connection, all within `timeout`. A server that closes the
  // connection at once (a device server whose line another client holds)
  // has refused it: ServerClosed, with what it said.
  bool Connect(const NetworkAddress& address, std::chrono::milliseconds timeout);

  // Connects to the server that the line's port text names, within
  // kConnectTimeout.
  bool OpenLine(const Line& line) override;
  // A Modbus TCP gateway carries only this client's requests and their
  // answers: nothing to listen to.
  bool OpenToListen(const Line& line) override;
  PortKind Kind() const override { return kind_; }
  bool IsOpen() const override { return fd_.Valid(); }
  void Close() override;
  // A raw connection carries whatever the server's line is set to.
  bool Configure(int /*baudRate*/, Parity /*parity*/) override { return IsOpen(); }
  const OpenFailure& LastOpenFailure() const override { return lastFailure_; }
  // What has come and not been read is dropped; what is sent is gone.
  void PurgeInput() override;
  void PurgeOutput() override {}
  int QueuedInput() const override;
  ssize_t Read(uint8_t* buffer, size_t size) override;
  void ExpectMore() override;
  ssize_t Write(const uint8_t* data, size_t size) override;
  int Descriptor() const override { return fd_.Get(); }
  const std::string& DevicePath() const override { return peer_; }
  std::chrono::microseconds RoundTrip() const override;

 protected:
  bool Refuse(OpenFailureKind kind, int error, const std::string& detail = {});
  OpenFailure lastFailure_;

 private:
  bool ConnectOne(const struct addrinfo& candidate, std::chrono::steady_clock::time_point deadline, int& error);
  // After the connection came: a server that closes it at once refused it.
  bool ServerKeptConnection();

  UniqueFd fd_;
  PortKind kind_ = PortKind::Tcp;
  std::string peer_;  // "host:port" as the text named it
  std::chrono::microseconds connectTime_{0};
};

#include "link/ByteChannel.h"

#include "link/Rfc2217Stream.h"
#include "link/SerialPort.h"
#include "link/TcpStream.h"

std::unique_ptr<ByteChannel> MakeChannel(PortKind kind) {
  if (kind == PortKind::Serial) return std::make_unique<SerialPort>();
  if (kind == PortKind::Rfc2217) return std::make_unique<Rfc2217Stream>();
  return std::make_unique<TcpStream>();
}

std::unique_ptr<ByteChannel> OpenChannel(const Line& line, OpenFailure& failure) {
  std::unique_ptr<ByteChannel> channel = MakeChannel(KindOfPort(line.port));
  if (channel->OpenLine(line)) return channel;
  failure = channel->LastOpenFailure();
  return nullptr;
}

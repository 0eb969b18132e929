// The listener on a pseudo-terminal, another thread playing a master and
// its driver on the far side.
#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <thread>

#include "NetworkPeers.h"
#include "PtyPair.h"
#include "WireBytes.h"
#include "link/Listener.h"
#include "link/ByteChannel.h"
#include "link/SerialPort.h"

namespace {

TEST(Listener, SplitsWhatBothSidesSayAndEndsWhenStoppedOrWhenThePortGoes) {
  const int baud = 9600;
  PtyPair pty;
  SerialPort port;
  ASSERT_TRUE(port.OpenDevice(pty.SlavePath()) && port.Configure(baud, Parity::Even));
  std::mutex mutex;
  std::vector<std::string> frames;  // kind, CRC verdict, bytes
  std::thread::id handler;
  const auto onFrame = [&](const SplitFrame& f) {
    std::lock_guard lock(mutex);
    handler = std::this_thread::get_id();
    frames.push_back("RAXU"[static_cast<int>(f.kind)] + std::string(f.crcGood ? "+ " : "- ") +
                     Hex(std::vector<uint8_t>(f.bytes.begin(), f.bytes.end())));
  };
  Listener listener;
  ASSERT_TRUE(listener.Start(port, baud, onFrame));
  EXPECT_FALSE(listener.Start(port, baud, onFrame)) << "already listening";

  const std::vector<uint8_t> traffic[] = {WithCrc("01 03 00 20 00 02"), WithCrc("01 03 04 00 01 00 02"),
                                          WithCrc("01 06 00 42 00 10"), WithCrc("01 86 60"), Bytes("00 FF 5A")};
  std::thread peers([&] {
    for (const auto& frame : traffic) WriteAll(pty.Master(), frame);
  });
  peers.join();
  // The noise at the end comes out once the line has been quiet a while.
  ASSERT_TRUE(WaitUntil([&] {
    std::lock_guard lock(mutex);
    return frames.size() == std::size(traffic);
  }));
  const char* kinds[] = {"R+ ", "A+ ", "R+ ", "X+ ", "U- "};
  for (size_t i = 0; i < std::size(traffic); ++i) EXPECT_EQ(frames[i], kinds[i] + Hex(traffic[i]));
  EXPECT_NE(handler, std::this_thread::get_id());
  // The listener sleeps on an idle line: the stop wakes it.
  listener.RequestStop();
  listener.Join();
  EXPECT_EQ(listener.Ended(), ListenEnd::Stopped);

  ASSERT_TRUE(listener.Start(port, baud, onFrame));
  pty.Hangup();
  ASSERT_TRUE(WaitUntil([&] { return !listener.Running(); }));
  EXPECT_EQ(listener.Ended(), ListenEnd::PortLost);
  EXPECT_TRUE(listener.Active()) << "not joined yet";
  EXPECT_TRUE(listener.Start(port, baud, onFrame)) << "ended by itself, it may start again";
  listener.Join();
  EXPECT_EQ(listener.Ended(), ListenEnd::PortLost);
}

// Through a device server the line is heard as on a local port: raw, and
// through Telnet with COM-port control, whose own commands are no line bytes.
TEST(Listener, HearsTheLineThroughADeviceServer) {
  for (const Ser2net::Mode mode : {Ser2net::Mode::Raw, Ser2net::Mode::Rfc2217}) {
    PtyPair pty;
    Ser2net server(pty.SlavePath(), mode);
    ASSERT_TRUE(server.Ready());
    const Line line{server.PortText(), 9600, Parity::Even};
    std::unique_ptr<ByteChannel> port = MakeChannel(KindOfPort(line.port));
    ASSERT_TRUE(port->OpenToListen(line)) << line.port;
    std::mutex mutex;
    std::vector<std::string> frames;
    Listener listener;
    ASSERT_TRUE(listener.Start(*port, line.baud, [&](const SplitFrame& f) {
      std::lock_guard lock(mutex);
      frames.push_back(Hex(std::vector<uint8_t>(f.bytes.begin(), f.bytes.end())));
    }));
    const std::vector<uint8_t> traffic[] = {WithCrc("01 03 00 20 00 02"), WithCrc("01 03 04 00 01 FF 02")};
    for (const auto& frame : traffic) WriteAll(pty.Master(), frame);
    ASSERT_TRUE(WaitUntil([&] {
      std::lock_guard lock(mutex);
      return frames.size() == std::size(traffic);
    })) << line.port;
    for (size_t i = 0; i < std::size(traffic); ++i) EXPECT_EQ(frames[i], Hex(traffic[i])) << line.port;
    listener.RequestStop();
    listener.Join();
  }
}

}  // namespace

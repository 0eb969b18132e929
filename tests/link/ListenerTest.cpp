// The listener on a pseudo-terminal, another thread playing a master and
// its driver on the far side.
#include <gtest/gtest.h>

#include <mutex>
#include <thread>

#include "PtyPair.h"
#include "WireBytes.h"
#include "link/Listener.h"
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

}  // namespace

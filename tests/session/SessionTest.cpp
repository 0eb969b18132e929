// A session over a pseudo-terminal against the simulated driver: the line
// as opened and the origin it fills, whether named by COM number or by
// device; a failed open that keeps the line before; lending the port to a
// scan and taking it back in the same recording; a line opened only to be
// listened to.
#include <gtest/gtest.h>

#include <vector>

#include "SimulatedLine.h"
#include "session/Session.h"

namespace {

using session::Session;

TEST(SessionTest, TheLineAsOpenedAndTheOriginItFills) {
  SimulatedLine simulated(3);
  simulated.Driver().SetAddress(7);
  struct Case {
    const char* name;
    Line line;
  };
  const std::vector<Case> cases = {
      {"by COM number", {"COM3", 9600, Parity::None2}},
      {"by a lower-case COM number", {"com3", 19200, Parity::Odd}},
      {"by device", {simulated.Pty().SlavePath(), 115200, Parity::Even}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Session s("test");
    s.Address() = 7;
    EXPECT_EQ(s.LineBaud(), 0);
    ASSERT_TRUE(s.OpenLine(c.line, Session::Open::NewSession));
    EXPECT_EQ(s.OpenedLine(), c.line);
    EXPECT_EQ(s.LineBaud(), c.line.baud);
    EXPECT_FALSE(s.OpenedDevice().empty());
    StatusBlock status{};
    EXPECT_EQ(s.Link().ReadStatus(s.Address(), status), ResultSuccess) << "the link talks to the driver";

    s.Close();
    EXPECT_FALSE(s.IsOpen());
    EXPECT_EQ(s.LineBaud(), 0);
    // The files written after the close still name what the rows came from.
    const device::Origin origin = s.Origin();
    EXPECT_EQ(origin.tool.rfind("test ", 0), 0u) << origin.tool;
    EXPECT_EQ(origin.line, c.line);
    EXPECT_EQ(origin.devicePath, s.OpenedDevice());
    EXPECT_EQ(origin.address, 7);

    // A port that does not open leaves the line as opened before.
    EXPECT_FALSE(s.OpenLine({"COM9", 9600, Parity::None2}, Session::Open::NewSession));
    EXPECT_EQ(s.OpenedLine(), c.line);
  }
}

TEST(SessionTest, APortLentToAScanComesBackInTheSameRecording) {
  SimulatedLine simulated(2);
  const Line line{"COM2", 38400, Parity::Odd};
  Session s("test");
  ASSERT_TRUE(s.OpenLine(line, Session::Open::NewSession));
  s.Recording().AddGap(recording::SteadyClock::now());
  const uint64_t samples = s.Recording().End();
  ASSERT_EQ(samples, 1u);

  EXPECT_TRUE(s.LendToScan());
  EXPECT_FALSE(s.IsOpen());
  EXPECT_TRUE(s.Lent());
  EXPECT_TRUE(s.WasOpenWhenLent());
  EXPECT_EQ(s.TakeBack(), Session::Return::Reopened);
  EXPECT_TRUE(s.IsOpen());
  EXPECT_FALSE(s.Lent());
  EXPECT_EQ(s.OpenedLine(), line);
  EXPECT_EQ(s.Recording().End(), samples) << "a scan is a pause, not a new session";
  EXPECT_EQ(s.TakeBack(), Session::Return::Nothing) << "back once";

  // Lent while closed: it stays closed.
  s.Close();
  EXPECT_FALSE(s.LendToScan());
  EXPECT_FALSE(s.WasOpenWhenLent());
  EXPECT_EQ(s.TakeBack(), Session::Return::Nothing);
  EXPECT_FALSE(s.IsOpen());

  // The adapter went while the scan had the port.
  ASSERT_TRUE(s.OpenLine(line, Session::Open::SameSession));
  EXPECT_EQ(s.Recording().End(), samples);
  EXPECT_TRUE(s.LendToScan());
  simulated.Unplug();
  EXPECT_EQ(s.TakeBack(), Session::Return::ReopenFailed);
  EXPECT_FALSE(s.IsOpen());

  // A new session starts a new recording.
  SimulatedLine again(2);
  ASSERT_TRUE(s.OpenLine(line, Session::Open::NewSession));
  EXPECT_EQ(s.Recording().End(), 0u);
}

TEST(SessionTest, ALineOpenedToListenHasNoLinkOnIt) {
  SimulatedLine simulated(4);
  const Line line{"com4", 19200, Parity::Even};
  Session s("test");
  ASSERT_TRUE(s.OpenToListen(line));
  EXPECT_TRUE(s.ListenedPort().IsOpen());
  EXPECT_FALSE(s.IsOpen()) << "no link talks on it";
  EXPECT_EQ(s.OpenedLine(), line);
  EXPECT_FALSE(s.OpenedDevice().empty());
  EXPECT_FALSE(s.OpenLine(line, Session::Open::NewSession)) << "the port is the listener's";
  EXPECT_EQ(s.Link().LastOpenFailure().kind, OpenFailureKind::Busy);
  EXPECT_FALSE(s.OpenToListen(line)) << "open already";
  EXPECT_TRUE(s.ListenedPort().IsOpen()) << "and left open";

  s.Close();
  EXPECT_FALSE(s.ListenedPort().IsOpen());
  ASSERT_TRUE(s.OpenLine(line, Session::Open::NewSession));
  EXPECT_FALSE(s.OpenToListen(line)) << "the link has it";
  EXPECT_FALSE(s.ListenedPort().IsOpen());
  // A port that is not there says why.
  s.Close();
  EXPECT_FALSE(s.OpenToListen({"COM9", 9600, Parity::None2}));
  EXPECT_NE(s.ListenedPort().LastOpenFailure().kind, OpenFailureKind::None);
  EXPECT_EQ(s.OpenedLine(), line);
}

}  // namespace

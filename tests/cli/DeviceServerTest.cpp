// The README's recipe for a driver behind an RS-485-to-Ethernet device
// server: socat links a pseudo-terminal into the ports folder as a COM
// number and carries its bytes over raw TCP, here to the simulated driver
// served on the loopback address; korvelt reaches it as COM7.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

#include "ChildProcess.h"
#include "KorveltRun.h"
#include "PtyPair.h"

namespace {

using namespace std::chrono_literals;

TEST(DeviceServer, ADriverBehindRawTcpIsReachedAsAComNumberThroughSocat) {
  ASSERT_STRNE(SOCAT_EXECUTABLE, "") << "socat is missing: run scripts/install-deps";
  PortsFolder ports;
  ChildProcess server({KORVELT_SIM_EXECUTABLE, "--tcp", "0", "--learned"});
  const std::optional<std::string> ready = server.ReadLine(10s);
  const std::string prefix = "korvelt-driver-sim: tcp 127.0.0.1:";
  ASSERT_TRUE(ready && ready->rfind(prefix, 0) == 0) << ready.value_or("(nothing)");
  const std::string port = ready->substr(prefix.size());

  // As the README gives it, with the server's address and the ports folder
  // of the test.
  const std::string link = ports.Path() + "/COM7";
  ChildProcess socat({SOCAT_EXECUTABLE, "pty,link=" + link + ",rawer", "tcp:127.0.0.1:" + port});
  ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(link); }, 5000ms)) << "socat made no link";

  const KorveltRun info = RunKorvelt({"--port", "COM7", "info"});
  EXPECT_EQ(info.status, 0) << info.err;
  EXPECT_NE(info.out.find("KVB-4815-RS485-S"), std::string::npos) << info.out;

  socat.Signal(SIGTERM);
  EXPECT_TRUE(socat.Wait(5s).has_value());
  server.Signal(SIGTERM);
  EXPECT_EQ(server.Wait(5s), 0);
}

}  // namespace

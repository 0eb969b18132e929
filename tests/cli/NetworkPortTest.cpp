// The driver's line behind a device server: ser2net on the loopback
// address in front of the simulated driver's pseudo-terminal, reached as
// tcp:// by korvelt and by the link itself; and every way a connection can
// fail to come, or go while it is used.
#include <gtest/gtest.h>

#include <chrono>

#include "KorveltRun.h"
#include "NetworkPeers.h"
#include "SimulatedLine.h"
#include "driver/DriverLink.h"
#include "link/ModbusMaster.h"

namespace {

using namespace std::chrono_literals;

// One flow as a technician runs it: information, a block read, a block
// written and read back, the status.
void ExpectFullFlow(const std::string& port) {
  const KorveltRun info = RunKorvelt({"--port", port, "info"});
  EXPECT_EQ(info.status, 0) << info.err;
  EXPECT_NE(info.out.find("KVB-4815-RS485-S"), std::string::npos) << info.out;

  const KorveltRun write = RunKorvelt({"--port", port, "write", "ramp", "pwmRise=1.5"});
  EXPECT_EQ(write.status, 0) << write.err;
  const KorveltRun read = RunKorvelt({"--port", port, "--json", "read", "ramp"});
  ASSERT_EQ(read.status, 0) << read.err;
  EXPECT_NE(read.out.find("1.5"), std::string::npos) << read.out;

  const KorveltRun status = RunKorvelt({"--port", port, "status"});
  EXPECT_EQ(status.status, 0) << status.err;
  EXPECT_NE(status.out.find("电机转速"), std::string::npos) << status.out;
}

TEST(NetworkPort, ADriverBehindARawDeviceServerIsReachedAsTcp) {
  SimulatedLine line(1);
  Ser2net server(line.Pty().SlavePath(), Ser2net::Mode::Raw);
  ASSERT_TRUE(server.Ready()) << "ser2net did not start";
  ExpectFullFlow(server.PortText());
}

TEST(NetworkPort, EachFailureToConnectIsExplainedWithStatus3) {
  SimulatedLine line(1);
  Ser2net server(line.Pty().SlavePath(), Ser2net::Mode::Raw);
  ASSERT_TRUE(server.Ready());
  BlackHoleListener blackHole;
  const std::string refused = "tcp://127.0.0.1:" + std::to_string(FreeLoopbackPort());
  const std::string silent = "tcp://127.0.0.1:" + std::to_string(blackHole.Port());

  // A device server that already serves a client closes the next at once.
  ModbusMaster holder;
  ASSERT_EQ(holder.OpenLine({server.PortText(), 9600, Parity::None2}), 1);

  struct Case {
    const char* name;
    std::string port;
    int status;
    const char* says;
  } cases[] = {
      {"a name that does not resolve", "tcp://no-such-host.invalid:4001", 3, "无法解析 no-such-host.invalid:4001 的主机名"},
      {"nothing listens", refused, 3, "拒绝连接"},
      {"no connection within its time", silent, 3, "超时"},
      {"the server closes it", server.PortText(), 3, "接受连接后立即关闭了它"},
      {"no port in the text", "tcp://127.0.0.1", 2, "不是网络端口"},
      {"a port out of range", "modbus-tcp://127.0.0.1:70000", 2, "不是网络端口"},
      {"listening to a gateway", "modbus-tcp://127.0.0.1:" + std::to_string(FreeLoopbackPort()), 3, "无法监听总线"},
  };
  for (const Case& c : cases) {
    const bool listen = std::string(c.name) == "listening to a gateway";
    const KorveltRun run = listen ? RunKorvelt({"--port", c.port, "listen", "--count", "1"})
                                  : RunKorvelt({"--port", c.port, "info"});
    EXPECT_EQ(run.status, c.status) << c.name << ": " << run.err;
    if (c.status == 3) {
      EXPECT_NE(run.err.find("打开串口失败"), std::string::npos) << c.name << ": " << run.err;
    }
    EXPECT_NE(run.err.find(c.says), std::string::npos) << c.name << ": " << run.err;
    EXPECT_EQ(run.out, "") << c.name;
  }
}

// The server goes while the status is polled: as with a pulled adapter,
// the transactions end with the time-out, the link is lost and stays so
// without a wait, and the next open reconnects.
TEST(NetworkPort, AConnectionClosedByTheServerIsAPulledAdapter) {
  SimulatedLine line(1);
  auto server = std::make_unique<Ser2net>(line.Pty().SlavePath(), Ser2net::Mode::Raw);
  ASSERT_TRUE(server->Ready());
  const uint16_t port = server->Port();
  const Line tcp{server->PortText(), 9600, Parity::None2};
  DriverLink link;
  ASSERT_EQ(link.OpenLine(tcp), 1);
  StatusBlock status{};
  ASSERT_EQ(link.ReadStatus(1, status), ResultSuccess);

  server->Stop();
  ASSERT_TRUE(WaitUntil([&] { return link.ReadStatus(1, status) != ResultSuccess && link.PortLost(); }, 5000ms));
  EXPECT_EQ(link.ReadStatus(1, status), ResultTimeout);
  EXPECT_TRUE(link.IsOpen()) << "open until closed, as a pulled adapter's port";

  link.ClosePort();
  server = std::make_unique<Ser2net>(line.Pty().SlavePath(), Ser2net::Mode::Raw, port);
  ASSERT_TRUE(server->Ready());
  ASSERT_EQ(link.OpenLine(tcp), 1);
  EXPECT_EQ(link.ReadStatus(1, status), ResultSuccess);
  EXPECT_FALSE(link.PortLost());
}

}  // namespace

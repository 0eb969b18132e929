// The driver's line behind a device server: ser2net on the loopback
// address in front of the simulated driver's pseudo-terminal, reached as
// tcp:// by korvelt and by the link itself; and every way a connection can
// fail to come, or go while it is used.
#include <gtest/gtest.h>

#include <chrono>
#include <termios.h>

#include <csignal>

#include "KorveltRun.h"
#include "NetworkPeers.h"
#include "SimulatedLine.h"
#include "driver/DriverLink.h"
#include "link/ModbusMaster.h"
#include "sim/SimulatedDriver.h"
#include "traffic/LogView.h"

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

  // A raw server answers no Telnet: the settings are never confirmed.
  SimulatedLine other(2);
  Ser2net raw(other.Pty().SlavePath(), Ser2net::Mode::Raw);
  ASSERT_TRUE(raw.Ready());
  const std::string noTelnet = "rfc2217://127.0.0.1:" + std::to_string(raw.Port());

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
      {"no confirmation of the settings", noTelnet, 3, "没有在 2 秒内确认串口设置（波特率 9600）"},
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

// Through Telnet with COM-port control the tool sets the server's line:
// the flow at the driver's settings, a rate the server carries out on its
// device, and a scan over rates and parities that finds the driver only
// at its own.
TEST(NetworkPort, ATelnetComPortServerTakesTheLinesSettings) {
  sim::LineOptions own;
  own.settings = {19200, Parity::None2};
  own.hearOwnSettingsOnly = true;
  SimulatedLine line(1, {}, own);
  Ser2net server(line.Pty().SlavePath(), Ser2net::Mode::Rfc2217);
  ASSERT_TRUE(server.Ready()) << "ser2net did not start";

  DriverLink link;
  ASSERT_EQ(link.OpenLine({server.PortText(), 38400, Parity::None2}), 1) << int(link.LastOpenFailure().kind);
  termios device{};
  ASSERT_EQ(tcgetattr(line.Pty().Slave(), &device), 0);
  EXPECT_EQ(cfgetospeed(&device), B38400) << "the server set its device's rate";
  StatusBlock status{};
  EXPECT_EQ(link.ReadStatus(1, status), ResultTimeout) << "not the driver's rate";
  link.ClosePort();

  const std::string port = server.PortText();
  const KorveltRun info = RunKorvelt({"--port", port, "--baud", "19200", "info"});
  EXPECT_EQ(info.status, 0) << info.err;
  EXPECT_NE(info.out.find("KVB-4815-RS485-S"), std::string::npos) << info.out;

  const KorveltRun scan =
      RunKorvelt({"--port", port, "--json", "scan", "--addresses", "1", "--bauds", "9600,19200,38400"}, 60000);
  ASSERT_EQ(scan.status, 0) << scan.err;
  const nlohmann::json document = scan.Json();
  ASSERT_EQ(document["found"].size(), 1u) << scan.out;
  EXPECT_EQ(document["found"][0]["baud"], 19200);
  EXPECT_EQ(document["tried"], 3);
}

// The simulated driver's own gateway, as korvelt and mbpoll reach it.
TEST(NetworkPort, ADriverBehindAGatewayIsReachedAsModbusTcp) {
  ChildProcess gateway({KORVELT_SIM_EXECUTABLE, "--modbus-tcp", "0", "--learned"});
  const std::optional<std::string> ready = gateway.ReadLine(10s);
  const std::string prefix = "korvelt-driver-sim: modbus-tcp 127.0.0.1:";
  ASSERT_TRUE(ready && ready->rfind(prefix, 0) == 0) << ready.value_or("(nothing)");
  const std::string port = ready->substr(prefix.size());
  ExpectFullFlow("modbus-tcp://127.0.0.1:" + port);

  // Another master over Modbus TCP: the device identifier, register 0.
  const ProgramResult mbpoll =
      RunProgram({MBPOLL_EXECUTABLE, "-m", "tcp", "-p", port, "-a", "1", "-r", "1", "-c", "2", "-1", "127.0.0.1"}, 10s);
  EXPECT_EQ(mbpoll.exitStatus, 0) << mbpoll.output;
  EXPECT_NE(mbpoll.output.find("[1]: \t2609"), std::string::npos) << mbpoll.output;

  // No driver at the unit: the gateway's own exception, with its text.
  const KorveltRun absent = RunKorvelt({"--port", "modbus-tcp://127.0.0.1:" + port, "--address", "9", "info"});
  EXPECT_NE(absent.status, 0);
  EXPECT_NE(absent.err.find("网关目标设备响应失败"), std::string::npos) << absent.err;
  gateway.Signal(SIGTERM);
  EXPECT_EQ(gateway.Wait(5s), 0);
}

// A Modbus TCP server of another project, libmodbus's, as the gateway:
// a block written, read back and read again; the status read.
TEST(NetworkPort, LibmodbusOwnServerIsReachedAsModbusTcp) {
#ifndef MODBUS_TCP_SERVER_PEER
  GTEST_SKIP() << "libmodbus is missing: run scripts/install-deps";
#else
  ChildProcess peer({MODBUS_TCP_SERVER_PEER});
  const std::optional<std::string> ready = peer.ReadLine(10s);
  ASSERT_TRUE(ready && ready->rfind("port ", 0) == 0) << ready.value_or("(nothing)");
  const std::string port = "modbus-tcp://127.0.0.1:" + ready->substr(5);
  const KorveltRun write = RunKorvelt({"--port", port, "write", "ramp", "pwmRise=1.5"});
  EXPECT_EQ(write.status, 0) << write.err;
  const KorveltRun read = RunKorvelt({"--port", port, "--json", "read", "ramp"});
  EXPECT_EQ(read.status, 0) << read.err;
  EXPECT_NE(read.out.find("1.5"), std::string::npos) << read.out;
  const KorveltRun status = RunKorvelt({"--port", port, "status"});
  EXPECT_EQ(status.status, 0) << status.err;

  // The longest read Modbus TCP carries, 125 registers, comes as 259
  // bytes: more than an RTU frame, and taken whole.
  DriverLink link;
  ASSERT_EQ(link.OpenLine({port, 9600, Parity::None2}), 1);
  ASSERT_EQ(link.WriteSingleRegister(1, 124, 0xBEEF), ResultSuccess);
  uint8_t data[250] = {};
  uint16_t received = sizeof data;
  ASSERT_EQ(link.ReadHoldingRegisters(1, 0, 125, data, &received), ResultSuccess);
  EXPECT_EQ(received, 250);
  EXPECT_EQ(data[248], 0xBE);
  EXPECT_EQ(data[249], 0xEF);
  link.ClosePort();
  peer.Signal(SIGTERM);
  EXPECT_TRUE(peer.Wait(5s).has_value());
#endif
}

// A gateway that sends each answer after a late copy of the one before:
// the late one is told by its transaction identifier, dropped and counted,
// and the answer after it taken. A unit without a path gets its own text.
TEST(NetworkPort, AGatewaysLateAnswersAreDroppedAndCounted) {
  sim::SimulatedDriver driver;
  MisbehavingGateway gateway(driver, true);
  DriverLink link;
  auto log = std::make_shared<FrameLog>();
  link.AttachFrameLog(log);
  ASSERT_EQ(link.OpenLine({gateway.PortText(), 9600, Parity::None2}), 1);
  StatusBlock status{};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(link.ReadStatus(1, status), ResultSuccess) << i;
  EXPECT_EQ(link.Statistics().staleAnswers, 3u) << "every answer but the first had a late one before it";
  EXPECT_EQ(link.Statistics().successes, 4u);

  const ModbusResult noPath = link.ReadStatus(MisbehavingGateway::UnitWithoutPath, status);
  EXPECT_EQ(noPath, 0x0A);
  EXPECT_EQ(ResultText(noPath), "网关路径不可用");
  EXPECT_EQ(ResultText(0x0B), "网关目标设备响应失败");

  // The frame log holds the frames as they went: an MBAP header (the
  // fifth request's identifier, protocol 0, length, unit) before the PDU.
  FrameLogBatch batch;
  log->Read(0, batch);
  const LoggedFrame* request = nullptr;
  for (const LoggedFrame& frame : batch.frames) {
    if (frame.direction == FrameDirection::Request) request = &frame;
  }
  ASSERT_NE(request, nullptr);
  const uint8_t* bytes = batch.bytes.data() + request->offset;
  ASSERT_EQ(request->length, 12u);
  EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + 7), (std::vector<uint8_t>{0, 5, 0, 0, 0, 6, MisbehavingGateway::UnitWithoutPath}));
  // "通讯记录" names the header and reads the frame it carries.
  traffic::FrameDescriber describer;
  const traffic::Record row = describer.Describe(*request, batch.BytesOf(*request));
  EXPECT_EQ(row.meaning.rfind("MBAP 事务 5 单元 200: ", 0), 0u) << row.meaning;
  EXPECT_EQ(row.function, FunctionReadHolding);
  EXPECT_EQ(row.bytes.size(), 12u) << "shown as it went";
}

}  // namespace

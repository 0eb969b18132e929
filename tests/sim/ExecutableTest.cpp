// korvelt-driver-sim as scripts use it: started in the background, waited
// for by its one line, talked to through the COM link, stopped by a signal.
// Also its options.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <filesystem>

#include "ChildProcess.h"
#include "PtyPair.h"
#include "SimTestSupport.h"
#include "base/UniqueFd.h"
#include "sim/CommandLine.h"

using namespace simtest;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

// The device named by the start-up line, or empty.
std::string StartedDevice(ChildProcess& sim, unsigned com) {
  const std::optional<std::string> line = sim.ReadLine(10s);
  if (!line) return {};
  const std::string expected = "korvelt-driver-sim: COM" + std::to_string(com) + " -> /dev/";
  if (line->rfind(expected, 0) != 0 || line->find(' ', expected.size()) != std::string::npos) return {};
  return line->substr(expected.size() - 5);
}

// A raw port, by default at the factory settings (9600 bit/s, no parity,
// two stop bits), which the simulator hears unless told otherwise.
UniqueFd OpenRaw(const std::string& path, speed_t speed = B9600, tcflag_t parityAndStops = CSTOPB) {
  UniqueFd fd(open(path.c_str(), O_RDWR | O_NOCTTY));
  termios settings{};
  if (fd.Valid() && tcgetattr(fd.Get(), &settings) == 0) {
    cfmakeraw(&settings);
    settings.c_cflag &= ~static_cast<tcflag_t>(PARENB | PARODD | CSTOPB);
    settings.c_cflag |= parityAndStops;
    cfsetspeed(&settings, speed);
    tcsetattr(fd.Get(), TCSANOW, &settings);
  }
  return fd;
}

UniqueFd ConnectLocal(uint16_t port) {
  UniqueFd fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  const sockaddr_in address{.sin_family = AF_INET, .sin_port = htons(port), .sin_addr = {htonl(INADDR_LOOPBACK)}, .sin_zero = {}};
  if (connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) fd.Reset();
  return fd;
}

}  // namespace

TEST(DriverSimProgram, LinksItsPortServesAndCleansUpOnSigterm) {
  PortsFolder ports;
  ChildProcess sim({KORVELT_SIM_EXECUTABLE, "--ports", ports.Path(), "--com", "3", "--address", "5", "--learned",
                    "--fault", "exception=0x40", "--fault-count", "1"});
  const std::string device = StartedDevice(sim, 3);
  ASSERT_FALSE(device.empty());
  const fs::path link = fs::path(ports.Path()) / "COM3";
  EXPECT_EQ(fs::read_symlink(link), device);

  UniqueFd port = OpenRaw(link);
  ASSERT_TRUE(port.Valid());
  EXPECT_EQ(ExceptionOf(Exchange(port.Get(), Read(5, 0x0075, 1), 5)), 0x40) << "the injected fault, once";
  EXPECT_EQ(Words(Exchange(port.Get(), Read(5, 0x0075, 1), 7)), std::vector<uint16_t>{1}) << "started learned";
  port.Reset();

  sim.Signal(SIGTERM);
  EXPECT_EQ(sim.Wait(5s), 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
}

TEST(DriverSimProgram, UsesThePortsFolderFromTheEnvironmentAndStopsOnSigint) {
  PortsFolder ports;  // sets $KORVELT_PORTS, which the child inherits
  ChildProcess sim({KORVELT_SIM_EXECUTABLE});
  ASSERT_FALSE(StartedDevice(sim, 1).empty());
  EXPECT_TRUE(fs::is_symlink(fs::path(ports.Path()) / "COM1"));
  sim.Signal(SIGINT);
  EXPECT_EQ(sim.Wait(5s), 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(fs::path(ports.Path()) / "COM1")));
}

TEST(DriverSimProgram, HelpNamesEveryOptionAndBadOptionsAreRefused) {
  const ProgramResult help = RunProgram({KORVELT_SIM_EXECUTABLE, "--help"}, 5s);
  EXPECT_EQ(help.exitStatus, 0);
  for (const char* option : {"--com", "--ports", "--address", "--learned", "--edge-values", "--learning-time", "--learning-outcome",
                             "--stroke-time", "--fault", "--fault-count", "no-answer", "bad-crc", "wrong-address",
                             "exception=", "pieces", "delay=", "garbage", "overlong", "lying-count", "wrong-count",
                             "wrong-echo", "any-address", "split", "ignore-writes", "--baud", "--parity",
                             "--any-settings", "--wire", "--turnaround", "--tcp"}) {
    EXPECT_NE(help.output.find(option), std::string::npos) << option;
  }
  const ProgramResult version = RunProgram({KORVELT_SIM_EXECUTABLE, "--version"}, 5s);
  EXPECT_EQ(version.exitStatus, 0);
  EXPECT_EQ(version.output, "korvelt-driver-sim " KORVELT_VERSION "\n");
  const ProgramResult bad = RunProgram({KORVELT_SIM_EXECUTABLE, "--address", "0"}, 5s);
  EXPECT_EQ(bad.exitStatus, 2);
  EXPECT_NE(bad.output.find("--address"), std::string::npos) << bad.output;
}

TEST(DriverSimProgram, ServesABusWithAFaultAimedAtSomeOfItsDrivers) {
  PortsFolder ports;
  ChildProcess sim({KORVELT_SIM_EXECUTABLE, "--ports", ports.Path(), "--address", "1,2,5-6", "--fault",
                    "@2,6:ignore-writes"});
  const std::string device = StartedDevice(sim, 1);
  ASSERT_FALSE(device.empty());
  UniqueFd port = OpenRaw(device);
  const sim::SimulatedDriver factory;
  const std::vector<uint16_t> untouched = {factory.Register(0x0050), factory.Register(0x0051)};
  const std::vector<uint16_t> written = {3, 7};
  const struct {
    uint8_t address;
    const std::vector<uint16_t>& kept;
  } drivers[] = {{1, written}, {2, untouched}, {5, written}, {6, untouched}};
  for (const auto& d : drivers) {
    EXPECT_EQ(Exchange(port.Get(), WriteOne(d.address, 0x0051, 7), 8), WriteOne(d.address, 0x0051, 7))
        << "every write gets its echo, stored or not";
  }
  ASSERT_EQ(write(port.Get(), WriteOne(0, 0x0050, 3).data(), 8), 8);  // a broadcast, unanswered
  for (const auto& d : drivers) {
    EXPECT_EQ(Words(Exchange(port.Get(), Read(d.address, 0x0050, 2), 9)), d.kept) << int(d.address);
  }
  sim.Signal(SIGTERM);
  EXPECT_EQ(sim.Wait(5s), 0);
}

TEST(DriverSimCommandLine, ParsesFaultsProceduresAndRanges) {
  const auto parse = [](std::vector<const char*> args, sim::CommandLine& line) {
    args.insert(args.begin(), "korvelt-driver-sim");
    std::string error;
    return sim::ParseCommandLine(static_cast<int>(args.size()), args.data(), line, error);
  };
  sim::CommandLine line;
  ASSERT_TRUE(parse({"--fault-count", "3", "--fault", "delay=700", "--learning-time", "1.5", "--learning-outcome",
                     "abort", "--stroke", "1000", "--edge-values"},
                    line));
  EXPECT_TRUE(line.driver.edgeValues);
  EXPECT_EQ(line.fault.kind, sim::FaultKind::Delay);
  EXPECT_EQ(line.fault.delay, 700ms);
  EXPECT_EQ(line.fault.requests, 3u) << "the count survives a later --fault";
  EXPECT_EQ(line.driver.learningDuration, 1500ms);
  EXPECT_EQ(line.driver.learningOutcome, sim::LearningOutcome::AbnormalStop);
  EXPECT_EQ(line.driver.sq2Position - line.driver.sq1Position, 1000);

  sim::CommandLine pieces;
  ASSERT_TRUE(parse({"--fault", "pieces"}, pieces));
  EXPECT_EQ(pieces.fault.kind, sim::FaultKind::Pieces);
  EXPECT_FALSE(pieces.fault.requests.has_value()) << "until stopped";

  sim::CommandLine split, fewer;
  ASSERT_TRUE(parse({"--fault", "split=30"}, split));
  EXPECT_EQ(split.fault.gap, 30ms);
  ASSERT_TRUE(parse({"--fault", "wrong-count=-4"}, fewer));
  EXPECT_EQ(fewer.fault.byteCountError, -4);

  sim::CommandLine bus;
  ASSERT_TRUE(parse({"--fault", "delay=50", "--turnaround", "@2,7-8:60", "--address", "8,1-2,7", "--fault",
                     "@7:no-answer", "--fault-count", "4"},
                    bus));
  EXPECT_EQ(bus.addresses, (std::vector<uint8_t>{1, 2, 7, 8}));
  const struct {
    uint8_t address;
    sim::FaultKind fault;
    std::chrono::microseconds turnaround;
  } served[] = {{1, sim::FaultKind::Delay, DriverTurnaround},
                {2, sim::FaultKind::Delay, 60ms},
                {7, sim::FaultKind::NoAnswer, 60ms},
                {8, sim::FaultKind::Delay, 60ms}};
  for (const auto& d : served) {
    EXPECT_EQ(sim::DriverOptionsFor(bus, d.address).address, d.address);
    EXPECT_EQ(sim::FaultFor(bus, d.address).kind, d.fault) << int(d.address);
    EXPECT_EQ(sim::FaultFor(bus, d.address).requests, 4u) << int(d.address);
    EXPECT_EQ(sim::TurnaroundFor(bus, d.address), d.turnaround) << int(d.address);
  }

  for (std::vector<const char*> bad : {std::vector<const char*>{"--fault", "exception"},
                                       {"--address", "1,1"},
                                       {"--address", "2-5,4"},
                                       {"--address", "5-3"},
                                       {"--address", "1,"},
                                       {"--address", "0-2"},
                                       {"--fault", "@2:no-answer"},  // 2 is not served
                                       {"--fault", "@1no-answer"},
                                       {"--turnaround", "@1:-1"},
                                       {"--com", "@1:2"},
                                       {"--fault", "exception=0"},
                                       {"--fault", "sometimes"},
                                       {"--address", "129"},
                                       {"--com", "x"},
                                       {"--learning-outcome", "maybe"},
                                       {"--learning-time", "-1"},
                                       {"--load", "2"},
                                       {"--baud", "12345"},
                                       {"--parity", "mark"},
                                       {"--tcp", "65536"},
                                       {"--turnaround", "-1"},
                                       {"--com"}}) {
    sim::CommandLine ignored;
    EXPECT_FALSE(parse(bad, ignored)) << bad[0] << " " << (bad.size() > 1 ? bad[1] : "");
  }
}

TEST(DriverSimProgram, HearsOnlyItsOwnLineSettingsAndKeepsThemUntilItsNextStart) {
  PortsFolder ports;
  ChildProcess sim({KORVELT_SIM_EXECUTABLE, "--ports", ports.Path(), "--baud", "19200", "--parity", "even", "--verbose"});
  const std::string device = StartedDevice(sim, 1);
  ASSERT_FALSE(device.empty());
  UniqueFd port = OpenRaw(device, B19200, PARENB);
  EXPECT_EQ(Words(Exchange(port.Get(), Read(1, 0x0090, 3), 11)), (std::vector<uint16_t>{0, 19200, 2}));
  EXPECT_EQ(Exchange(port.Get(), WriteMany(1, 0x0090, {0, 9600, 0}), 8), Sealed({1, 0x10, 0x00, 0x90, 0x00, 0x03}));

  port = OpenRaw(device);  // at the settings just written, which wait for a restart
  ASSERT_EQ(write(port.Get(), Read(1, 0x0090, 3).data(), 8), 8);
  std::optional<std::string> said;
  while ((said = sim.ReadLine(5s)) && said->rfind("korvelt-driver-sim: <- noise", 0) != 0) {
  }
  EXPECT_TRUE(said) << "not heard";
  sim.Signal(SIGTERM);
  EXPECT_EQ(sim.Wait(5s), 0);
}

TEST(DriverSimProgram, ServesOneTcpConnectionAtATimeWithoutAComLink) {
  PortsFolder ports;
  ChildProcess sim({KORVELT_SIM_EXECUTABLE, "--tcp", "0", "--wire", "--turnaround", "0.5", "--baud", "115200"});
  const std::optional<std::string> ready = sim.ReadLine(10s);
  const std::string prefix = "korvelt-driver-sim: tcp 127.0.0.1:";
  ASSERT_TRUE(ready && ready->rfind(prefix, 0) == 0) << ready.value_or("(nothing)");
  const auto port = static_cast<uint16_t>(std::stoi(ready->substr(prefix.size())));
  ASSERT_NE(port, 0);
  EXPECT_TRUE(fs::is_empty(ports.Path()));

  const Bytes request = Read(1, 0x0050, 4);
  const Bytes answer = sim::SimulatedDriver().Respond(request);
  UniqueFd first = ConnectLocal(port);
  UniqueFd second = ConnectLocal(port);  // waits until the first has gone
  ASSERT_TRUE(first.Valid() && second.Valid());
  ASSERT_EQ(write(second.Get(), request.data(), request.size()), static_cast<ssize_t>(request.size()));
  EXPECT_EQ(Exchange(first.Get(), request, answer.size()), answer);
  first.Reset();
  const std::string late = ReadExactly(second.Get(), answer.size(), 3000ms);
  EXPECT_EQ(Bytes(late.begin(), late.end()), answer);

  sim.Signal(SIGTERM);
  EXPECT_EQ(sim.Wait(5s), 0);
}

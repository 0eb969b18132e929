// korvelt-driver-sim: the simulated driver on a pseudo-terminal, reachable as
// COMn through the ports folder, or behind a TCP port on the loopback
// interface.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>
#include <system_error>

#include "link/PortNames.h"
#include "base/UniqueFd.h"
#include "sim/CommandLine.h"
#include "sim/SimulatedDriver.h"
#include "sim/SlaveServer.h"
#include "sim/ModbusTcpGateway.h"
#include "sim/TcpLine.h"

namespace {

namespace fs = std::filesystem;

struct Terminal {
  UniqueFd master;
  // Kept open so the master never sees a hang-up while no port is open on
  // the other side.
  UniqueFd slave;
  std::string device;
};

bool OpenTerminal(Terminal& terminal) {
  int master = -1;
  int slave = -1;
  char name[256] = {};
  if (openpty(&master, &slave, name, nullptr, nullptr) != 0) return false;
  terminal.master.Reset(master);
  terminal.slave.Reset(slave);
  terminal.device = name;
  for (int fd : {master, slave}) {
    termios settings{};
    if (tcgetattr(fd, &settings) == 0) {
      cfmakeraw(&settings);
      tcsetattr(fd, TCSANOW, &settings);
    }
    fcntl(fd, F_SETFD, FD_CLOEXEC);
  }
  return true;
}

// The COMn link for the life of the object; removed only if it still
// points at this simulator's device.
class PortLink {
 public:
  PortLink(fs::path path, std::string device) : path_(std::move(path)), device_(std::move(device)) {}
  ~PortLink() {
    std::error_code error;
    if (fs::read_symlink(path_, error) == device_ && !error) fs::remove(path_, error);
  }
  PortLink(const PortLink&) = delete;
  PortLink& operator=(const PortLink&) = delete;

  bool Create(std::string& problem) {
    std::error_code error;
    fs::create_directories(path_.parent_path(), error);
    if (fs::is_symlink(fs::symlink_status(path_, error))) fs::remove(path_, error);
    error.clear();
    fs::create_symlink(device_, path_, error);
    if (error) problem = path_.string() + ": " + error.message();
    return !error;
  }

 private:
  fs::path path_;
  std::string device_;
};

std::string Hex(const std::vector<uint8_t>& bytes) {
  std::string text;
  char piece[4];
  for (uint8_t byte : bytes) {
    std::snprintf(piece, sizeof piece, "%02X ", byte);
    text += piece;
  }
  return text;
}

void LogTraffic(const std::vector<uint8_t>& request, const sim::Reply& reply) {
  std::fprintf(stderr, "korvelt-driver-sim: <- %s\nkorvelt-driver-sim: -> %s\n", Hex(request).c_str(),
               reply.bytes.empty() ? "(silence)" : Hex(reply.bytes).c_str());
}

// The drivers on the line, one per address, and how each turns round.
class Bus {
 public:
  explicit Bus(const sim::CommandLine& line) {
    for (uint8_t address : line.addresses) {
      auto& driver = drivers_.emplace_back(std::make_unique<sim::SimulatedDriver>(sim::DriverOptionsFor(line, address)));
      driver->SetFault(sim::FaultFor(line, address));
      driver->SetMotorFault(line.motorFault);
      stations_.push_back({driver.get(), sim::TurnaroundFor(line, address)});
      plain_.push_back(driver.get());
    }
  }
  const std::vector<sim::Station>& Stations() const { return stations_; }
  std::span<sim::SimulatedDriver* const> Drivers() const { return plain_; }
  // All drivers start from the same serial registers.
  const sim::SimulatedDriver& First() const { return *drivers_.front(); }

 private:
  std::vector<std::unique_ptr<sim::SimulatedDriver>> drivers_;
  std::vector<sim::Station> stations_;
  std::vector<sim::SimulatedDriver*> plain_;
};

sim::LineOptions LineOptionsFor(const sim::CommandLine& line, const Bus& bus) {
  sim::LineOptions options;
  // Taken up once, as the driver does at power-up.
  options.settings = bus.First().StoredLineSettings();
  options.hearOwnSettingsOnly = !line.anySettings;
  options.wire = line.wire;
  options.turnaround = line.turnaround;
  if (line.verbose) {
    const std::string own = sim::Describe(options.settings);
    options.unheard = [own](const sim::LineSettings& master) {
      std::fprintf(stderr, "korvelt-driver-sim: <- noise (the master's port is at %s, this driver's at %s)\n",
                   sim::Describe(master).c_str(), own.c_str());
    };
  }
  return options;
}

// After the line that says it is ready, which scripts wait for.
void TellLine(const sim::CommandLine& line, const sim::LineOptions& options) {
  if (!line.verbose) return;
  std::string addresses;
  for (uint8_t address : line.addresses) addresses += (addresses.empty() ? "" : ",") + std::to_string(address);
  std::fprintf(stderr, "korvelt-driver-sim: line %s%s%s, address%s %s\n", sim::Describe(options.settings).c_str(),
               line.anySettings ? ", any master heard" : "", line.wire ? ", wire timing" : "",
               line.addresses.size() > 1 ? "es" : "", addresses.c_str());
}

sim::SlaveServer::TrafficLog TrafficLogFor(const sim::CommandLine& line) {
  return line.verbose ? sim::SlaveServer::TrafficLog(LogTraffic) : sim::SlaveServer::TrafficLog();
}

// SIGINT and SIGTERM as a descriptor, so that the stop is waited for
// together with the line. Blocked before any thread starts, so that no
// thread takes them otherwise.
UniqueFd StopSignals() {
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  return UniqueFd(signalfd(-1, &stopSignals, SFD_CLOEXEC));
}

// Waits until a stop signal comes (true) or `other` is readable (false).
bool WaitForStopOr(int stop, int other) {
  pollfd fds[2] = {{stop, POLLIN, 0}, {other, POLLIN, 0}};
  for (;;) {
    const int ready = poll(fds, other >= 0 ? 2 : 1, -1);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0 || fds[0].revents != 0) return true;
    if (fds[1].revents != 0) return false;
  }
}

int ServePseudoTerminal(const sim::CommandLine& line, const Bus& bus, int stop) {
  Terminal terminal;
  if (!OpenTerminal(terminal)) {
    std::perror("korvelt-driver-sim: openpty");
    return 1;
  }
  const std::string folder = line.portsFolder.empty() ? PortsDirectory() : line.portsFolder;
  PortLink link(fs::path(folder) / ("COM" + std::to_string(line.com)), terminal.device);
  std::string error;
  if (!link.Create(error)) {
    std::fprintf(stderr, "korvelt-driver-sim: cannot link %s\n", error.c_str());
    return 1;
  }
  const sim::LineOptions options = LineOptionsFor(line, bus);
  sim::SlaveServer server(bus.Stations(), terminal.master.Get(), options, TrafficLogFor(line));
  std::printf("korvelt-driver-sim: COM%u -> %s\n", line.com, terminal.device.c_str());
  std::fflush(stdout);
  TellLine(line, options);
  WaitForStopOr(stop, -1);
  return 0;
}

// Listens on 127.0.0.1:`wanted` and serves one connection at a time with
// `serve` (true: it ended for `stop`); when one closes the next is accepted.
template <typename Serve>
int ServeConnections(const sim::CommandLine& line, uint16_t wanted, const char* kind, int stop,
                     const std::function<void()>& ready, Serve serve) {
  uint16_t port = 0;
  const UniqueFd listener = sim::ListenOnLoopback(wanted, port);
  if (!listener.Valid()) {
    std::fprintf(stderr, "korvelt-driver-sim: cannot listen on 127.0.0.1:%u: %s\n", wanted, std::strerror(errno));
    return 1;
  }
  std::printf("korvelt-driver-sim: %s 127.0.0.1:%u\n", kind, port);
  std::fflush(stdout);
  if (ready) ready();
  while (!WaitForStopOr(stop, listener.Get())) {
    const UniqueFd connection = sim::AcceptConnection(listener.Get());
    if (!connection.Valid()) {
      if (errno == EINTR || errno == EAGAIN || errno == ECONNABORTED) continue;
      std::fprintf(stderr, "korvelt-driver-sim: accept: %s\n", std::strerror(errno));
      return 1;
    }
    if (line.verbose) std::fputs("korvelt-driver-sim: connection opened\n", stderr);
    if (serve(connection.Get())) break;
    if (line.verbose) std::fputs("korvelt-driver-sim: connection closed\n", stderr);
  }
  return 0;
}

// RTU frames over TCP, as a device server in raw mode carries them.
int ServeTcp(const sim::CommandLine& line, const Bus& bus, int stop) {
  const sim::LineOptions options = LineOptionsFor(line, bus);
  return ServeConnections(line, *line.tcpPort, "tcp", stop, [&] { TellLine(line, options); }, [&](int connection) {
    sim::SlaveServer server(bus.Stations(), connection, options, TrafficLogFor(line));
    return WaitForStopOr(stop, server.EndedDescriptor());
  });
}

// One client at a time, as many small gateways serve.
int ServeModbusTcp(const sim::CommandLine& line, const Bus& bus, int stop) {
  return ServeConnections(line, *line.modbusTcpPort, "modbus-tcp", stop, {},
                          [&](int connection) { return sim::ServeModbusTcp(bus.Drivers(), connection, stop); });
}

}  // namespace

int main(int argc, char** argv) {
  sim::CommandLine line;
  std::string error;
  if (!sim::ParseCommandLine(argc, argv, line, error)) {
    std::fprintf(stderr, "korvelt-driver-sim: %s (see --help)\n", error.c_str());
    return 2;
  }
  if (line.help) {
    std::fputs(sim::HelpText().c_str(), stdout);
    return 0;
  }
  if (line.version) {
    std::printf("korvelt-driver-sim %s\n", KORVELT_VERSION);
    return 0;
  }

  const UniqueFd stop = StopSignals();
  if (!stop.Valid()) {
    std::perror("korvelt-driver-sim: signalfd");
    return 1;
  }
  const Bus bus(line);
  if (line.modbusTcpPort) return ServeModbusTcp(line, bus, stop.Get());
  return line.tcpPort ? ServeTcp(line, bus, stop.Get()) : ServePseudoTerminal(line, bus, stop.Get());
}

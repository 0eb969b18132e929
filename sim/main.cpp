// korvelt-driver-sim: the simulated driver on a pseudo-terminal, reachable as
// COMn through the ports folder.
#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "link/PortNames.h"
#include "link/UniqueFd.h"
#include "sim/CommandLine.h"
#include "sim/SimulatedDriver.h"
#include "sim/SlaveServer.h"

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

  // Blocked before the serving thread starts, so that only sigwait below
  // receives them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  Terminal terminal;
  if (!OpenTerminal(terminal)) {
    std::perror("korvelt-driver-sim: openpty");
    return 1;
  }
  const std::string folder = line.portsFolder.empty() ? PortsDirectory() : line.portsFolder;
  PortLink link(fs::path(folder) / ("COM" + std::to_string(line.com)), terminal.device);
  if (!link.Create(error)) {
    std::fprintf(stderr, "korvelt-driver-sim: cannot link %s\n", error.c_str());
    return 1;
  }

  sim::SimulatedDriver driver(line.driver);
  driver.SetFault(line.fault);
  driver.SetMotorFault(line.motorFault);
  {
    sim::SlaveServer server(driver, terminal.master.Get(),
                            line.verbose ? sim::SlaveServer::TrafficLog(LogTraffic) : sim::SlaveServer::TrafficLog());
    std::printf("korvelt-driver-sim: COM%u -> %s\n", line.com, terminal.device.c_str());
    std::fflush(stdout);
    int signal = 0;
    sigwait(&stopSignals, &signal);
  }
  return 0;
}

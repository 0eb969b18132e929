// The simulated driver in a process of its own, as the benchmarks that
// reach it across a process boundary start it: it says where it serves once
// it does (a COM link and its device, or a port on 127.0.0.1), and it is
// killed and reaped when the object goes.
#pragma once

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "ChildProcess.h"

namespace bench {

class SimulatorProcess {
 public:
  // Starts `KORVELT_SIM_EXECUTABLE options...` and waits for its line of
  // readiness; Ready() says whether it came.
  explicit SimulatorProcess(const std::vector<std::string>& options) {
    std::vector<std::string> argv{KORVELT_SIM_EXECUTABLE};
    argv.insert(argv.end(), options.begin(), options.end());
    process_ = std::make_unique<ChildProcess>(argv);
    const std::string com = " -> ";
    const std::string tcp = " 127.0.0.1:";
    while (const std::optional<std::string> line = process_->ReadLine(std::chrono::seconds(10))) {
      if (const size_t at = line->find(com); at != std::string::npos) {
        device_ = line->substr(at + com.size());
        return;
      }
      if (const size_t at = line->find(tcp); at != std::string::npos) {
        port_ = static_cast<uint16_t>(std::atoi(line->c_str() + at + tcp.size()));
        return;
      }
    }
    std::printf("the simulated driver did not start: %s\n", process_->ReadToEnd(std::chrono::seconds(1)).c_str());
  }

  bool Ready() const { return !device_.empty() || port_ != 0; }
  // The pseudo-terminal it serves on, for a COM link.
  const std::string& Device() const { return device_; }
  // The port it listens on, for --tcp or --modbus-tcp.
  uint16_t Port() const { return port_; }
  void Signal(int signal) { process_->Signal(signal); }
  // Ends it as SIGTERM does (it removes its COM link), also when it was
  // stopped, and waits for it; killed when it does not end.
  void Stop() {
    process_->Signal(SIGTERM);
    process_->Signal(SIGCONT);
    if (!process_->Wait(std::chrono::seconds(5))) {
      process_->Signal(SIGKILL);
      process_->Wait(std::chrono::seconds(5));
    }
  }

 private:
  std::unique_ptr<ChildProcess> process_;
  std::string device_;
  uint16_t port_ = 0;
};

}  // namespace bench

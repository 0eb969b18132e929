// The link's network ports over loopback, each server on 127.0.0.1 and
// stopped again here:
//   - status reads through modbus-tcp:// against the simulated driver's
//     Modbus TCP gateway, beside libmodbus's TCP client against the same
//     server, in alternating blocks (AlternatingMasters.h); budget: ours at
//     least as fast;
//   - status reads through ser2net in raw mode (tcp://) at 115200 bit/s in
//     front of the simulated driver's wire-timed pseudo-terminal, beside the
//     same line read on the pseudo-terminal itself; budget: at least 90 %
//     (ser2net set not to wait after each character, and as it comes);
//   - a dropped connection: the server is held (SIGSTOP) with its
//     connection up, then killed: how long a read takes to end with the
//     time-out, how soon a read in progress ends once the connection closes,
//     and how soon the link reports itself lost.
// Not a test: it prints figures.
// Usage: korvelt_network_bench [rounds] [paced-rounds] [blocks] [runs] [drop-runs]
// (reads per block on the gateway, and on the paced line of the device
// server, where a read takes 6.4 ms)
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "AlternatingMasters.h"
#include "NetworkPeers.h"
#include "PtyPair.h"
#include "SimulatorProcess.h"
#include "recording/StatusReads.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int Baud = 115200;
// ser2net sets the simulated driver's pseudo-terminal to the driver's own
// line: 8 data bits, no parity, 2 stop bits.
constexpr const char* Ser2netLine = "115200N82";

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void PrintBudget(const char* what, double value, const char* budget, bool met) {
  std::printf("%s: %.3f, budget %s: %s\n", what, value, budget, met ? "met" : "MISSED");
  std::fflush(stdout);
}

bool CompareGateways(int rounds, int blocks, int runs) {
  bench::SimulatorProcess sim({"--modbus-tcp", "0", "--learned"});
  if (!sim.Ready()) return false;
  const std::string text = "modbus-tcp://127.0.0.1:" + std::to_string(sim.Port());
  std::printf("== Modbus TCP: status reads, 22 registers of unit 1 at %s; %d runs of %d blocks of %d reads per "
              "client, alternating\n",
              text.c_str(), runs, blocks, rounds);
  std::vector<std::unique_ptr<bench::Master>> masters;
  masters.push_back(std::make_unique<bench::OurLink>(Line{text, Baud, Parity::None2}, "ours"));
#ifdef KORVELT_HAVE_LIBMODBUS
  masters.push_back(bench::Libmodbus::Tcp("127.0.0.1", sim.Port()));
#else
  std::printf("libmodbus was not found when this was built (scripts/install-deps --bench installs it): "
              "only our link is measured\n");
#endif
  bench::AlternatingRuns comparison(std::move(masters));
  std::vector<bench::AlternatingRuns::Ratio> ratios;
  if (comparison.Masters() > 1) ratios.push_back({0, 1, "%.2f"});
  std::vector<double> medians;
  const bool ok = comparison.Run(rounds, blocks, runs, ratios, &medians);
  if (ok && !medians.empty()) PrintBudget("ours/libmodbus over Modbus TCP", medians[0], "at least 1", medians[0] >= 1.0);
  sim.Stop();
  return ok;
}

// ser2net waits a little after each character from the line before it
// sends what it gathered (at least 1 ms by default): a device server for
// Modbus RTU is set not to, so that no answer waits. Both are measured.
bool CompareDeviceServer(int rounds, int blocks, int runs) {
  PortsFolder ports;
  bench::SimulatorProcess sim(
      {"--com", "1", "--ports", ports.Path(), "--learned", "--wire", "--baud", std::to_string(Baud)});
  if (!sim.Ready()) return false;
  Ser2net server(sim.Device(), Ser2net::Mode::Raw, 0, Ser2netLine, {"chardelay: false"});
  Ser2net gathering(sim.Device(), Ser2net::Mode::Raw, 0, Ser2netLine);
  if (!server.Ready() || !gathering.Ready()) {
    std::printf("ser2net did not start in front of %s\n", sim.Device().c_str());
    return false;
  }
  std::printf("== device server: status reads through ser2net raw at %d bit/s in front of the wire-timed simulator "
              "(%s), without its wait after each character (%s) and with it (%s), against the same line on the "
              "pseudo-terminal; the line's limit %.1f reads/s; %d runs of %d blocks of %d reads per port, "
              "alternating\n",
              Baud, sim.Device().c_str(), server.PortText().c_str(), gathering.PortText().c_str(),
              recording::LineLimit(Baud, bench::StatusCount), runs, blocks, rounds);
  // Until a server has let go of the device it takes answers meant for the
  // next reader, and its close sets the line back afterwards.
  const auto released = [&server, &gathering] {
    WaitUntil([&] { return !server.HoldsDevice() && !gathering.HoldsDevice(); }, 5s);
  };
  std::vector<std::unique_ptr<bench::Master>> masters;
  for (const auto& [text, name] : {std::pair{server.PortText(), "ser2net"}, std::pair{gathering.PortText(), "gathering"},
                                   std::pair{std::string("COM1"), "pty"}}) {
    auto master = std::make_unique<bench::OurLink>(Line{text, Baud, Parity::None2}, name);
    master->BeforeOpen(released);
    masters.push_back(std::move(master));
  }
  bench::AlternatingRuns comparison(std::move(masters));
  std::vector<double> medians;
  const bool ok = comparison.Run(rounds, blocks, runs, {{0, 2, "%.3f"}, {1, 2, "%.3f"}}, &medians);
  if (ok) PrintBudget("ser2net/pty share", medians[0], "at least 0.9", medians[0] >= 0.9);
  server.Stop();
  gathering.Stop();
  sim.Stop();
  return ok;
}

struct Drop {
  ModbusResult heldResult = ResultSuccess;
  double heldMs = 0;  // from the request to the time-out, the server held
  ModbusResult inFlightResult = ResultSuccess;
  double inFlightMs = 0;  // from the kill to the end of the read it met
  double lostMs = -1;     // from the kill to PortLost(); -1: not within 5 s
};

std::string ResultName(ModbusResult result) {
  if (result == ResultSuccess) return "success";
  if (result == ResultTimeout) return "time-out";
  char code[24];
  std::snprintf(code, sizeof code, "result 0x%02X", static_cast<unsigned>(result));
  return code;
}

// The server behind `line` answers a read, is held, then killed; `signal`
// reaches it.
bool MeasureDrop(const Line& line, const std::function<void(int)>& signal, Drop& drop) {
  DriverLink link;
  StatusBlock status{};
  if (link.OpenLine(line) == 0 || link.ReadStatus(bench::StatusSlave, status) != ResultSuccess) {
    std::printf("%s: no status read before the drop\n", line.port.c_str());
    return false;
  }
  signal(SIGSTOP);
  const auto asked = Clock::now();
  drop.heldResult = link.ReadStatus(bench::StatusSlave, status);
  drop.heldMs = MillisecondsSince(asked);

  auto pending = std::async(std::launch::async, [&link] {
    StatusBlock again{};
    return link.ReadStatus(bench::StatusSlave, again);
  });
  // Past the settling after the time-out, into the wait for the answer.
  std::this_thread::sleep_for(250ms);
  const auto killed = Clock::now();
  signal(SIGKILL);
  drop.inFlightResult = pending.get();
  drop.inFlightMs = MillisecondsSince(killed);
  const auto deadline = killed + 5s;
  while (!link.PortLost() && Clock::now() < deadline) std::this_thread::sleep_for(500us);
  if (link.PortLost()) drop.lostMs = MillisecondsSince(killed);
  return true;
}

void PrintDrop(const char* label, const Drop& d) {
  std::printf("  %-8s held: %s after %7.1f ms   killed: the read in progress %s after %6.1f ms, link lost after ",
              label, ResultName(d.heldResult).c_str(), d.heldMs, ResultName(d.inFlightResult).c_str(), d.inFlightMs);
  if (d.lostMs < 0) std::printf("never (5 s)\n");
  else std::printf("%6.1f ms\n", d.lostMs);
  std::fflush(stdout);
}

void PrintDropMedians(const std::vector<Drop>& drops) {
  std::vector<double> held, inFlight, lost;
  for (const Drop& d : drops) {
    held.push_back(d.heldMs);
    inFlight.push_back(d.inFlightMs);
    lost.push_back(d.lostMs);
  }
  std::printf("  median of %zu: time-out after %.1f ms (the link's 500 ms and its network allowance), the read in "
              "progress ended %.1f ms and the link was lost %.1f ms after the server went\n",
              drops.size(), bench::Median(held), bench::Median(inFlight), bench::Median(lost));
  std::fflush(stdout);
}

bool DroppedConnections(int runs) {
  std::printf("== dropped connection: the server held with SIGSTOP (connection up), then killed; %d runs each\n", runs);
  std::vector<Drop> gateway(static_cast<size_t>(runs));
  std::printf("Modbus TCP, the simulated driver's gateway held:\n");
  for (Drop& drop : gateway) {
    bench::SimulatorProcess sim({"--modbus-tcp", "0", "--learned"});
    if (!sim.Ready()) return false;
    const Line line{"modbus-tcp://127.0.0.1:" + std::to_string(sim.Port()), Baud, Parity::None2};
    if (!MeasureDrop(line, [&sim](int s) { sim.Signal(s); }, drop)) return false;
    PrintDrop("gateway", drop);
    sim.Stop();
  }
  PrintDropMedians(gateway);

  std::printf("raw TCP, ser2net held in front of the wire-timed simulator at %d bit/s:\n", Baud);
  PortsFolder ports;
  bench::SimulatorProcess sim(
      {"--com", "1", "--ports", ports.Path(), "--learned", "--wire", "--baud", std::to_string(Baud)});
  if (!sim.Ready()) return false;
  std::vector<Drop> raw(static_cast<size_t>(runs));
  for (Drop& drop : raw) {
    Ser2net server(sim.Device(), Ser2net::Mode::Raw, 0, Ser2netLine);
    if (!server.Ready()) return false;
    if (!MeasureDrop({server.PortText(), Baud, Parity::None2}, [&server](int s) { server.Signal(s); }, drop)) {
      return false;
    }
    PrintDrop("ser2net", drop);
  }
  PrintDropMedians(raw);
  sim.Stop();
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 500;  // per block
  const int pacedRounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 100;
  const int blocks = argc > 3 ? std::max(1, std::atoi(argv[3])) : 6;  // per master and run
  const int runs = argc > 4 ? std::max(1, std::atoi(argv[4])) : 5;
  const int dropRuns = argc > 5 ? std::max(1, std::atoi(argv[5])) : 3;
  // A server killed under a connection must not end the benchmark on a write.
  std::signal(SIGPIPE, SIG_IGN);
  bool ok = CompareGateways(rounds, blocks, runs);
  ok = CompareDeviceServer(pacedRounds, blocks, runs) && ok;
  ok = DroppedConnections(dropRuns) && ok;
  return ok ? 0 : 1;
}

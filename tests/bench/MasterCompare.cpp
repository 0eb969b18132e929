// Our link against libmodbus's RTU master, on the same pseudo-terminal and
// the same driver (the simulated driver in scripts/bench), both reading the
// status block, in alternating blocks (AlternatingMasters.h); ours opens
// the port exclusively, so only one holds it at a time. Our link runs twice
// in each block, without and with a frame log attached (of the size the
// window uses), and the ratio of the two throughputs is printed beside that
// of ours to libmodbus's. Not a test: it prints figures.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "AlternatingMasters.h"
#include "link/PortNames.h"

int main(int argc, char** argv) {
  const unsigned port = argc > 1 ? static_cast<unsigned>(std::atoi(argv[1])) : 1;
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 500;  // per block
  const int blocks = argc > 3 ? std::max(1, std::atoi(argv[3])) : 6;    // per master and run
  const int runs = argc > 4 ? std::max(1, std::atoi(argv[4])) : 5;

  const Line line{"COM" + std::to_string(port), 115200, Parity::None2};
  std::vector<std::unique_ptr<bench::Master>> masters;
  masters.push_back(std::make_unique<bench::OurLink>(line, "ours"));
  masters.push_back(std::make_unique<bench::OurLink>(line, "ours+log", true));
  std::vector<bench::AlternatingRuns::Ratio> ratios = {{1, 0, "%.3f"}};
#ifdef KORVELT_HAVE_LIBMODBUS
  masters.push_back(bench::Libmodbus::Rtu(ResolveComPort(port), 115200));
  ratios.push_back({0, 2, "%.2f"});
#else
  std::printf("libmodbus was not found when this was built (scripts/install-deps --bench installs it): "
              "only our link is measured\n");
#endif
  std::printf("status read, 22 registers of slave 1 on COM%u (%s); %d runs of %d blocks of %d reads per master, "
              "alternating\n",
              port, ResolveComPort(port).c_str(), runs, blocks, rounds);
  bench::AlternatingRuns comparison(std::move(masters));
  return comparison.Run(rounds, blocks, runs, ratios) ? 0 : 1;
}

// korvelt started as a shell would start it: its exit status, standard
// output and standard error, and its output read as JSON.
#pragma once

#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sim/SimulatedDriver.h"

struct KorveltRun {
  std::optional<int> status;  // nothing: it did not end in time
  std::string out;
  std::string err;

  // Standard output as a JSON document; a test failure when it is none.
  nlohmann::json Json() const;
};

// Runs korvelt with `args` (the ports folder of the test's environment).
KorveltRun RunKorvelt(const std::vector<std::string>& args, int timeoutMs = 20000);

// A command line, the driver's fault while it runs, and how it should end.
struct StatusCase {
  const char* name;
  std::vector<std::string> args;
  sim::Fault fault;
  int status;
  const char* says;  // on standard error
};

// Runs each case through `run` with its fault on `driver`: the status and
// the message it ends with, and no data on standard output for a failure
// (status 1, "differs", prints its differences).
void ExpectStatuses(sim::SimulatedDriver& driver, std::span<const StatusCase> cases,
                    const std::function<KorveltRun(const std::vector<std::string>&)>& run);

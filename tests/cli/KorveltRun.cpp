#include "KorveltRun.h"

#include <gtest/gtest.h>

#include "ChildProcess.h"

nlohmann::json KorveltRun::Json() const {
  nlohmann::json document = nlohmann::json::parse(out, nullptr, false);
  EXPECT_FALSE(document.is_discarded()) << "not JSON: " << out;
  return document;
}

KorveltRun RunKorvelt(const std::vector<std::string>& args, int timeoutMs) {
  std::vector<std::string> argv = {KORVELT_CLI_EXECUTABLE};
  argv.insert(argv.end(), args.begin(), args.end());
  const ProgramResult result = RunProgram(argv, std::chrono::milliseconds(timeoutMs), true);
  return {result.exitStatus, result.output, result.errors};
}

void ExpectStatuses(sim::SimulatedDriver& driver, std::span<const StatusCase> cases,
                    const std::function<KorveltRun(const std::vector<std::string>&)>& run) {
  for (const StatusCase& c : cases) {
    driver.SetFault(c.fault);
    const KorveltRun result = run(c.args);
    EXPECT_EQ(result.status, c.status) << c.name << ": " << result.err;
    EXPECT_NE(result.err.find(c.says), std::string::npos) << c.name << ": " << result.err;
    if (c.status > 1) {
      EXPECT_EQ(result.out, "") << c.name;
    }
  }
  driver.ClearFault();
}

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

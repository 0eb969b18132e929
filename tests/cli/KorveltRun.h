// korvelt started as a shell would start it: its exit status, standard
// output and standard error, and its output read as JSON.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

struct KorveltRun {
  std::optional<int> status;  // nothing: it did not end in time
  std::string out;
  std::string err;

  // Standard output as a JSON document; a test failure when it is none.
  nlohmann::json Json() const;
};

// Runs korvelt with `args` (the ports folder of the test's environment).
KorveltRun RunKorvelt(const std::vector<std::string>& args, int timeoutMs = 20000);

// korvelt test PLAN --serial SN: what it takes from the command line, and
// the run of one unit (TestRun.cpp).
#pragma once

#include <string>

#include "cli/Program.h"

namespace cli {

struct TestArguments {
  std::string plan;
  std::string check;  // --check PLAN: listed, no driver
  std::string serial;
  std::string station;
  std::string operatorName;
  std::string results;
  std::string junit;
  std::string html;  // --html FILE: a copy of the report page
  std::string mqtt;  // the broker's URL; empty: the record is not published
  bool assumeConfirmed = false;
};

int RunPlan(Program& program, const TestArguments& args);

}  // namespace cli

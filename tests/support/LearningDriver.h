// A simulated driver whose learning run ends as a test needs it, reporting
// a phase order that no default value could be mistaken for.
#pragma once

#include <chrono>

#include "sim/DriverOptions.h"

inline sim::DriverOptions LearningDriver(sim::LearningOutcome outcome,
                                         std::chrono::milliseconds duration = std::chrono::milliseconds(600)) {
  sim::DriverOptions options;
  options.learningOutcome = outcome;
  options.learningDuration = duration;
  options.learnedPhaseOrder = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC};
  return options;
}

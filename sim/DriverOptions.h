// How a simulated driver is set up: its address, where its motor starts,
// how its timed procedures end, and the clock that drives its motor model.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "sim/Identification.h"
#include "sim/LineSettings.h"

namespace sim {

using Clock = std::chrono::steady_clock;

enum class LearningOutcome { Success, Failure, AbnormalStop };

// The Hall states the simulated motor shows in commutation order: what a
// successful run reports as the phase order unless told otherwise.
constexpr std::array<uint16_t, 6> LearnedPhaseOrder = {0x01, 0x05, 0x04, 0x06, 0x02, 0x03};

struct DriverOptions {
  uint8_t address = 1;
  // A new motor is not learned; the driver then refuses motion commands.
  bool learned = false;
  // The parameter blocks start from values at the edges of what the tool
  // shows (see RegisterImage::LoadEdgeValues) instead of factory defaults.
  bool edgeValues = false;
  // The serial baud rate pair and parity register start at these instead
  // (over the factory image or the edge values).
  std::optional<uint32_t> baudRate = std::nullopt;
  std::optional<Parity> parity = std::nullopt;
  // The bytes of the model registers (up to 16, the rest zero) instead of
  // the driver's own model: any bytes, as a driver could hold them.
  std::optional<std::string> model = std::nullopt;
  // The identification objects served, instead of IdentificationObjects().
  std::optional<std::vector<IdentificationObject>> identificationObjects = std::nullopt;
  // A firmware without identification: requests for it get no answer at
  // all (silent), or this exception code (non-zero).
  bool identificationSilent = false;
  uint8_t identificationException = 0;
  std::chrono::milliseconds learningDuration{3000};
  LearningOutcome learningOutcome = LearningOutcome::Success;
  // The six result registers of a successful run.
  std::array<uint16_t, 6> learnedPhaseOrder = LearnedPhaseOrder;
  std::chrono::milliseconds strokeDuration{3000};
  // Limit switches at the two ends of the travel, in pulses. The motor
  // starts at position 0, between them.
  int32_t sq1Position = -20000;
  int32_t sq2Position = 30000;
  // Mechanical load on the shaft, 0 (none) .. 1 (full): raises the phase
  // current and lowers the speed the motor reaches at a given duty.
  double load = 0.2;
  // Time source of the motor model and the procedures; tests put a manual
  // clock here.
  std::function<Clock::time_point()> now = [] { return Clock::now(); };
};

}  // namespace sim

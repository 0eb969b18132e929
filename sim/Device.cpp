#include "sim/Device.h"

#include <algorithm>
#include <cmath>

#include "link/FrameCodec.h"
#include "sim/Identification.h"
#include "sim/RtuFrames.h"

namespace sim {

namespace {

// Modbus limits on one request.
constexpr uint16_t kMaxReadCount = 125;
constexpr uint16_t kMaxWriteCount = 123;

// While the phase order is being found the rotor creeps.
constexpr double kLearningHz = 5.0;
constexpr double kLearningDutyPermille = 60.0;

// Input voltages with nothing connected but the on-board references, mV.
constexpr int kIn1Millivolts = 3300;
constexpr int kIn2Millivolts = 1650;
constexpr int kIn3Millivolts = 12;
constexpr int kDifferentialMillivolts = 120;

uint16_t Word(const uint8_t* bytes) { return static_cast<uint16_t>((bytes[0] << 8) | bytes[1]); }

void PutWord(std::vector<uint8_t>& pdu, uint16_t value) {
  pdu.push_back(static_cast<uint8_t>(value >> 8));
  pdu.push_back(static_cast<uint8_t>(value & 0xFF));
}

// A few millivolts of noise, the same for the same channel in the same
// 100 ms, so runs can be repeated.
int Noise(int64_t bucket, int channel) {
  uint32_t h = static_cast<uint32_t>(bucket) * 2654435761u ^ static_cast<uint32_t>(channel) * 40503u;
  h ^= h >> 13;
  h *= 0x5bd1e995u;
  h ^= h >> 15;
  return static_cast<int>(h % 7) - 3;
}

// Limit switch wiring follows the configured trigger polarity: a switch
// configured active-low pulls its input low when it is reached.
bool ActiveHigh(uint16_t polarity) { return polarity == 1 || polarity == 3; }

uint16_t Level(bool reached, uint16_t polarity) { return reached == ActiveHigh(polarity) ? 1 : 0; }

}  // namespace

Device::Device(const DriverOptions& options, Clock::time_point now)
    : options_(options),
      motor_(options.load),
      learning_(options.learningDuration, options.learningOutcome),
      reciprocation_(options.strokeDuration, options.sq1Position, options.sq2Position),
      start_(now),
      now_(now) {
  if (options.edgeValues) image_.LoadEdgeValues();
  if (options.baudRate) image_.Set32(reg::BaudRate, *options.baudRate);
  if (options.parity) image_.Set(reg::SerialParity, static_cast<uint16_t>(ParityIndex(*options.parity)));
  if (options.model) {
    const auto byte = [&](size_t i) { return i < options.model->size() ? static_cast<uint8_t>((*options.model)[i]) : 0; };
    for (uint16_t w = 0; w < reg::ModelTextCount; ++w) {
      image_.Set(reg::ModelText + w, static_cast<uint16_t>(byte(2u * w) << 8 | byte(2u * w + 1)));
    }
  }
  if (options.learned) ApplyLearningOutcome(LearningOutcome::Success);
  Refresh();
}

void Device::AdvanceTo(Clock::time_point now) {
  if (now > now_) {
    motor_.Advance(std::chrono::duration<double>(now - now_).count(), Settings());
    now_ = now;
  }
  if (auto outcome = learning_.Advance(now_)) {
    motor_.Halt();
    ApplyLearningOutcome(*outcome);
  }
  if (auto stroke = reciprocation_.Advance(motor_, now_)) image_.Set32(reg::Stroke, *stroke);
  Refresh();
}

std::vector<uint8_t> Device::Handle(const uint8_t* pdu, size_t length) {
  if (length == 0) return {};
  switch (pdu[0]) {
    case FunctionReadHolding:
      return ReadHolding(pdu, length);
    case FunctionWriteSingle:
      return WriteSingle(pdu, length);
    case FunctionWriteMultiple:
      return WriteMultiple(pdu, length);
    case FunctionEncapsulated:
      if (length >= 2 && pdu[1] == MeiReadDeviceId) {
        if (options_.identificationSilent) return {};
        if (options_.identificationException != 0) return ExceptionPdu(pdu[0], options_.identificationException);
        return IdentificationAnswer(options_.identificationObjects.value_or(IdentificationObjects()), pdu, length);
      }
      break;
  }
  return ExceptionPdu(pdu[0], ExceptionIllegalFunction);
}

std::vector<uint8_t> Device::ReadHolding(const uint8_t* pdu, size_t length) {
  if (length != 5) return ExceptionPdu(pdu[0], ExceptionIllegalValue);
  const uint16_t start = Word(pdu + 1);
  const uint16_t count = Word(pdu + 3);
  if (count == 0 || count > kMaxReadCount) return ExceptionPdu(pdu[0], ExceptionIllegalValue);
  if (uint8_t code = RegisterImage::CheckRead(start, count)) return ExceptionPdu(pdu[0], code);
  std::vector<uint8_t> answer = {pdu[0], static_cast<uint8_t>(2 * count)};
  for (uint16_t i = 0; i < count; ++i) PutWord(answer, image_.Get(static_cast<uint16_t>(start + i)));
  return answer;
}

std::vector<uint8_t> Device::WriteSingle(const uint8_t* pdu, size_t length) {
  if (length != 5) return ExceptionPdu(pdu[0], ExceptionIllegalValue);
  const uint16_t address = Word(pdu + 1);
  if (uint8_t code = RegisterImage::CheckWrite(address, 1)) return ExceptionPdu(pdu[0], code);
  if (uint8_t code = Write(address, {Word(pdu + 3)})) return ExceptionPdu(pdu[0], code);
  return std::vector<uint8_t>(pdu, pdu + length);
}

std::vector<uint8_t> Device::WriteMultiple(const uint8_t* pdu, size_t length) {
  if (length < 6) return ExceptionPdu(pdu[0], ExceptionIllegalValue);
  const uint16_t start = Word(pdu + 1);
  const uint16_t count = Word(pdu + 3);
  const size_t byteCount = pdu[5];
  if (count == 0 || count > kMaxWriteCount || byteCount != 2u * count || length != 6 + byteCount) {
    return ExceptionPdu(pdu[0], ExceptionIllegalValue);
  }
  if (uint8_t code = RegisterImage::CheckWrite(start, count)) return ExceptionPdu(pdu[0], code);
  std::vector<uint16_t> values(count);
  for (uint16_t i = 0; i < count; ++i) values[i] = Word(pdu + 6 + 2 * i);
  if (uint8_t code = Write(start, values)) return ExceptionPdu(pdu[0], code);
  return std::vector<uint8_t>(pdu, pdu + 5);
}

uint8_t Device::Write(uint16_t start, const std::vector<uint16_t>& values) {
  const auto count = static_cast<uint16_t>(values.size());
  if (ParametersLocked() && RegisterImage::TouchesParameters(start, count)) {
    // The lock is a parameter of its own block: a write that clears it is
    // let through, or the driver could never be configured again.
    const bool unlocks = start <= reg::ParameterLock && reg::ParameterLock < start + count &&
                         (values[reg::ParameterLock - start] & 1) == 0;
    if (!unlocks) return ExceptionNotAllowed;
  }
  const std::vector<Command> commands = Commands(start, values);
  for (const Command& command : commands) {
    if (uint8_t code = Check(command)) return code;
  }
  for (uint16_t i = 0; i < count; ++i) image_.Set(static_cast<uint16_t>(start + i), values[i]);
  for (const Command& command : commands) Run(command);
  Refresh();
  return 0;
}

std::vector<Device::Command> Device::Commands(uint16_t start, const std::vector<uint16_t>& values) const {
  const uint32_t end = static_cast<uint32_t>(start) + values.size();
  auto covers = [&](uint16_t address) { return start <= address && address < end; };
  // The value a register will have after this write.
  auto after = [&](uint16_t address) { return covers(address) ? values[address - start] : image_.Get(address); };

  std::vector<Command> commands;
  if (covers(reg::StopCommand)) commands.push_back({CommandKind::Stop, after(reg::StopCommand)});
  if (covers(reg::PwmCommand)) commands.push_back({CommandKind::Pwm, after(reg::PwmCommand)});
  if (covers(reg::FrequencyCommand)) commands.push_back({CommandKind::Frequency, after(reg::FrequencyCommand)});
  if (covers(reg::MoveType) || covers(reg::MoveTarget) || covers(reg::MoveTarget + 1)) {
    Command move{CommandKind::Move, after(reg::MoveFrequency), after(reg::MoveType)};
    move.moveFrequency = after(reg::MoveFrequency);
    move.target = static_cast<int32_t>((static_cast<uint32_t>(after(reg::MoveTarget)) << 16) |
                                       after(reg::MoveTarget + 1));
    commands.push_back(move);
  } else if (covers(reg::MoveFrequency)) {
    commands.push_back({CommandKind::MoveSpeed, after(reg::MoveFrequency)});
  }
  if (covers(reg::ReciprocateCommand)) {
    commands.push_back({CommandKind::Reciprocate, after(reg::ReciprocateCommand)});
  }
  if (covers(reg::Learning) || covers(reg::LearningRunFlag) || covers(reg::LearningState) ||
      covers(reg::LearningState + 1)) {
    commands.push_back({CommandKind::Learning, after(reg::LearningRunFlag), after(reg::LearningState)});
  }
  return commands;
}

uint8_t Device::CheckMotion() const {
  if (!Learned()) return ExceptionNotLearned;
  if (learning_.Running() || reciprocation_.Active()) return ExceptionBusy;
  return 0;
}

uint8_t Device::Check(const Command& command) const {
  switch (command.kind) {
    case CommandKind::Stop:
      return command.value <= static_cast<uint16_t>(StopMode::Free) ? 0 : ExceptionIllegalValue;
    case CommandKind::Pwm: {
      const auto duty = static_cast<int16_t>(command.value);
      if (duty < -1000 || duty > 1000) return ExceptionIllegalValue;
      return CheckMotion();
    }
    case CommandKind::Frequency:
      return CheckMotion();
    case CommandKind::MoveSpeed:
      return command.value == 0 ? ExceptionIllegalValue : CheckMotion();
    case CommandKind::Move:
      if (command.moveFrequency == 0 || command.extra > 1) return ExceptionIllegalValue;
      return CheckMotion();
    case CommandKind::Reciprocate:
      if (command.value < ReciprocateCancel || command.value > ReciprocateMeasure) return ExceptionIllegalValue;
      return command.value == ReciprocateCancel ? 0 : CheckMotion();
    case CommandKind::Learning: {
      const bool start = command.value == 1 && command.extra == LearningIdle;
      if (!start) return 0;
      // Busy with the run already going, which goes on.
      if (learning_.Running()) return ExceptionBusy;
      if (image_.Get(reg::LearningDisabled) & 1) return ExceptionNotAllowed;
      if (motor_.Running() || reciprocation_.Active()) return ExceptionBusy;
      return 0;
    }
  }
  return 0;
}

void Device::Run(const Command& command) {
  switch (command.kind) {
    case CommandKind::Stop:
      if (learning_.Running()) learning_.Abort();
      reciprocation_.Cancel();
      motor_.Stop(static_cast<StopMode>(command.value));
      break;
    case CommandKind::Pwm:
      motor_.RunPwm(static_cast<int16_t>(command.value));
      break;
    case CommandKind::Frequency:
      motor_.RunFrequency(static_cast<int16_t>(command.value) * 0.1);
      break;
    case CommandKind::MoveSpeed:
      motor_.ChangeMoveSpeed(command.value * 0.1);
      break;
    case CommandKind::Move: {
      const double here = std::round(motor_.State().position);
      const double target = command.extra == 1 ? here + command.target : command.target;
      motor_.MoveTo(target, command.moveFrequency * 0.1);
      break;
    }
    case CommandKind::Reciprocate:
      if (command.value == ReciprocateCancel) {
        if (reciprocation_.Active()) motor_.Stop(StopMode::Normal);
        reciprocation_.Cancel();
      } else if (command.value == ReciprocateMeasure) {
        reciprocation_.StartMeasurement(motor_, now_);
      } else {
        const uint16_t speed = image_.Get(reg::CoarseResetSpeed);
        reciprocation_.StartReset(command.value, motor_, speed > 0 ? speed * 0.1 : 100.0);
      }
      break;
    case CommandKind::Learning:
      if (command.value == 1 && command.extra == LearningIdle && !learning_.Running()) {
        learning_.Start(now_);
        motor_.Place(motor_.State().position, kLearningHz, kLearningDutyPermille);
      } else if (command.value == 0 && learning_.Running()) {
        // Clearing the run flag stops the run without a result.
        learning_.Abort();
        motor_.Halt();
      }
      // Anything else (the tool writes back what it last read when a run
      // ends) is acknowledged and changes nothing.
      break;
  }
}

bool Device::Learned() const {
  return (image_.Get(reg::Learned) & 1) != 0 || (image_.Get(reg::LearningDisabled) & 1) != 0;
}

bool Device::ParametersLocked() const { return (image_.Get(reg::ParameterLock) & 1) != 0; }

MotorSettings Device::Settings() const {
  // A ramp register left at 0 falls back to the motor parameter.
  auto tenths = [this](uint16_t primary, uint16_t fallback) {
    const uint16_t value = image_.Get(primary);
    return (value != 0 ? value : image_.Get(fallback)) * 0.1;
  };
  MotorSettings settings;
  settings.pwmRiseSeconds = tenths(reg::PwmRise, reg::StartBuffer);
  settings.pwmFallSeconds = tenths(reg::PwmFall, reg::StopBuffer);
  settings.accelerationHz = tenths(reg::Acceleration, reg::DefaultAcceleration);
  settings.decelerationHz = tenths(reg::Deceleration, reg::DefaultDeceleration);
  if (const uint16_t max = image_.Get(reg::MaxAcceleration)) settings.accelerationHz = std::min(settings.accelerationHz, max * 0.1);
  if (const uint16_t max = image_.Get(reg::MaxDeceleration)) settings.decelerationHz = std::min(settings.decelerationHz, max * 0.1);
  settings.maxFrequencyHz = image_.Get(reg::MaxFrequency) * 0.1;
  settings.ratedCurrent = image_.Get(reg::RatedCurrent);
  settings.maxLoadCurrent = image_.Get(reg::MaxLoadCurrent);
  settings.stallStopSeconds = image_.Get(reg::StallStopTime) * 0.1;
  return settings;
}

void Device::Refresh() {
  RefreshStatus();
  RefreshLearning();
  image_.Set(reg::ReciprocateCommand, reciprocation_.Code());
}

void Device::RefreshStatus() {
  using namespace reg::status;
  const MotorState motor = motor_.State();
  auto set = [this](uint16_t offset, uint16_t value) { image_.Set(reg::Status + offset, value); };

  const uint16_t poles = image_.Get(reg::PoleCount);
  const bool speedKnown = poles > 0 && motor.hallValid;
  const double rpm = speedKnown ? std::abs(motor.frequencyHz) * 20.0 / poles : 0;
  // Fine units overflow above 3276.7 Hz or 65534 RPM; then both registers
  // switch to coarse units.
  const bool coarse = std::abs(motor.frequencyHz) * 10.0 > 32767.0 || rpm > 65534.0;

  set(OutputPwm, static_cast<uint16_t>(static_cast<int16_t>(std::lround(motor.dutyPermille))));
  set(PhaseCurrent, static_cast<uint16_t>(std::lround(motor.current)));
  set(Frequency, static_cast<uint16_t>(static_cast<int16_t>(
                     std::lround(coarse ? motor.frequencyHz : motor.frequencyHz * 10.0))));
  set(Complete, motor.moveComplete ? 1 : 0);
  image_.Set32(reg::Status + Position, static_cast<uint32_t>(static_cast<int64_t>(std::llround(motor.position))));
  image_.Set32(reg::Status + CompletionTime, motor.completionMs);

  const int64_t bucket = std::chrono::duration_cast<std::chrono::milliseconds>(now_ - start_).count() / 100;
  set(In1, static_cast<uint16_t>(kIn1Millivolts + Noise(bucket, 1)));
  set(In2, static_cast<uint16_t>(kIn2Millivolts + Noise(bucket, 2)));
  set(In3, static_cast<uint16_t>(kIn3Millivolts + Noise(bucket, 3)));
  set(Differential, static_cast<uint16_t>(kDifferentialMillivolts + Noise(bucket, 4)));

  const uint16_t polarity = image_.Get(reg::LimitPolarity);
  set(Sq1, Level(motor.position <= options_.sq1Position, polarity));
  set(Sq2, Level(motor.position >= options_.sq2Position, polarity));

  uint16_t error = motor.error;
  if (error == MotorErrorNone && !Learned()) error = 1;
  set(ErrorState, error);
  set(MotorSpeed, speedKnown ? static_cast<uint16_t>(std::lround(coarse ? rpm / 10.0 : rpm)) : 0xFFFF);
  set(RangeFlag, coarse ? 1 : 0);
}

void Device::RefreshLearning() {
  image_.Set(reg::Learning, 0);
  image_.Set(reg::LearningRunFlag, learning_.RunFlag());
  image_.Set(reg::LearningState, learning_.State());
  image_.Set(reg::LearningState + 1, 0);
  image_.Set(reg::LearningResultCount, static_cast<uint16_t>(phaseOrder_.size()));
  for (size_t i = 0; i < phaseOrder_.size(); ++i) {
    image_.Set(static_cast<uint16_t>(reg::LearningResults + i), phaseOrder_[i]);
  }
}

void Device::ApplyLearningOutcome(LearningOutcome outcome) {
  switch (outcome) {
    case LearningOutcome::Success:
      phaseOrder_ = options_.learnedPhaseOrder;
      for (size_t i = 0; i < 3; ++i) {
        image_.Set(static_cast<uint16_t>(reg::PhaseOrder + i),
                   static_cast<uint16_t>((phaseOrder_[2 * i] << 8) | phaseOrder_[2 * i + 1]));
      }
      image_.Set(reg::Learned, image_.Get(reg::Learned) | 1);
      break;
    case LearningOutcome::Failure:
      image_.Set(reg::Learned, image_.Get(reg::Learned) & ~1u);
      break;
    case LearningOutcome::AbnormalStop:
      break;
  }
}

}  // namespace sim

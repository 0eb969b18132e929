#include "driver/DriverLink.h"

#include <algorithm>
#include <cstring>
#include <utility>

void DriverLink::SetWriteObserver(WriteObserver observer) {
  std::lock_guard lock(observerMutex_);
  observer_ = std::move(observer);
}

void DriverLink::Written(uint8_t slave, uint16_t start, const uint16_t* words, uint16_t count, ModbusResult result) {
  std::lock_guard lock(observerMutex_);
  if (observer_) observer_({slave, start, count, words, result});
}

ModbusResult DriverLink::ReadBlock(uint8_t slave, const BlockSpec& spec, uint16_t count, void* record) {
  // Read into a copy so that a failed read leaves the caller's record as it
  // was; registers beyond `count` come from the record.
  uint16_t words[MaxFrameLength / 2];
  std::memcpy(words, record, spec.recordBytes);
  uint16_t received = sizeof words;
  const ModbusResult result = ReadHoldingRegisters(slave, spec.start, count, words, &received);
  if (result != ResultSuccess) return result;
  // More or fewer registers than asked for: the answer to some other
  // request, or a broken one; either way not this block.
  if (received != 2u * count) return ResultBadResponse;
  SwapBytes16(words, spec.recordBytes);
  RecordFromWords(spec, words, record);
  return ResultSuccess;
}

ModbusResult DriverLink::WriteBlock(uint8_t slave, const BlockSpec& spec, void* recordCopy) {
  uint16_t words[MaxFrameLength / 2];
  WordsFromRecord(spec, recordCopy, words);
  return WriteMultipleRegisters(slave, spec.start, words, spec.count);
}

ModbusResult DriverLink::ReadBlockWords(uint8_t slave, const BlockSpec& spec, uint16_t* words) {
  uint16_t wire[MaxFrameLength / 2];
  uint16_t received = sizeof wire;
  const ModbusResult result = ReadHoldingRegisters(slave, spec.start, spec.count, wire, &received);
  if (result != ResultSuccess) return result;
  if (received != 2u * spec.count) return ResultBadResponse;
  SwapBytes16(wire, received);
  std::memcpy(words, wire, received);
  return ResultSuccess;
}

ModbusResult DriverLink::WriteBlockWords(uint8_t slave, const BlockSpec& spec, const uint16_t* words) {
  return WriteMultipleRegisters(slave, spec.start, words, spec.count);
}

ModbusResult DriverLink::ReadDeviceInfo(uint8_t slave, DeviceInfoBlock& record) {
  return ReadBlock(slave, RegisterMap::DeviceInfo, RegisterMap::DeviceInfo.count, &record);
}

ModbusResult DriverLink::ReadStatus(uint8_t slave, StatusBlock& record) {
  return ReadBlock(slave, RegisterMap::Status, RegisterMap::Status.count, &record);
}

ModbusResult DriverLink::ReadStatusRegisters(uint8_t slave, uint16_t first, uint16_t count, StatusBlock& record) {
  const BlockSpec& block = RegisterMap::Status;
  if (count == 0 || first >= block.count || count > block.count - first) return ResultInvalidSelector;
  uint8_t bytes[sizeof(StatusBlock)];
  uint16_t received = sizeof bytes;
  const ModbusResult result =
      ReadHoldingRegisters(slave, static_cast<uint16_t>(block.start + first), count, bytes, &received);
  if (result != ResultSuccess) return result;
  if (received != 2u * count) return ResultBadResponse;
  SwapBytes16(bytes, received);
  std::memcpy(reinterpret_cast<uint8_t*>(&record) + 2u * first, bytes, received);
  return ResultSuccess;
}

ModbusResult DriverLink::ReadRamp(uint8_t slave, RampBlock& record) {
  return ReadBlock(slave, RegisterMap::Ramp, RegisterMap::Ramp.count, &record);
}

ModbusResult DriverLink::WriteRamp(uint8_t slave, RampBlock record) {
  return WriteBlock(slave, RegisterMap::Ramp, &record);
}

ModbusResult DriverLink::ReadMotorParams(uint8_t slave, MotorParamBlock& record) {
  return ReadBlock(slave, RegisterMap::MotorParams, RegisterMap::MotorParams.count, &record);
}

ModbusResult DriverLink::WriteMotorParams(uint8_t slave, MotorParamBlock record) {
  return WriteBlock(slave, RegisterMap::MotorParams, &record);
}

ModbusResult DriverLink::ReadSystemParams(uint8_t slave, SystemParamBlock& record) {
  return ReadBlock(slave, RegisterMap::SystemParams, RegisterMap::SystemParams.count, &record);
}

ModbusResult DriverLink::WriteSystemParams(uint8_t slave, SystemParamBlock record) {
  return WriteBlock(slave, RegisterMap::SystemParams, &record);
}

ModbusResult DriverLink::ReadReciprocate(uint8_t slave, ReciprocateBlock& record) {
  return ReadBlock(slave, RegisterMap::Reciprocate, RegisterMap::Reciprocate.count, &record);
}

ModbusResult DriverLink::WriteReciprocate(uint8_t slave, ReciprocateBlock record) {
  return WriteBlock(slave, RegisterMap::Reciprocate, &record);
}

ModbusResult DriverLink::ReadPresetSpeed(uint8_t slave, PresetSpeedBlock& record) {
  return ReadBlock(slave, RegisterMap::PresetSpeed, RegisterMap::PresetSpeed.count, &record);
}

ModbusResult DriverLink::WritePresetSpeed(uint8_t slave, PresetSpeedBlock record) {
  return WriteBlock(slave, RegisterMap::PresetSpeed, &record);
}

ModbusResult DriverLink::ReadPid(uint8_t slave, PidBlock& record) {
  return ReadBlock(slave, RegisterMap::Pid, RegisterMap::Pid.count, &record);
}

ModbusResult DriverLink::WritePid(uint8_t slave, PidBlock record) {
  return WriteBlock(slave, RegisterMap::Pid, &record);
}

ModbusResult DriverLink::ReadLearningBlock(uint8_t slave, LearningBlock& record) {
  const unsigned wanted = record.words[4] + static_cast<unsigned>(RegisterMap::LearningHeadRegisters);
  const auto count = static_cast<uint16_t>(std::min<unsigned>(wanted, RegisterMap::LearningMaxRegisters));
  return ReadBlock(slave, RegisterMap::Learning, count, &record);
}

ModbusResult DriverLink::WriteLearningBlock(uint8_t slave, LearningBlock record) {
  return WriteBlock(slave, RegisterMap::Learning, &record);
}

ModbusResult DriverLink::WriteStopCommand(uint8_t slave, uint16_t value) {
  return WriteSingleRegister(slave, RegisterMap::StopCommand, value);
}

ModbusResult DriverLink::WriteSpeedCommand(uint8_t slave, uint16_t value, int selector) {
  if (selector < 0 || selector >= static_cast<int>(RegisterMap::SpeedCommandRegisters.size())) {
    return ResultInvalidSelector;
  }
  return WriteSingleRegister(slave, RegisterMap::SpeedCommandRegisters[static_cast<size_t>(selector)], value);
}

ModbusResult DriverLink::WritePositionMove(uint8_t slave, uint16_t frequency, int32_t position,
                                           uint16_t positionType) {
  const auto bits = static_cast<uint32_t>(position);
  const uint16_t words[RegisterMap::PositionMoveCount] = {frequency, positionType, static_cast<uint16_t>(bits >> 16),
                                                          static_cast<uint16_t>(bits & 0xFFFF)};
  return WriteMultipleRegisters(slave, RegisterMap::PositionMoveStart, words, RegisterMap::PositionMoveCount);
}

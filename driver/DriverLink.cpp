#include "driver/DriverLink.h"

#include <algorithm>
#include <cstring>

#include "driver/BlockBytes.h"

ModbusResult DriverLink::ReadBlock(uint8_t slave, const BlockSpec& spec, uint16_t count, void* record) {
  // Read into a copy so that a failed read leaves the caller's record as it was.
  uint8_t bytes[MaxFrameLength];
  std::memcpy(bytes, record, spec.recordBytes);
  uint16_t received = sizeof bytes;
  const ModbusResult result = ReadHoldingRegisters(slave, spec.start, count, bytes, &received);
  if (result != ResultSuccess) return result;
  // More or fewer registers than asked for: the answer to some other
  // request, or a broken one; either way not this block.
  if (received != 2u * count) return ResultBadResponse;
  ConvertBlockBytes(spec, bytes, spec.recordBytes);
  std::memcpy(record, bytes, spec.recordBytes);
  return ResultSuccess;
}

ModbusResult DriverLink::WriteBlock(uint8_t slave, const BlockSpec& spec, void* recordCopy) {
  auto* bytes = static_cast<uint8_t*>(recordCopy);
  ConvertWordPairs(spec, bytes, spec.recordBytes);
  uint16_t words[MaxFrameLength / 2];
  std::memcpy(words, bytes, spec.count * 2u);
  return WriteMultipleRegisters(slave, spec.start, words, spec.count);
}

ModbusResult DriverLink::ReadDeviceInfo(uint8_t slave, DeviceInfoBlock& record) {
  return ReadBlock(slave, RegisterMap::DeviceInfo, RegisterMap::DeviceInfo.count, &record);
}

ModbusResult DriverLink::ReadStatus(uint8_t slave, StatusBlock& record) {
  return ReadBlock(slave, RegisterMap::Status, RegisterMap::Status.count, &record);
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

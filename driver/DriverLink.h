// The driver's register operations on top of the Modbus master: each is one
// transaction with a fixed start and count plus the byte-order treatment
// that turns wire data into host records and back. Reads change the record
// only on success, and an answer that carries another number of registers
// than asked for is ResultBadResponse; writes take the record by value, so
// the caller's copy is never word-swapped.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>

#include "driver/BlockWords.h"
#include "driver/RegisterMap.h"
#include "link/ModbusMaster.h"

// A write that went to the line: its registers, the words (valid during the
// call only) and how it ended.
struct RegisterWrite {
  uint8_t slave;
  uint16_t start;
  uint16_t count;
  const uint16_t* words;
  ModbusResult result;
};

class DriverLink : public ModbusMaster {
 public:
  using WriteObserver = std::function<void(const RegisterWrite&)>;

  DriverLink() = default;
  ~DriverLink() override = default;

  // Hears every write of this link, whoever sends it, on the sending
  // thread; it must not use the link. Replacing it waits for a call in
  // progress, so once it returns the old observer is not called again.
  void SetWriteObserver(WriteObserver observer);

  ModbusResult ReadDeviceInfo(uint8_t slave, DeviceInfoBlock& record);
  ModbusResult ReadStatus(uint8_t slave, StatusBlock& record);
  // Registers first .. first + count - 1 of the status block only, into
  // their places in `record`; the rest of it stays as it was.
  ModbusResult ReadStatusRegisters(uint8_t slave, uint16_t first, uint16_t count, StatusBlock& record);

  ModbusResult ReadRamp(uint8_t slave, RampBlock& record);
  ModbusResult WriteRamp(uint8_t slave, RampBlock record);
  ModbusResult ReadMotorParams(uint8_t slave, MotorParamBlock& record);
  ModbusResult WriteMotorParams(uint8_t slave, MotorParamBlock record);
  ModbusResult ReadSystemParams(uint8_t slave, SystemParamBlock& record);
  ModbusResult WriteSystemParams(uint8_t slave, SystemParamBlock record);
  ModbusResult ReadReciprocate(uint8_t slave, ReciprocateBlock& record);
  ModbusResult WriteReciprocate(uint8_t slave, ReciprocateBlock record);
  ModbusResult ReadPresetSpeed(uint8_t slave, PresetSpeedBlock& record);
  ModbusResult WritePresetSpeed(uint8_t slave, PresetSpeedBlock record);
  ModbusResult ReadPid(uint8_t slave, PidBlock& record);
  ModbusResult WritePid(uint8_t slave, PidBlock record);

  // Any block of the map by its spec, as register words (spec.count of
  // them, host values): what the parameter file keeps. `words` is changed
  // only on success.
  ModbusResult ReadBlockWords(uint8_t slave, const BlockSpec& spec, uint16_t* words);
  ModbusResult WriteBlockWords(uint8_t slave, const BlockSpec& spec, const uint16_t* words);

  // Reads 5 + words[4] registers from 0x00E0, at most 16; the whole record
  // is byte-swapped afterwards, words beyond the count included.
  ModbusResult ReadLearningBlock(uint8_t slave, LearningBlock& record);
  // Sends words 0..3 only.
  ModbusResult WriteLearningBlock(uint8_t slave, LearningBlock record);

  ModbusResult WriteStopCommand(uint8_t slave, uint16_t value);
  // Selector 0 writes 0x0042, 1 writes 0x0043, 2 writes 0x0044; any other
  // selector returns ResultInvalidSelector and sends nothing.
  ModbusResult WriteSpeedCommand(uint8_t slave, uint16_t value, int selector);
  // 0x0044 = frequency, 0x0045 = position type, 0x0046/0x0047 = position,
  // high word first.
  ModbusResult WritePositionMove(uint8_t slave, uint16_t frequency, int32_t position, uint16_t positionType);

 protected:
  void Written(uint8_t slave, uint16_t start, const uint16_t* words, uint16_t count, ModbusResult result) override;

 private:
  ModbusResult ReadBlock(uint8_t slave, const BlockSpec& spec, uint16_t count, void* record);
  ModbusResult WriteBlock(uint8_t slave, const BlockSpec& spec, void* recordCopy);

  std::mutex observerMutex_;
  WriteObserver observer_;  // under observerMutex_
};

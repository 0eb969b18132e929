// The requests of the master: each builds its frame, runs one transaction
// and hands the answer's data or echo to the caller only on success.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "link/Answer.h"
#include "link/ModbusMaster.h"

namespace {

uint16_t Word(const uint8_t* bytes) { return static_cast<uint16_t>((bytes[0] << 8) | bytes[1]); }

// Hands an answer's data to a caller's buffer of `*capacity` bytes and says
// how many went; nothing when either is absent.
void CopyOut(const AnswerData& data, void* dest, uint16_t* capacity) {
  if (dest == nullptr || capacity == nullptr) return;
  const size_t copied = std::min<size_t>(*capacity, data.length);
  if (copied > 0) std::memcpy(dest, data.bytes, copied);
  *capacity = static_cast<uint16_t>(copied);
}

// A write's answer echoes two words (address and value, or start and
// count) at bytes 2..5; either out-parameter may be absent.
void CopyEcho(const Frame& answer, uint16_t* first, uint16_t* second) {
  if (first != nullptr) *first = Word(&answer.bytes[2]);
  if (second != nullptr) *second = Word(&answer.bytes[4]);
}

}  // namespace

ModbusResult ModbusMaster::ReadHoldingRegisters(uint8_t slave, uint16_t start, uint16_t count, void* dest,
                                                uint16_t* capacity) {
  if (!IsOpen()) return ResultPortNotOpen;
  Frame answer;
  const ModbusResult result = Transact(BuildReadRequest(slave, start, count), answer);
  if (result != ResultSuccess) return result;
  CopyOut(DataOf(answer.bytes.data(), answer.length), dest, capacity);
  return ResultSuccess;
}

ModbusResult ModbusMaster::WriteSingleRegister(uint8_t slave, uint16_t address, uint16_t value,
                                               uint16_t* echoedAddress, uint16_t* echoedValue) {
  if (!IsOpen()) return ResultPortNotOpen;
  Frame answer;
  const ModbusResult result = Transact(BuildWriteSingleRequest(slave, address, value), answer);
  Written(slave, address, &value, 1, result);
  if (result != ResultSuccess) return result;
  CopyEcho(answer, echoedAddress, echoedValue);
  return ResultSuccess;
}

ModbusResult ModbusMaster::WriteMultipleRegisters(uint8_t slave, uint16_t start, const uint16_t* source,
                                                  uint16_t count, uint16_t* echoedStart, uint16_t* echoedCount) {
  if (!IsOpen()) return ResultPortNotOpen;
  Frame request;
  if (!BuildWriteMultipleRequest(slave, start, source, count, request)) return ResultDataTooLong;
  Frame answer;
  const ModbusResult result = Transact(request, answer);
  Written(slave, start, source, count, result);
  if (result != ResultSuccess) return result;
  CopyEcho(answer, echoedStart, echoedCount);
  return ResultSuccess;
}

ModbusResult ModbusMaster::ReadDeviceIdentification(uint8_t slave, uint8_t readCode, uint8_t objectId, void* dest,
                                                    uint16_t* capacity) {
  if (!IsOpen()) return ResultPortNotOpen;
  Frame answer;
  const ModbusResult result = Transact(BuildDeviceIdRequest(slave, readCode, objectId), answer);
  if (result != ResultSuccess) return result;
  CopyOut(DataOf(answer.bytes.data(), answer.length), dest, capacity);
  return ResultSuccess;
}

ModbusResult ModbusMaster::ReadDeviceIdentificationText(uint8_t slave, std::string& text) {
  IdentificationWalk walk;
  const ModbusResult result = WalkIdentification(slave, walk);
  if (result == ResultSuccess) text = walk.Text();
  return result;
}

ModbusResult ModbusMaster::ReadDeviceIdentificationObjects(uint8_t slave, std::vector<IdentificationObject>& objects) {
  IdentificationWalk walk;
  const ModbusResult result = WalkIdentification(slave, walk);
  if (result == ResultSuccess) objects = walk.Objects();
  return result;
}

ModbusResult ModbusMaster::WalkIdentification(uint8_t slave, IdentificationWalk& walk) {
  for (;;) {
    uint8_t buffer[255];
    uint16_t length = sizeof buffer;
    const ModbusResult result = ReadDeviceIdentification(slave, 1, walk.NextObjectId(), buffer, &length);
    if (result != ResultSuccess) return result;
    if (!walk.Take(buffer, length)) return ResultSuccess;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));  // the driver's pace between requests
  }
}

#include "sim/Identification.h"

#include "link/FrameCodec.h"
#include "sim/RegisterImage.h"
#include "sim/RtuFrames.h"

namespace sim {

namespace {

// An answer frame may not pass 256 bytes: address, PDU, CRC.
constexpr size_t kMaxPdu = MaxFrameLength - 3;
// Basic, regular and extended streams and single objects are offered.
constexpr uint8_t kConformity = 0x83;
constexpr uint8_t kReadSingle = 4;

const std::vector<IdentificationObject> kObjects = {
    {0x00, "KORVELT"},
    {0x01, "KVB-4815"},
    {0x02, "V1.05"},
    {0x03, "www.korvelt.example"},
    {0x04, "KORVELT BLDC Driver"},
    {0x05, "KVB-4815-RS485-S"},
    {0x06, "Modbus RTU Slave"},
    {0x80, "Brushless DC motor driver, 12-48 V supply, 10 A continuous, Hall commutation with phase-order learning"},
    {0x81, "Open-loop PWM, closed-loop speed and position, reciprocation between limit inputs SQ1 and SQ2"},
};

size_t IndexOf(const std::vector<IdentificationObject>& objects, uint8_t id) {
  for (size_t i = 0; i < objects.size(); ++i) {
    if (objects[i].id == id) return i;
  }
  return objects.size();
}

void PutObject(std::vector<uint8_t>& pdu, const IdentificationObject& object) {
  pdu.push_back(object.id);
  pdu.push_back(static_cast<uint8_t>(object.value.size()));
  pdu.insert(pdu.end(), object.value.begin(), object.value.end());
}

}  // namespace

const std::vector<IdentificationObject>& IdentificationObjects() { return kObjects; }

std::vector<uint8_t> IdentificationAnswer(const std::vector<IdentificationObject>& objects, const uint8_t* pdu,
                                          size_t length) {
  if (length != 4 || pdu[1] != MeiReadDeviceId) return ExceptionPdu(FunctionEncapsulated, ExceptionIllegalValue);
  const uint8_t readCode = pdu[2];
  const uint8_t objectId = pdu[3];
  if (readCode < 1 || readCode > kReadSingle) return ExceptionPdu(FunctionEncapsulated, ExceptionIllegalValue);

  size_t first = IndexOf(objects, objectId);
  if (readCode == kReadSingle && first == objects.size()) {
    return ExceptionPdu(FunctionEncapsulated, ExceptionIllegalAddress);
  }
  // A stream that names an object the driver does not have starts over.
  if (first == objects.size()) first = 0;

  std::vector<uint8_t> answer = {FunctionEncapsulated, MeiReadDeviceId, readCode, kConformity, 0x00, 0x00, 0};
  if (readCode == kReadSingle) {
    PutObject(answer, objects[first]);
    answer[6] = 1;
    return answer;
  }
  // The driver streams its whole list whatever category is asked for: the
  // tool asks for the basic one and shows everything it gets.
  size_t next = first;
  while (next < objects.size() && answer.size() + 2 + objects[next].value.size() <= kMaxPdu) {
    PutObject(answer, objects[next]);
    ++next;
  }
  answer[6] = static_cast<uint8_t>(next - first);
  if (next < objects.size()) {
    answer[4] = 0xFF;
    answer[5] = objects[next].id;
  }
  return answer;
}

}  // namespace sim

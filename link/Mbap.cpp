#include "link/Mbap.h"

#include <cstring>

#include "link/Answer.h"

namespace {

uint16_t Word(const uint8_t* at) { return static_cast<uint16_t>(at[0] << 8 | at[1]); }

void PutWord(uint8_t* at, size_t value) {
  at[0] = static_cast<uint8_t>(value >> 8);
  at[1] = static_cast<uint8_t>(value & 0xFF);
}

// The length field counts the unit identifier and the PDU; a PDU holds at
// least a function code and at most 253 bytes.
constexpr size_t kMinLengthField = 2;
constexpr size_t kMaxLengthField = 254;

}  // namespace

size_t EncodeMbap(const Frame& request, uint16_t transaction, uint8_t* out, size_t capacity) {
  if (request.length < 4) return 0;
  const size_t pdu = request.length - 3;  // without the slave and the CRC
  const size_t length = MbapHeaderLength + pdu;
  if (length > capacity || pdu + 1 > kMaxLengthField) return 0;
  PutWord(out, transaction);
  PutWord(out + 2, 0);
  PutWord(out + 4, pdu + 1);
  out[6] = request.bytes[0];
  std::memcpy(out + MbapHeaderLength, request.bytes.data() + 1, pdu);
  return length;
}

MbapSearch FindMbapAnswer(const Frame& request, uint16_t transaction, const uint8_t* received, size_t count,
                          Frame& answer) {
  MbapSearch search;
  size_t at = 0;
  while (count - at >= MbapHeaderLength) {
    const uint8_t* adu = received + at;
    const size_t lengthField = Word(adu + 4);
    search.offset = at;
    if (Word(adu + 2) != 0 || lengthField < kMinLengthField || lengthField > kMaxLengthField) {
      search.state = MbapSearch::State::Malformed;
      return search;
    }
    const size_t total = 6 + lengthField;
    if (count - at < total) return search;  // Incomplete
    if (Word(adu) != transaction) {
      at += total;
      search.staleBytes = at;
      ++search.staleAnswers;
      continue;
    }
    // The RTU frame the driver would have sent: it must fit its own header
    // exactly, as an RTU answer must.
    const size_t pdu = lengthField - 1;
    Frame rtu;
    rtu.bytes[0] = adu[6];
    std::memcpy(rtu.bytes.data() + 1, adu + MbapHeaderLength, pdu);
    rtu.length = 1 + pdu;
    AppendCrc(rtu);
    const AnswerFit fit = FitAnswer(rtu.bytes.data(), rtu.length);
    if (adu[6] != request.bytes[0] || fit.kind != AnswerFit::Kind::Complete || fit.length != rtu.length) {
      search.state = MbapSearch::State::Malformed;
      return search;
    }
    answer = rtu;
    search.state = MbapSearch::State::Found;
    search.length = total;
    return search;
  }
  return search;
}

bool RtuOfMbap(const uint8_t* adu, size_t length, Frame& rtu, uint16_t& transaction) {
  if (length < MbapHeaderLength + 1) return false;
  const size_t lengthField = Word(adu + 4);
  if (Word(adu + 2) != 0 || lengthField < kMinLengthField || lengthField > kMaxLengthField ||
      length != 6 + lengthField) {
    return false;
  }
  transaction = Word(adu);
  rtu.bytes[0] = adu[6];
  std::memcpy(rtu.bytes.data() + 1, adu + MbapHeaderLength, lengthField - 1);
  rtu.length = lengthField;
  return AppendCrc(rtu);
}

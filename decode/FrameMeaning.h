// What a frame on the line means, in the tool's words: for each request the
// tool sends (and the same functions from another master) and each answer,
// what it does, the block it reaches and, for reads and writes of known
// registers, each field with its text. Functions and registers the tool
// does not know are shown as such. Pure, and safe on any bytes at all: the
// CRC is judged by the caller and not needed here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "decode/RegisterAreas.h"

namespace decode {

struct Meaning {
  std::string text;               // one line: what, where, and the fields
  std::vector<FieldText> fields;  // the fields on their own
};

// "1 字节", "14 字节": a count of bytes as the texts of frames give it, in
// the language in use (which may word one apart from many).
std::string BytesText(size_t count);
// "1 个寄存器", "22 个寄存器".
std::string RegistersText(size_t count);

// A request frame, CRC included.
Meaning DescribeRequest(std::span<const uint8_t> request);
// An answer frame, CRC included, with the request it answers; without one
// (empty) the registers a read answer carries are not known.
Meaning DescribeAnswer(std::span<const uint8_t> answer, std::span<const uint8_t> request = {});

// What came back for a transaction's request, echo and noise included: the
// answer among those bytes described, or what kept it from being one.
Meaning DescribeReceived(std::span<const uint8_t> received, std::span<const uint8_t> request);

// Frames of a line heard from outside, in the order they came: an answer is
// described with the request before it when that request came from the
// same slave with the same function.
class Conversation {
 public:
  Meaning Request(std::span<const uint8_t> request);
  Meaning Answer(std::span<const uint8_t> answer);
  // The last request is forgotten (the line was silent too long, or the
  // bytes that came made no frame).
  void Forget() { requestLength_ = 0; }

 private:
  uint8_t request_[256] = {};
  size_t requestLength_ = 0;
};

}  // namespace decode

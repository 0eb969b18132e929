#include "link/FrameShapes.h"

#include <array>
#include <iterator>

namespace {

using Kind = AnswerFit::Kind;

// Where a frame ends, from its header.
struct LengthRule {
  enum class Form : uint8_t {
    None,         // cannot be told
    Fixed,        // `base` bytes
    CountAt,      // `base` bytes plus the byte count at `at`
    WordCountAt,  // `base` bytes plus the 16-bit byte count at `at`
    DeviceId,     // 7 bytes when the MEI type at byte 2 reads device identification
    ToolAnswer,   // fitted as the master fits its answers
  };
  Form form = Form::None;
  uint8_t at = 0;
  uint16_t base = 0;
};

constexpr LengthRule Fixed(uint16_t length) { return {LengthRule::Form::Fixed, 0, length}; }
constexpr LengthRule CountAt(uint8_t at, uint16_t base) { return {LengthRule::Form::CountAt, at, base}; }
constexpr LengthRule kWordCount{LengthRule::Form::WordCountAt, 2, 6};
constexpr LengthRule kDeviceId{LengthRule::Form::DeviceId, 2, 7};
constexpr LengthRule kToolAnswer{LengthRule::Form::ToolAnswer, 0, 0};
// Address, function, byte count, the bytes, CRC.
constexpr LengthRule kCounted = CountAt(2, 5);

struct FunctionShape {
  uint8_t function;
  LengthRule request;
  LengthRule answer;
};

constexpr FunctionShape kShapes[] = {
    {0x01, Fixed(8), kCounted},  // read coils
    {0x02, Fixed(8), kCounted},  // read discrete inputs
    {FunctionReadHolding, Fixed(8), kToolAnswer},
    {0x04, Fixed(8), kCounted},  // read input registers
    {0x05, Fixed(8), Fixed(8)},  // write single coil
    {FunctionWriteSingle, Fixed(8), kToolAnswer},
    {0x07, Fixed(4), Fixed(5)},       // read exception status
    {0x08, Fixed(8), Fixed(8)},       // diagnostics
    {0x0B, Fixed(4), Fixed(8)},       // get comm event counter
    {0x0C, Fixed(4), kCounted},       // get comm event log
    {0x0F, CountAt(6, 9), Fixed(8)},  // write multiple coils
    {FunctionWriteMultiple, CountAt(6, 9), kToolAnswer},
    {0x11, Fixed(4), kCounted},         // report server id
    {0x14, kCounted, kCounted},         // read file record
    {0x15, kCounted, kCounted},         // write file record
    {0x16, Fixed(10), Fixed(10)},       // mask write register
    {0x17, CountAt(10, 13), kCounted},  // read/write multiple registers
    {0x18, Fixed(6), kWordCount},       // read FIFO queue
    {FunctionEncapsulated, kDeviceId, kToolAnswer},
};

// Where each function's shape is in kShapes (kNoShape: none): the
// listener looks a function up for every byte it tries as a frame start.
constexpr uint8_t kNoShape = 0xFF;
constexpr std::array<uint8_t, 256> kShapeIndex = [] {
  std::array<uint8_t, 256> index{};
  index.fill(kNoShape);
  for (size_t i = 0; i < std::size(kShapes); ++i) index[kShapes[i].function] = static_cast<uint8_t>(i);
  return index;
}();

const FunctionShape* ShapeOf(uint8_t function) {
  const uint8_t at = kShapeIndex[function];
  return at == kNoShape ? nullptr : &kShapes[at];
}

AnswerFit FitByRule(const LengthRule& rule, const uint8_t* bytes, size_t available) {
  using Form = LengthRule::Form;
  switch (rule.form) {
    case Form::Fixed:
      return FitAtLength(bytes, available, rule.base);
    case Form::CountAt:
      if (available <= rule.at) return {Kind::NeedsMore, 0};
      return FitAtLength(bytes, available, rule.base + bytes[rule.at]);
    case Form::WordCountAt:
      if (available <= rule.at + 1u) return {Kind::NeedsMore, 0};
      return FitAtLength(bytes, available, rule.base + ((bytes[rule.at] << 8) | bytes[rule.at + 1]));
    case Form::DeviceId:
      if (available <= rule.at) return {Kind::NeedsMore, 0};
      if (bytes[rule.at] != MeiReadDeviceId) return {Kind::Unknown, 0};
      return FitAtLength(bytes, available, rule.base);
    case Form::ToolAnswer:
      return FitAnswer(bytes, available);
    case Form::None:
      break;
  }
  return {Kind::Unknown, 0};
}

}  // namespace

AnswerFit FitRequest(const uint8_t* bytes, size_t available) {
  if (available < 2) return {Kind::NeedsMore, 0};
  const FunctionShape* shape = ShapeOf(bytes[1]);
  return shape ? FitByRule(shape->request, bytes, available) : AnswerFit{Kind::Unknown, 0};
}

AnswerFit FitAnyAnswer(const uint8_t* bytes, size_t available) {
  if (available < 2) return {Kind::NeedsMore, 0};
  if (bytes[1] & ExceptionBit) return FitAnswer(bytes, available);
  const FunctionShape* shape = ShapeOf(bytes[1]);
  return shape ? FitByRule(shape->answer, bytes, available) : AnswerFit{Kind::Unknown, 0};
}

size_t ExpectedAnswerLength(const uint8_t* request, size_t length) {
  if (length < 4) return 0;
  const FunctionShape* shape = ShapeOf(request[1]);
  if (shape == nullptr) return 0;
  if (shape->answer.form == LengthRule::Form::Fixed) return shape->answer.base;
  const uint8_t function = request[1];
  if (function == FunctionWriteSingle || function == FunctionWriteMultiple) return 8;  // the echo of six bytes
  if (length < 8) return 0;
  // Reads by count: bits for coils and inputs, words for registers.
  const unsigned count = (request[4] << 8) | request[5];
  size_t data = 0;
  if (function == 0x01 || function == 0x02) {
    data = (count + 7) / 8;
  } else if (function == FunctionReadHolding || function == 0x04) {
    data = 2 * count;
  } else {
    return 0;
  }
  const size_t expected = 5 + data;
  return expected <= MaxFrameLength ? expected : 0;
}

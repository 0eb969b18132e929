#include "decode/FrameMeaning.h"

#include <algorithm>
#include <cstring>

#include "fields/CFormat.h"
#include "fields/PrintableText.h"
#include "lang/Texts.h"
#include "link/Answer.h"
#include "link/ExceptionAnswer.h"
#include "link/FrameCodec.h"
#include "link/IdentificationWalk.h"

namespace decode {
namespace {

using fields::CFormat;
using lang::Fill;
using lang::Tr;

constexpr size_t kCrc = 2;
constexpr size_t kRequestLength = 8;         // read, write single
constexpr size_t kWriteMultipleHeader = 7;   // up to the byte count
constexpr size_t kIdentificationRequest = 7;
constexpr size_t kIdentificationHeader = 8;  // up to the object count
constexpr size_t kExceptionLength = 5;

uint16_t Word(const uint8_t* bytes) { return static_cast<uint16_t>((bytes[0] << 8) | bytes[1]); }

Meaning Text(std::string text) { return {std::move(text), {}}; }

// Texts of the driver (its model, its identification objects) are bytes
// it chose: they reach the log and a listener's output made printable.
Meaning Printable(Meaning meaning) {
  meaning.text = fields::Printable(meaning.text);
  for (FieldText& field : meaning.fields) {
    field.name = fields::Printable(field.name);
    field.text = fields::Printable(field.text);
  }
  return meaning;
}

// "<head>: <fields>", or the head alone when there are none.
Meaning WithFields(std::string head, RegisterMeaning registers) {
  Meaning meaning{std::move(head), std::move(registers.fields)};
  if (!meaning.fields.empty()) meaning.text += ": " + JoinFields(meaning.fields);
  return meaning;
}

std::string Hex2(unsigned value) { return CFormat("%02X", value); }
std::string Hex4(unsigned value) { return CFormat("%04X", value); }

// What a frame does to registers, with the texts that name it.
struct Verb {
  const char* word;   // the frame cut short: "读取 (帧不完整)"
  const char* areas;  // a single write: "写入 停止命令"
  const char* span;   // a run of registers: "读取 实时状态 (0x0020 起 22 个寄存器)"
};
constexpr Verb kRead{"读取", nullptr, "读取 {1} (0x{2} 起 {3})"};  // no single-register read
constexpr Verb kWrite{"写入", "写入 {1}", "写入 {1} (0x{2} 起 {3})"};
constexpr Verb kWritten{"已写入", "已写入 {1}", "已写入 {1} (0x{2} 起 {3})"};

std::string Span(const Verb& verb, uint16_t start, uint16_t count) {
  return Fill(Tr(verb.span), {JoinAreas(NameRegisters(start, count).areas), Hex4(start), RegistersText(count)});
}

std::string UnknownFunction(uint8_t function) { return Fill(Tr("未知功能码 0x{1}"), {Hex2(function)}); }

std::string Short(const char* what) { return Fill(Tr("{1} (帧不完整)"), {Tr(what)}); }

// What the request asked for, as the head of its answer's text.
std::string Asked(std::span<const uint8_t> request) {
  if (request.size() < 2) return {};
  switch (request[1]) {
    case FunctionReadHolding:
      return request.size() >= kRequestLength ? Span(kRead, Word(&request[2]), Word(&request[4])) : Short(kRead.word);
    case FunctionWriteSingle:
      return request.size() >= kRequestLength
                 ? Fill(Tr(kWrite.areas), {JoinAreas(DescribeSingleWrite(Word(&request[2]), 0).areas)})
                 : Short(kWrite.word);
    case FunctionWriteMultiple:
      return request.size() >= kWriteMultipleHeader ? Span(kWrite, Word(&request[2]), Word(&request[4]))
                                                    : Short(kWrite.word);
    case FunctionEncapsulated:
      return Tr("读取设备识别码");
    default:
      return UnknownFunction(request[1]);
  }
}

Meaning DescribeReadRequest(std::span<const uint8_t> frame) {
  if (frame.size() < kRequestLength) return Text(Short(kRead.word));
  return Text(Span(kRead, Word(&frame[2]), Word(&frame[4])));
}

Meaning DescribeWriteSingle(std::span<const uint8_t> frame, const Verb& verb) {
  if (frame.size() < kRequestLength) return Text(Short(verb.word));
  RegisterMeaning registers = DescribeSingleWrite(Word(&frame[2]), Word(&frame[4]));
  std::string head = Fill(Tr(verb.areas), {JoinAreas(registers.areas)});
  return WithFields(std::move(head), std::move(registers));
}

Meaning DescribeWriteMultipleRequest(std::span<const uint8_t> frame) {
  if (frame.size() < kWriteMultipleHeader) return Text(Short(kWrite.word));
  const uint16_t start = Word(&frame[2]);
  const uint16_t count = Word(&frame[4]);
  const size_t byteCount = frame[6];
  std::string head = Span(kWrite, start, count);
  const size_t data = std::min(byteCount, frame.size() - std::min(frame.size(), kWriteMultipleHeader + kCrc));
  if (byteCount != 2u * count || frame.size() != kWriteMultipleHeader + byteCount + kCrc) {
    head = Fill(Tr("{1} (字节数 {2} 与寄存器个数不符)"), {head, std::to_string(byteCount)});
  }
  return WithFields(std::move(head), DescribeRegisters(start, &frame[kWriteMultipleHeader], data));
}

Meaning DescribeIdentificationRequest(std::span<const uint8_t> frame) {
  if (frame.size() < kIdentificationRequest) return Text(Short("读取设备识别码"));
  if (frame[2] != MeiReadDeviceId) return Text(Fill(Tr("封装接口 MEI 0x{1} (未知)"), {Hex2(frame[2])}));
  return Text(Fill(Tr("读取设备识别码 (读取码 {1}, 从对象 {2} 起)"), {std::to_string(frame[3]), std::to_string(frame[4])}));
}

Meaning DescribeReadAnswer(std::span<const uint8_t> answer, std::span<const uint8_t> request) {
  if (answer.size() < 3 + kCrc) return Text(Short("读取应答"));
  const size_t byteCount = answer[2];
  const size_t data = std::min(byteCount, answer.size() - 3 - kCrc);
  const bool asked = request.size() >= kRequestLength && request[1] == FunctionReadHolding;
  if (!asked) return Text(Fill(Tr("读取应答: {1}数据 (请求未知)"), {BytesText(data)}));
  const uint16_t start = Word(&request[2]);
  const uint16_t count = Word(&request[4]);
  std::string head = JoinAreas(NameRegisters(start, count).areas);
  if (byteCount != 2u * count) {
    head = Fill(Tr("{1} (应答 {2}, 请求 {3})"), {head, BytesText(byteCount), RegistersText(count)});
  }
  return WithFields(std::move(head), DescribeRegisters(start, &answer[3], data));
}

Meaning DescribeWriteMultipleAnswer(std::span<const uint8_t> answer) {
  if (answer.size() < 6) return Text(Short("写入应答"));
  return Text(Span(kWritten, Word(&answer[2]), Word(&answer[4])));
}

Meaning DescribeIdentificationAnswer(std::span<const uint8_t> answer) {
  if (answer.size() < kIdentificationHeader + kCrc) return Text(Short("设备识别码应答"));
  // From the more-follows byte to the last object, as the walk takes it.
  const size_t data = answer.size() - 5 - kCrc;
  Meaning meaning{Tr("设备识别码"), {}};
  for (IdentificationObject& object : IdentificationObjects(&answer[5], data)) {
    meaning.fields.push_back({object.name, std::move(object.value)});
  }
  const bool more = answer[5] == 0xFF;
  if (!meaning.fields.empty()) meaning.text += ": " + JoinFields(meaning.fields);
  if (more) meaning.text = Fill(Tr("{1} (后续从对象 {2} 起)"), {meaning.text, std::to_string(answer[6])});
  return meaning;
}

Meaning DescribeException(std::span<const uint8_t> answer, std::span<const uint8_t> request) {
  if (answer.size() < kExceptionLength) return Text(Short("异常应答"));
  const uint8_t code = answer[2];
  const uint8_t function = answer[1] & ~ExceptionBit;
  const bool asked = request.size() >= 2 && request[1] == function;
  const std::string what = asked ? Asked(request) : Fill(Tr("功能码 0x{1}"), {Hex2(function)});
  return Text(ExceptionAnswerText(code) + " (" + what + ")");
}


Meaning RequestMeaning(std::span<const uint8_t> request) {
  if (request.size() < 2) return Text(Tr("不完整的帧"));
  switch (request[1]) {
    case FunctionReadHolding:
      return DescribeReadRequest(request);
    case FunctionWriteSingle:
      return DescribeWriteSingle(request, kWrite);
    case FunctionWriteMultiple:
      return DescribeWriteMultipleRequest(request);
    case FunctionEncapsulated:
      return DescribeIdentificationRequest(request);
    default:
      return Text(UnknownFunction(request[1]));
  }
}

Meaning AnswerMeaning(std::span<const uint8_t> answer, std::span<const uint8_t> request) {
  if (answer.size() < 2) return Text(Tr("不完整的帧"));
  if (answer[1] & ExceptionBit) return DescribeException(answer, request);
  switch (answer[1]) {
    case FunctionReadHolding:
      return DescribeReadAnswer(answer, request);
    case FunctionWriteSingle:
      return DescribeWriteSingle(answer, kWritten);
    case FunctionWriteMultiple:
      return DescribeWriteMultipleAnswer(answer);
    case FunctionEncapsulated:
      return DescribeIdentificationAnswer(answer);
    default:
      return Text(UnknownFunction(answer[1]));
  }
}

}  // namespace

std::string BytesText(size_t count) {
  return count == 1 ? std::string(Tr("1 字节")) : Fill(Tr("{1} 字节"), {std::to_string(count)});
}

std::string RegistersText(size_t count) {
  return count == 1 ? std::string(Tr("1 个寄存器")) : Fill(Tr("{1} 个寄存器"), {std::to_string(count)});
}

Meaning DescribeRequest(std::span<const uint8_t> request) { return Printable(RequestMeaning(request)); }

Meaning DescribeAnswer(std::span<const uint8_t> answer, std::span<const uint8_t> request) {
  return Printable(AnswerMeaning(answer, request));
}

Meaning DescribeReceived(std::span<const uint8_t> received, std::span<const uint8_t> request) {
  if (received.empty()) return Text(Tr("无应答"));
  Frame asked;
  asked.length = std::min(request.size(), asked.bytes.size());
  std::copy_n(request.begin(), asked.length, asked.bytes.begin());
  const size_t count = std::min(received.size(), MaxFrameLength);
  // A copy of a write-single request is its answer here: on a line that
  // echoes, the answer after it says the same.
  const AnswerSearch search = FindAnswer(asked, received.data(), count, false);
  if (search.state == AnswerSearch::State::Incomplete) {
    return Text(Fill(Tr("{1}, 无完整应答"), {BytesText(received.size())}));
  }
  Meaning meaning = DescribeAnswer(received.subspan(search.offset, search.length), request);
  if (search.state == AnswerSearch::State::Malformed) meaning.text = Fill(Tr("长度与帧头不符的应答: {1}"), {meaning.text});
  const size_t before = search.offset - (search.echoSkipped ? asked.length : 0);
  if (search.echoSkipped) meaning.text = Fill(Tr("{1} (前有回显)"), {meaning.text});
  if (before > 0) meaning.text = Fill(Tr("{1} (前有 {2}干扰)"), {meaning.text, BytesText(before)});
  return meaning;
}

Meaning Conversation::Request(std::span<const uint8_t> request) {
  requestLength_ = std::min(request.size(), sizeof request_);
  std::copy_n(request.begin(), requestLength_, request_);
  return DescribeRequest(request);
}

Meaning Conversation::Answer(std::span<const uint8_t> answer) {
  std::span<const uint8_t> request(request_, requestLength_);
  const bool answers = answer.size() >= 2 && request.size() >= 2 && request[0] == answer[0] &&
                       request[1] == (answer[1] & ~ExceptionBit);
  Meaning meaning = DescribeAnswer(answer, answers ? request : std::span<const uint8_t>());
  if (answers) Forget();
  return meaning;
}

}  // namespace decode

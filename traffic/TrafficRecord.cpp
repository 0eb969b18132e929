#include "traffic/TrafficRecord.h"

#include "fields/CFormat.h"
#include "fields/HexText.h"
#include "fields/TimeText.h"
#include "lang/Texts.h"

namespace traffic {
namespace {

using fields::CFormat;
using lang::Fill;
using lang::Tr;

// The columns of a CSV export, as the log window's table has them.
constexpr const char* kCsvColumns[] = {"时间", "方向", "从站", "功能码", "长度", "CRC", "往返", "结果", "含义", "字节"};

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

}  // namespace

std::string ClockTime(int64_t wallMicros) {
  // The time of day is the same in the whole text, so take it from there.
  const std::string whole = fields::IsoTime(wallMicros, 6);
  return whole.substr(whole.find('T') + 1, 15);
}

const char* KindName(Kind kind) {
  constexpr const char* kNames[] = {"request", "answer", "exception", "unknown"};
  return kNames[static_cast<size_t>(kind)];
}

const char* KindText(Kind kind) {
  constexpr const char* kTexts[] = {"请求", "应答", "异常应答", "未知"};
  return Tr(kTexts[static_cast<size_t>(kind)]);
}

const char* DirectionText(Direction direction) {
  constexpr const char* kTexts[] = {"发送", "接收", "未请求", "收听"};
  return Tr(kTexts[static_cast<size_t>(direction)]);
}

std::string ResultColumn(const Record& record) { return record.transaction ? ResultText(record.result) : ""; }

std::string RoundTripColumn(const Record& record) {
  if (!record.transaction) return {};
  return CFormat("%.1f ms", static_cast<double>(record.roundTrip.count()) / 1000.0);
}

std::string HexColumn(const Record& record) {
  std::string hex = fields::FormatHexBytes(record.bytes);
  if (!hex.empty()) hex.pop_back();
  return hex;
}

nlohmann::json ToJson(const Record& record) {
  nlohmann::json object = {
      {"time", fields::IsoTime(record.wallMicros, 6)}, {"bytes", HexColumn(record)},  {"slave", record.slave},
      {"function", record.function},        {"kind", KindName(record.kind)}, {"crc", record.crcGood},
      {"meaning", record.meaning},
  };
  if (record.direction != Direction::Heard) {
    constexpr const char* kDirections[] = {"sent", "received", "unsolicited", "heard"};
    object["direction"] = kDirections[static_cast<size_t>(record.direction)];
  }
  if (record.transaction) {
    object["result"] = ResultText(record.result);
    object["roundTripMicros"] = record.roundTrip.count();
  }
  return object;
}

std::string CsvHeader() {
  std::string header;
  for (const char* column : kCsvColumns) {
    if (!header.empty()) header += ',';
    header += CsvField(Tr(column));
  }
  return header + "\r\n";
}

std::string CsvRow(const Record& record) {
  const std::string fields[] = {
      fields::IsoTime(record.wallMicros, 6),
      DirectionText(record.direction),
      std::to_string(record.slave),
      CFormat("0x%02X", record.function),
      std::to_string(record.bytes.size()),
      Tr(record.crcGood ? "正确" : "错误"),
      RoundTripColumn(record),
      ResultColumn(record),
      record.meaning,
      HexColumn(record),
  };
  // A comma before every field but the first, appended in place.
  std::string row;
  for (const std::string& field : fields) {
    if (&field != fields) row += ',';
    row += CsvField(field);
  }
  return row + "\r\n";
}

std::string TextLine(const Record& record) {
  return CFormat("%s %-4s %02X %02X %s %s | %s", ClockTime(record.wallMicros).c_str(), KindText(record.kind),
                 record.slave, record.function, Tr(record.crcGood ? "CRC正确" : "CRC错误"), record.meaning.c_str(),
                 HexColumn(record).c_str());
}

Record FromHeard(const SplitFrame& frame, uint64_t sequence, decode::Conversation& conversation) {
  Record record;
  record.sequence = sequence;
  record.wallMicros = frame.time.wallMicros;
  record.direction = Direction::Heard;
  record.bytes.assign(frame.bytes.begin(), frame.bytes.end());
  record.slave = frame.slave;
  record.function = frame.function;
  record.crcGood = frame.crcGood;
  switch (frame.kind) {
    case FrameKind::Request:
      record.kind = Kind::Request;
      record.meaning = conversation.Request(frame.bytes).text;
      break;
    case FrameKind::Answer:
    case FrameKind::Exception:
      record.kind = frame.kind == FrameKind::Answer ? Kind::Answer : Kind::Exception;
      record.meaning = conversation.Answer(frame.bytes).text;
      break;
    case FrameKind::Unknown:
      record.kind = Kind::Unknown;
      conversation.Forget();
      record.meaning = Fill(Tr("{1}, 不成帧"), {decode::BytesText(frame.bytes.size())});
      break;
  }
  if (!record.crcGood && frame.kind != FrameKind::Unknown) {
    record.meaning = Fill(Tr("CRC错误: {1}"), {record.meaning});
  }
  return record;
}

}  // namespace traffic

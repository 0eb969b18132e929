// One frame of the line as "通讯记录" and `korvelt listen` show it: when it
// came, which way, its slave, function, length and CRC verdict, for a
// transaction of the tool its result and round trip, its bytes and what it
// means. Described from a frame log (traffic/LogView.h) of the tool's links
// or of a listener; written out as a CSV row or a JSON object.
#pragma once

#include <chrono>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "decode/FrameMeaning.h"
#include "link/FrameLog.h"
#include "link/FrameSplitter.h"

namespace traffic {

enum class Direction : uint8_t {
  Sent,         // a request of the tool
  Received,     // what came back for it
  Unsolicited,  // bytes that came between the tool's transactions
  Heard,        // a frame a listener heard on the line
};

enum class Kind : uint8_t { Request, Answer, Exception, Unknown };

struct Record {
  uint64_t sequence = 0;   // the log's, or the listener's count from 1
  int64_t wallMicros = 0;  // microseconds since 1970-01-01 UTC
  Direction direction = Direction::Heard;
  Kind kind = Kind::Unknown;
  uint8_t slave = 0;
  uint8_t function = 0;
  bool crcGood = false;
  // A transaction of the tool (Sent, Received): its result and round trip.
  bool transaction = false;
  ModbusResult result = ResultSuccess;
  std::chrono::microseconds roundTrip{0};
  std::vector<uint8_t> bytes;
  std::string meaning;
};

// "13:34:56.123456": the log's column.
std::string ClockTime(int64_t wallMicros);
// "request", "answer", "exception", "unknown".
const char* KindName(Kind kind);
// 请求, 应答, 异常应答, 未知, in the language in use.
const char* KindText(Kind kind);
// 发送, 接收, 未请求, 收听, in the language in use.
const char* DirectionText(Direction direction);
// The transaction's result text; empty for frames of no transaction.
std::string ResultColumn(const Record& record);
// "12.3 ms"; empty for frames of no transaction.
std::string RoundTripColumn(const Record& record);
// "01 03 00 20"
std::string HexColumn(const Record& record);

// At least time, bytes, slave, function, kind, crc and meaning; a
// transaction's frames also direction, result and roundTripMicros.
nlohmann::json ToJson(const Record& record);
// The CSV header and one row, each ending in CRLF; fields quoted as needed.
// The header's titles and a row's words in the language in use.
std::string CsvHeader();
std::string CsvRow(const Record& record);
// One line for a terminal: time, kind, slave, function, CRC, meaning, bytes.
std::string TextLine(const Record& record);

// A frame a listener heard, described in the conversation it belongs to.
Record FromHeard(const SplitFrame& frame, uint64_t sequence, decode::Conversation& conversation);

}  // namespace traffic

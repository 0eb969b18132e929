// The traffic log's CSV rows: ten columns whatever is empty, and a field
// quoted only when it holds a separator, a quote or a line break.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "TextsInEnglish.h"
#include "fields/TimeText.h"
#include "traffic/TrafficRecord.h"

namespace {

struct CsvCase {
  const char* what;
  traffic::Record record;
  const char* afterTime;  // the row past its first column
};

traffic::Record Heard(std::string meaning, std::vector<uint8_t> bytes, bool crcGood) {
  traffic::Record record;
  record.wallMicros = 1765000000123456;
  record.slave = 1;
  record.function = 3;
  record.crcGood = crcGood;
  record.bytes = std::move(bytes);
  record.meaning = std::move(meaning);
  return record;
}

TEST(TrafficCsv, TenColumnsAndQuotesOnlyWhereNeeded) {
  const CsvCase cases[] = {
      {"plain", Heard("读取", {0x01, 0x03}, true), ",收听,1,0x03,2,正确,,,读取,01 03\r\n"},
      {"empty meaning and bytes", Heard("", {}, false), ",收听,1,0x03,0,错误,,,,\r\n"},
      {"separator and quote", Heard("a,\"b\"", {0x01}, true), ",收听,1,0x03,1,正确,,,\"a,\"\"b\"\"\",01\r\n"},
      {"line break", Heard("x\ny", {0x01}, true), ",收听,1,0x03,1,正确,,,\"x\ny\",01\r\n"},
  };
  for (const CsvCase& c : cases) {
    const std::string time = fields::IsoTime(c.record.wallMicros, 6);
    EXPECT_EQ(traffic::CsvRow(c.record), time + c.afterTime) << c.what;
  }
}

// The header and the words of a row in the language in use; the numbers,
// the bytes and the shape the same in both.
TEST(TrafficCsv, HeaderAndWordsInTheLanguageInUse) {
  traffic::Record sent = Heard("x", {0x01, 0x03}, false);
  sent.direction = traffic::Direction::Sent;
  sent.transaction = true;
  sent.result = ResultTimeout;
  sent.roundTrip = std::chrono::microseconds(12345);
  const std::string time = fields::IsoTime(sent.wallMicros, 6);
  EXPECT_EQ(traffic::CsvHeader(), "时间,方向,从站,功能码,长度,CRC,往返,结果,含义,字节\r\n");
  EXPECT_EQ(traffic::CsvRow(sent), time + ",发送,1,0x03,2,错误,12.3 ms,通讯超时,x,01 03\r\n");
  EXPECT_EQ(traffic::TextLine(sent), traffic::ClockTime(sent.wallMicros) + " 未知 01 03 CRC错误 x | 01 03");
  TextsInEnglish inEnglish;
  EXPECT_EQ(traffic::CsvHeader(), "Time,Direction,Slave,Function,Length,CRC,Round trip,Result,Meaning,Bytes\r\n");
  EXPECT_EQ(traffic::CsvRow(sent), time + ",Sent,1,0x03,2,Bad,12.3 ms,Timeout,x,01 03\r\n");
  EXPECT_EQ(traffic::TextLine(sent), traffic::ClockTime(sent.wallMicros) + " Unknown 01 03 CRC error x | 01 03");
}

}  // namespace

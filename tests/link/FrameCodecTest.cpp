#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "TextsInEnglish.h"
#include "WireBytes.h"
#include "link/CrcTails.h"
#include "link/ExceptionAnswer.h"
#include "link/FrameCodec.h"

namespace {

std::vector<uint8_t> ToVector(const Frame& frame) {
  return std::vector<uint8_t>(frame.bytes.begin(), frame.bytes.begin() + frame.length);
}

TEST(Crc, MatchesTheStandardCheckValueAndWorkedFrame) {
  const char* digits = "123456789";
  EXPECT_EQ(Crc16Modbus(reinterpret_cast<const uint8_t*>(digits), 9), 0x4B37);
  EXPECT_EQ(Crc16Modbus(nullptr, 0), 0xFFFF);
  // Appended low byte first.
  EXPECT_EQ(Hex(WithCrc(std::vector<uint8_t>(digits, digits + 9))).substr(27), "37 4B");
  EXPECT_EQ(Hex(ToVector(BuildReadRequest(1, 0x0020, 22))), "01 03 00 20 00 16 C5 CE");
}

TEST(Crc, CarriedOnOverPiecesIsTheCrcOfTheWhole) {
  const auto bytes = Bytes("01 03 00 20 00 16 C5 CE 2B");
  for (size_t cut = 0; cut <= bytes.size(); ++cut) {
    EXPECT_EQ(Crc16ModbusUpdate(Crc16Modbus(bytes.data(), cut), bytes.data() + cut, bytes.size() - cut),
              Crc16Modbus(bytes.data(), bytes.size()));
  }
}

// Every start's tail as FrameCheck judges it: tails too short for a frame,
// frames after noise, a frame that ends in a frame, a frame followed by two zero bytes (which also end
// in their CRC), buffers past what the receive side keeps, and noise with
// a frame planted at every offset.
TEST(CrcHoldingTails, AgreesWithFrameCheckAtEveryStart) {
  auto join = [](std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  std::vector<std::vector<uint8_t>> cases = {
      {},
      Bytes("01 03 00"),
      WithCrc("01 83"),
      WithCrc("01"),
      join(Bytes("05 06 07"), WithCrc("01")),  // tails of three and two bytes that end in their CRC
      Bytes("01 02 03 FF FF"),
      join(Bytes("00 01 02"), WithCrc("01 06 00 40 00 02")),
      WithCrc(WithCrc("11 03 02 00 07")),
      join(WithCrc("11 03 02 00 07"), Bytes("00 00")),
      join(std::vector<uint8_t>(300, 0x01), WithCrc("01 03 02 00 07")),
      join(WithCrc("01 03 02 00 07"), std::vector<uint8_t>(300, 0x01)),
  };
  uint32_t seed = 0x2545F491;
  for (size_t at = 0; at < 260; at += 7) {
    std::vector<uint8_t> noise(at);
    for (uint8_t& byte : noise) {
      seed ^= seed << 13;
      seed ^= seed >> 17;
      seed ^= seed << 5;
      byte = static_cast<uint8_t>(seed);
    }
    cases.push_back(join(noise, WithCrc(std::vector<uint8_t>(noise.begin() + at / 2, noise.end()))));
  }
  size_t found = 0;
  for (size_t c = 0; c < cases.size(); ++c) {
    const std::vector<uint8_t>& bytes = cases[c];
    const size_t kept = std::min(bytes.size(), MaxFrameLength);
    const auto holding = CrcHoldingTails(bytes.data(), bytes.size());
    for (size_t o = 0; o < MaxFrameLength; ++o) {
      const bool expected = o < kept && FrameCheck(bytes.data() + o, kept - o, bytes[o]);
      EXPECT_EQ(holding.test(o), expected) << "case " << c << ", start " << o;
      found += expected;
    }
  }
  EXPECT_GT(found, cases.size() / 2);  // the table has tails that hold, not only ones that fail
}

TEST(RequestBuilders, LayOutEveryRequestHighByteFirst) {
  EXPECT_EQ(Hex(ToVector(BuildWriteSingleRequest(0x11, 0x0042, 0xFC18))), Hex(WithCrc("11 06 00 42 FC 18")));
  EXPECT_EQ(Hex(ToVector(BuildDeviceIdRequest(1, 1, 0))), Hex(WithCrc("01 2B 0E 01 00")));

  const uint16_t values[] = {0x0102, 0xA0B0};
  Frame frame;
  ASSERT_TRUE(BuildWriteMultipleRequest(2, 0x00BA, values, 2, frame));
  EXPECT_EQ(Hex(ToVector(frame)), Hex(WithCrc("02 10 00 BA 00 02 04 01 02 A0 B0")));
}

TEST(RequestBuilders, WriteMultipleStopsAtTwentySevenRegisters) {
  uint16_t values[28] = {};
  Frame frame;
  ASSERT_TRUE(BuildWriteMultipleRequest(1, 0, values, 27, frame));
  EXPECT_EQ(frame.length, 63u);
  EXPECT_FALSE(BuildWriteMultipleRequest(1, 0, values, 28, frame));
  EXPECT_EQ(frame.length, 0u);
  EXPECT_FALSE(BuildWriteMultipleRequest(1, 0, nullptr, 1, frame));
  // 0xFFFF registers would wrap a 16-bit size computation; it must still be refused.
  EXPECT_FALSE(BuildWriteMultipleRequest(1, 0, values, 0xFFFF, frame));
}

TEST(FrameCheck, AcceptsOnlyWholeFramesOfTheRightSlave) {
  const auto good = WithCrc("01 06 00 40 00 02");
  EXPECT_TRUE(FrameCheck(good.data(), good.size(), 1));
  EXPECT_FALSE(FrameCheck(good.data(), good.size(), 2));
  EXPECT_FALSE(FrameCheck(good.data(), good.size() - 1, 1));

  auto exchanged = good;
  std::swap(exchanged[6], exchanged[7]);
  EXPECT_FALSE(FrameCheck(exchanged.data(), exchanged.size(), 1));

  // Three bytes are never a frame, even when the last two are the CRC of the first.
  const auto tiny = WithCrc("01");
  ASSERT_EQ(tiny.size(), 3u);
  EXPECT_FALSE(FrameCheck(tiny.data(), tiny.size(), 1));
  const auto shortest = WithCrc("01 83");
  EXPECT_TRUE(FrameCheck(shortest.data(), shortest.size(), 1));
}

TEST(ByteOrder, SwapsWholeWordsAndGroupsOnly) {
  uint8_t seven[] = {1, 2, 3, 4, 5, 6, 7};
  SwapBytes16(seven, sizeof seven);
  EXPECT_EQ(Hex(std::vector<uint8_t>(seven, seven + 7)), "02 01 04 03 06 05 07");

  uint8_t six[] = {1, 2, 3, 4, 5, 6};
  SwapWords32(six, sizeof six);
  EXPECT_EQ(Hex(std::vector<uint8_t>(six, six + 6)), "03 04 01 02 05 06");

  uint8_t one[] = {9};
  SwapBytes16(one, 1);
  SwapWords32(one, 1);
  EXPECT_EQ(one[0], 9);
}

TEST(ByteOrder, WireFloatBecomesHostFloat) {
  // 1.0f as two registers, high word first, as they arrive.
  uint8_t wire[] = {0x3F, 0x80, 0x00, 0x00};
  SwapBytes16(wire, 4);
  SwapWords32(wire, 4);
  float value;
  std::memcpy(&value, wire, 4);
  EXPECT_EQ(value, 1.0f);
}

TEST(ResultTexts, EveryCodeHasItsMessage) {
  const std::pair<ModbusResult, const char*> table[] = {
      {0x00, "操作成功"},         {0x01, "非法功能号"},     {0x02, "非法寄存器地址"},
      {0x03, "非法数据值"},       {0x04, "操作失败"},       {0x05, "请求已被确认"},
      {0x06, "设备忙"},           {0x08, "奇偶检验错误"},   {0x0A, "网关路径不可用"},
      {0x0B, "网关目标设备响应失败"}, {0x40, "不允许操作"}, {0x60, "请先对电机进行学习"},
      {0x80, "串口未打开"},       {0x81, "应答错误"},       {0x82, "通讯超时"},
      {0x83, "要发送的数据过长"},
  };
  for (const auto& [code, text] : table) EXPECT_EQ(ResultText(code), text) << code;
}

TEST(ResultTexts, CodesWithoutAnEntryGiveTheDefault) {
  const std::pair<ModbusResult, const char*> table[] = {
      {0x07, "07"}, {0x09, "09"}, {0x0C, "0C"}, {0x3F, "3F"}, {0x41, "41"},
      {0x5F, "5F"}, {0x61, "61"}, {0x7F, "7F"}, {0x84, "84"}, {0xFF, "FF"},
  };
  for (const auto& [code, digits] : table) {
    EXPECT_EQ(ResultText(code), std::string("未定义错误(") + digits + ")");
  }
  EXPECT_EQ(ResultText(0x1234), "未定义错误(1234)");
}

TEST(ResultTexts, InTheLanguageInUse) {
  const struct {
    ModbusResult code;
    bool exception;  // as an exception answer names it
    const char* chinese;
    const char* english;
  } cases[] = {
      {0x02, false, "非法寄存器地址", "Illegal register address"},
      {0x60, false, "请先对电机进行学习", "Run motor learning first"},
      {ResultTimeout, false, "通讯超时", "Timeout"},
      {0x77, false, "未定义错误(77)", "Undefined error (77)"},
      {0x02, true, "异常应答 02 非法寄存器地址", "Exception answer 02 Illegal register address"},
      {0x4F, true, "异常应答 4F 未定义错误(4F)", "Exception answer 4F Undefined error (4F)"},
  };
  for (const auto& c : cases) {
    const auto text = [&] {
      return c.exception ? ExceptionAnswerText(static_cast<uint8_t>(c.code)) : ResultText(c.code);
    };
    EXPECT_EQ(text(), c.chinese);
    TextsInEnglish inEnglish;
    EXPECT_EQ(text(), c.english);
  }
}

}  // namespace

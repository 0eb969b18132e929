#include "ui/forms/BoxTexts.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "ui/forms/ControlIds.h"

namespace {

using namespace forms;

std::map<int, std::string> Texts(const DeviceInfoBlock& info) {
  std::map<int, std::string> byId;
  for (const FieldText& field : DeviceInfoTexts(info)) byId[field.controlId] = field.text;
  EXPECT_EQ(byId.size(), DeviceInfoFieldCount);
  return byId;
}

TEST(DeviceInfoTexts, FormatsOfTheRatings) {
  DeviceInfoBlock info{};
  info.deviceId = 0x00AB;
  info.version = 0x0105;
  std::memcpy(info.model, "BLD-48V", 7);
  info.pwmResolution = 1000;
  info.pwmFrequency = 20000;
  info.maxCurrent = 1234;
  info.currentResolution = 10;
  auto texts = Texts(info);
  EXPECT_EQ(texts[ids::DeviceId], "0x00AB");
  EXPECT_EQ(texts[ids::Version], "1.05");
  EXPECT_EQ(texts[ids::Model], "BLD-48V");
  EXPECT_EQ(texts[ids::PwmResolution], "1/1000");
  EXPECT_EQ(texts[ids::PwmFrequency], "20.0kHz");
  EXPECT_EQ(texts[ids::MaxCurrent], "12.3A");
  EXPECT_EQ(texts[ids::CurrentResolution], "10mA");

  info.version = 0x020A;
  info.deviceId = 0xBEEF;
  info.pwmFrequency = 16750;  // 16.75 rounds by the format
  EXPECT_EQ(Texts(info)[ids::Version], "2.10");
  EXPECT_EQ(Texts(info)[ids::DeviceId], "0xBEEF");
  EXPECT_EQ(Texts(info)[ids::PwmFrequency], "16.8kHz");
}

TEST(DeviceInfoTexts, ModelShowsAllSixteenBytesAndStopsAtNul) {
  DeviceInfoBlock info{};
  std::memcpy(info.model, "ABCDEFGHIJKLMNOP", 16);
  EXPECT_EQ(Texts(info)[ids::Model], "ABCDEFGHIJKLMNOP");
  std::memcpy(info.model, "AB\0DEFGH", 8);
  EXPECT_EQ(Texts(info)[ids::Model], "AB");
}

TEST(DeviceInfoTexts, ShortReplyShowsZeroValues) {
  auto texts = Texts(DeviceInfoBlock{});
  EXPECT_EQ(texts[ids::DeviceId], "0x0000");
  EXPECT_EQ(texts[ids::Version], "0.00");
  EXPECT_EQ(texts[ids::Model], "");
  EXPECT_EQ(texts[ids::PwmResolution], "1/0");
  EXPECT_EQ(texts[ids::PwmFrequency], "0.0kHz");
  EXPECT_EQ(texts[ids::MaxCurrent], "0.0A");
  EXPECT_EQ(texts[ids::CurrentResolution], "0mA");
}

TEST(DeviceInfoTexts, FullRangeValuesStayUnsigned) {
  DeviceInfoBlock info{};
  info.pwmResolution = 0xFFFF;
  info.currentResolution = 40000;
  info.version = 0xFF63;
  auto texts = Texts(info);
  EXPECT_EQ(texts[ids::PwmResolution], "1/65535");
  EXPECT_EQ(texts[ids::CurrentResolution], "40000mA");
  EXPECT_EQ(texts[ids::Version], "255.99");
}

}  // namespace

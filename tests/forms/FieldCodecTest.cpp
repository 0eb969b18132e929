// The conversions every page shares: a record shown as texts and taken back
// gives the same words; entries are read exactly, rounded, and refused with
// the field's message when they do not fit.
#include "fields/FieldCodec.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <random>

#include "fields/NumberText.h"
#include "ui/forms/Fields.h"

namespace {

using namespace fields;

struct Record {
  uint16_t plain;
  int16_t offset;
  uint32_t stroke;
  uint16_t baudHigh;
  uint16_t baudLow;
  float gain;
  uint16_t flags;
  uint16_t mode;
  uint16_t hidden;
};

constexpr ListItem kModes[] = {{"A", 0}, {"B", 1}, {"C", 2}};
constexpr ListItem kBauds[] = {{"9600", 9600}, {"115200", 115200}};
constexpr ListItem kButtons[] = {{"off", 0}, {"on", 1}};

constexpr ParamSpec Plain(uint8_t decimals) {
  return Param::Number("额定电流:", KV_RECORD(Record, plain)).Decimals(decimals);
}
constexpr ParamSpec kOffset = Param::Number("模拟信号调整:", KV_RECORD(Record, offset)).Decimals(3);
constexpr ParamSpec kStroke = Param::Number("总行程:", KV_RECORD(Record, stroke));
constexpr ParamSpec kBaud = Param::Choice("串口波特率:", kBauds, KV_RECORD_SPLIT(Record, baudHigh, "baud")).UnknownAsItem();
constexpr ParamSpec kGain = Param::Number("Kp:", KV_RECORD(Record, gain)).Named("速度PID参数 Kp");
constexpr ParamSpec kFlag = Param::Flag("禁用报警", KV_RECORD(Record, flags));
constexpr ParamSpec kMode = Param::Choice("复位方式:", kModes, KV_RECORD(Record, mode));
constexpr ParamSpec kBitRadio = Param::Choice("稳速控制算法:", kButtons, KV_RECORD(Record, flags)).Bit0();
constexpr ParamSpec kRamp = Param::Number("加速加速度:", KV_RECORD(Record, plain)).Decimals(1).ClampHigh();

FieldValue Typed(const char* text) {
  FieldValue value;
  value.text = text;
  return value;
}

const uint8_t* Bytes(const Record& record) { return reinterpret_cast<const uint8_t*>(&record); }

// The slot's bits after showing `raw` and taking the value back. An edit's
// text is taken on a record that held something else, so the text alone
// must carry the value; a choice may keep what was read.
uint32_t RoundTrip(const ParamSpec& field, uint32_t raw) {
  Record shown{};
  StoreSlot(field, raw, reinterpret_cast<uint8_t*>(&shown));
  const FieldValue value = FormatField(field, Bytes(shown));
  Record base = shown;
  if (field.value == ValueKind::Number) StoreSlot(field, ~raw, reinterpret_cast<uint8_t*>(&base));
  const std::string refusal = ParseField(field, value, reinterpret_cast<uint8_t*>(&base));
  EXPECT_EQ(refusal, "") << "raw " << raw << " text " << value.text;
  return LoadSlot(field, Bytes(base));
}

TEST(FieldCodec, EverySixteenBitValueSurvivesDisplayAndEntry) {
  const ParamSpec fields[] = {Plain(0), Plain(1), Plain(2), Plain(3), kOffset, kFlag, kMode, kBitRadio};
  for (const ParamSpec& field : fields) {
    for (uint32_t raw = 0; raw <= 0xFFFF; ++raw) {
      ASSERT_EQ(RoundTrip(field, raw), raw) << field.label << " decimals " << int{field.decimals};
    }
  }
}

TEST(FieldCodec, ThirtyTwoBitValuesSurvive) {
  std::mt19937 random(7);
  std::vector<uint32_t> samples = {0, 1, 9600, 14400, 100000, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFE, 0xFFFFFFFF};
  for (int i = 0; i < 20000; ++i) samples.push_back(random());
  for (uint32_t raw : samples) {
    ASSERT_EQ(RoundTrip(kStroke, raw), raw);
    ASSERT_EQ(RoundTrip(kBaud, raw), raw);
  }
}

TEST(FieldCodec, FloatBitPatternsSurviveBothFormats) {
  std::vector<uint32_t> samples = {
      0x00000000, 0x80000000,  // both zeros
      0x00000001, 0x007FFFFF, 0x80000001,  // subnormals
      0x00800000, 0x7F7FFFFF, 0xFF7FFFFF,  // smallest normal, largest finite
      0x3DCCCCCD, 0x3F800000, 0x4996B438,  // 0.1, 1.0, 1234567
      0x33D6BF95,                          // 1e-7
  };
  std::mt19937 random(11);
  while (samples.size() < 30000) {
    const uint32_t bits = random();
    if (std::isfinite(std::bit_cast<float>(bits))) samples.push_back(bits);
  }
  for (FloatText text : {FloatText::Fixed, FloatText::General}) {
    const ParamSpec gain = kGain.Float(text);
    for (uint32_t bits : samples) ASSERT_EQ(RoundTrip(gain, bits), bits) << std::hex << bits;
  }
}

TEST(FieldCodec, FloatsKeepTheirFormatWhereItReadsBack) {
  struct Case {
    float value;
    FloatText format;
    const char* text;
  } cases[] = {
      {1.0f, FloatText::Fixed, "1.000000"}, {0.1f, FloatText::General, "0.1"},
      {1.0f, FloatText::General, "1"},      {1234567.0f, FloatText::General, "1234567"},
      {1e-7f, FloatText::Fixed, "1e-07"},   {100000.0f, FloatText::General, "100000"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatFloat(c.value, c.format), c.text) << c.text;
}

// What an entry writes, or that it is refused with the field's message.
TEST(FieldCodec, EntriesAreReadExactlyOrRefused) {
  constexpr uint32_t Refused = 0xDEADBEEF;
  struct Case {
    ParamSpec field;
    const char* text;
    uint32_t raw;
  } cases[] = {
      {Plain(2), "0.29", 29},          {Plain(2), " 1.5 ", 150},        {Plain(3), "1.001", 1001},
      {Plain(1), "6553.5", 65535},     {Plain(1), "6553.6", Refused},   {Plain(1), "6553.54", 65535},
      {Plain(1), "0.05", 1},           {Plain(1), "0.04", 0},           {Plain(0), "1e3", 1000},
      {Plain(0), "+7", 7},             {Plain(1), ".5", 5},             {Plain(0), "-1", Refused},
      {Plain(0), "", Refused},         {Plain(0), "abc", Refused},      {Plain(0), "12abc", Refused},
      {Plain(0), "0x10", Refused},     {Plain(1), "1,5", Refused},      {Plain(0), "1e30", Refused},
      {kOffset, "-0.001", 0xFFFF},     {kOffset, "-32.768", 0x8000},    {kOffset, "32.768", Refused},
      {kStroke, "4294967295", 0xFFFFFFFF}, {kStroke, "4294967296", Refused}, {kStroke, "-1", Refused},
      {kRamp, "7000", 65535},          {kRamp, "1e30", 65535},          {kRamp, "-0.1", Refused},
      {kGain, "0.1", 0x3DCCCCCD},      {kGain, "1e39", Refused},        {kGain, "nan", Refused},
      {kGain, "inf", Refused},         {kGain, "", Refused},
  };
  for (const Case& c : cases) {
    Record record{};
    record.plain = 0x1234;
    const std::string refusal = ParseField(c.field, Typed(c.text), reinterpret_cast<uint8_t*>(&record));
    if (c.raw == Refused) {
      EXPECT_FALSE(refusal.empty()) << c.field.label << " \"" << c.text << "\"";
    } else {
      EXPECT_EQ(refusal, "") << c.text;
      EXPECT_EQ(LoadSlot(c.field, Bytes(record)), c.raw) << c.field.label << " \"" << c.text << "\"";
    }
  }
}

// Values up to 2^62 are read as they are, 19 digits included; only beyond
// it do they saturate.
TEST(NumberText, ScaledValuesSaturateOnlyBeyondTwoToTheSixtyTwo) {
  constexpr int64_t Top = int64_t{1} << 62;
  const struct {
    const char* text;
    int decimals;
    int64_t value;
  } cases[] = {
      {"1000000000000000000", 0, 1000000000000000000},  {"-1000000000000000000", 0, -1000000000000000000},
      {"100000000000000000.0", 1, 1000000000000000000}, {"999999999999999999.9", 0, 1000000000000000000},
      {"4611686018427387903", 0, Top - 1},               {"4611686018427387904", 0, Top},
      {"4611686018427387905", 0, Top},                   {"9999999999999999999", 0, Top},
      {"9999999999999999999.9", 0, Top},                 {"99999999999999999999", 0, Top},
      {"-1e30", 2, -Top},                                {"461168601842738790.34", 1, Top - 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseScaled(c.text, c.decimals), c.value) << c.text;
    EXPECT_EQ(ParseScaled(FormatScaled(c.value, c.decimals), c.decimals), c.value) << c.text;
  }
}

TEST(FieldCodec, RefusalsNameTheFieldAndItsRange) {
  EXPECT_EQ(RangeMessage(Plain(2)), "额定电流: 请输入 0.00 到 655.35 之间的数值");
  EXPECT_EQ(RangeMessage(kOffset), "模拟信号调整: 请输入 -32.768 到 32.767 之间的数值");
  EXPECT_EQ(RangeMessage(kStroke), "总行程: 请输入 0 到 4294967295 之间的数值");
  EXPECT_EQ(RangeMessage(kGain), "速度PID参数 Kp: 请输入 -3.4028235e+38 到 3.4028235e+38 之间的数值");
}

TEST(FieldCodec, ChoicesKeepWhatTheyDoNotShow) {
  Record read{};
  read.mode = 5;       // no item has it
  read.baudHigh = 0;   // 14400: not in the list
  read.baudLow = 14400;
  read.flags = 0xFFFE;  // bit 0 clear, others set
  const ParamSpec fields[] = {kMode, kBaud, kFlag};
  FormValues values = ToTexts(fields, read);
  EXPECT_EQ(values[0].index, -1);
  EXPECT_EQ(values[1].index, 2);
  EXPECT_EQ(values[1].extraItem, "14400");
  EXPECT_EQ(values[2].index, 0);

  FormResult<Record> unchanged = FromTexts(fields, values, read);
  ASSERT_FALSE(unchanged.error);
  EXPECT_EQ(std::memcmp(&unchanged.record, &read, sizeof read), 0);

  values[0].index = 2;  // "C"
  values[1].index = 1;  // "115200"
  values[2].index = 1;  // ticked
  const FormResult<Record> chosen = FromTexts(fields, values, read);
  EXPECT_EQ(chosen.record.mode, 2);
  EXPECT_EQ(chosen.record.baudHigh, 0x0001);
  EXPECT_EQ(chosen.record.baudLow, 0xC200);
  EXPECT_EQ(chosen.record.flags, 0xFFFF);
}

TEST(FieldCodec, FirstBadFieldStopsTheForm) {
  const ParamSpec fields[] = {Plain(2), kOffset, kStroke};
  const FormValues values = {Typed("1.00"), Typed("99"), Typed("x")};
  const FormResult<Record> result = FromTexts(fields, values, Record{});
  ASSERT_TRUE(result.error);
  EXPECT_EQ(result.error->field, 1u);
  EXPECT_EQ(result.error->message, RangeMessage(kOffset));
}

TEST(FieldCodec, BrokenTablesAreFound) {
  struct Small {
    uint16_t only;
  };
  EXPECT_EQ(CheckParam(kMode, sizeof(Record)), "");
  EXPECT_NE(CheckParam(kStroke, sizeof(Small)), "");
  EXPECT_NE(CheckParam(Param::Choice("x:", {}, KV_RECORD(Record, mode)), sizeof(Record)), "");
  EXPECT_NE(CheckParam(Param::Number("x:", RecordSlot{Storage::U16, 0, nullptr}), sizeof(Record)), "");
  // On a page: a control needs its id, a radio group a button per item.
  const forms::FieldSpec placed[] = {forms::FieldSpec::Of(kMode, 107)};
  EXPECT_EQ(forms::CheckFields(placed, sizeof(Record)), "");
  const forms::FieldSpec noId[] = {forms::FieldSpec::Of(kMode, 0)};
  EXPECT_NE(forms::CheckFields(noId, sizeof(Record)), "");
  constexpr int oneButton[] = {501};
  const forms::FieldSpec shortRadio[] = {forms::FieldSpec::Of(kBitRadio, 0).AsRadio(oneButton)};
  EXPECT_NE(forms::CheckFields(shortRadio, sizeof(Record)), "");
}

}  // namespace

// The tables and conversions of the motor control and motor parameter
// pages: every register value they show comes back unchanged, their own
// refusals, the phase-order codec and the clamps of the run commands.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "fields/FieldCodec.h"
#include "ui/forms/MotorControlForm.h"
#include "ui/forms/MotorParamForm.h"

namespace {

using namespace forms;
using namespace fields;
namespace mc = forms::motorcontrol;
namespace mp = forms::motorparam;

// A record with `value` in every 16-bit word.
template <class Block>
Block Filled(uint16_t value) {
  Block record;
  for (size_t at = 0; at < sizeof record; at += 2) std::memcpy(reinterpret_cast<uint8_t*>(&record) + at, &value, 2);
  return record;
}

// The record the page writes back differs from `read` in every bit the
// fields themselves set, so only the texts can bring those bits back.
template <class Block>
Block Scrambled(std::span<const FieldSpec> fields, const Block& read) {
  Block base = read;
  auto* bytes = reinterpret_cast<uint8_t*>(&base);
  for (const FieldSpec& field : fields) {
    if (field.slot.storage == Storage::None) continue;
    const bool bit0 = field.bit0 || field.kind == FieldKind::Check;
    const size_t length = field.slot.storage == Storage::Custom ? sizeof(MotorParamBlock::phaseOrder) : 2;
    for (size_t i = 0; i < length; ++i) bytes[field.slot.offset + i] ^= bit0 ? (i == 0 ? 1 : 0) : 0xFF;
  }
  return base;
}

template <class Block>
void ExpectEveryWordSurvives(std::span<const FieldSpec> fields) {
  for (uint32_t value = 0; value <= 0xFFFF; ++value) {
    const Block read = Filled<Block>(static_cast<uint16_t>(value));
    const FormResult<Block> back = FromTexts(fields, ToTexts(fields, read), Scrambled(fields, read));
    ASSERT_FALSE(back.error) << value << ": " << back.error->message;
    ASSERT_EQ(std::memcmp(&back.record, &read, sizeof read), 0) << value;
  }
}

TEST(MotorForms, EveryRegisterValueShownComesBackUnchanged) {
  EXPECT_EQ(CheckFields(mc::Ramps(), sizeof(RampBlock)), "");
  EXPECT_EQ(CheckFields(mp::Params(), sizeof(MotorParamBlock)), "");
  ExpectEveryWordSurvives<RampBlock>(mc::Ramps());
  // Words 8 and 9, which no field shows, come from the record read.
  ExpectEveryWordSurvives<MotorParamBlock>(mp::Params());
}

// One entry typed into a page's table, the others as a record of zeros
// shows them: the word it gives, or the refusal that names it.
template <class Block>
struct EntryCase {
  int id;
  const char* text;
  uint16_t Block::*member;  // nullptr: refused with `message`
  uint16_t word;
  const char* message;
};

template <class Block>
void ExpectEntries(std::span<const FieldSpec> fields, std::initializer_list<EntryCase<Block>> cases) {
  for (const EntryCase<Block>& c : cases) {
    const Block zero{};
    FormValues values = ToTexts(fields, zero);
    for (size_t i = 0; i < fields.size(); ++i) {
      if (fields[i].id == c.id) values[i].text = c.text;
    }
    const FormResult<Block> result = FromTexts(fields, values, zero);
    if (c.member == nullptr) {
      ASSERT_TRUE(result.error) << c.text;
      EXPECT_EQ(result.error->message, c.message);
      EXPECT_EQ(fields[result.error->field].id, c.id);
    } else {
      ASSERT_FALSE(result.error) << c.text;
      EXPECT_EQ(result.record.*c.member, c.word) << c.text;
    }
  }
}

TEST(MotorForms, EntriesRoundClampOrAreRefusedByName) {
  using M = MotorParamBlock;
  ExpectEntries<M>(mp::Params(), {
                                     {1043, "0.29", &M::ratedCurrent, 29, ""},
                                     {1043, " 1.5 ", &M::ratedCurrent, 150, ""},
                                     {1094, "6553.5", &M::gearRatio, 65535, ""},
                                     {1043, "-1", nullptr, 0, "额定电流: 请输入 0.00 到 655.35 之间的数值"},
                                     {1094, "6553.6", nullptr, 0, "减速器减速比: 请输入 0.0 到 6553.5 之间的数值"},
                                     {1093, "", nullptr, 0, "电机极个数: 请输入 0 到 65535 之间的数值"},
                                     {1061, "70000", nullptr, 0, "位置控制允许误差: 请输入 0 到 65535 之间的数值"},
                                     {1049, "abc", nullptr, 0, "PWM调速启动缓冲: 请输入 0.0 到 6553.5 之间的数值"},
                                 });
  // Ramps above what the register holds are taken as its largest value.
  using R = RampBlock;
  ExpectEntries<R>(mc::Ramps(), {
                                    {1054, "0.3", &R::pwmRise, 3, ""},
                                    {1057, "6553.5", &R::acceleration, 65535, ""},
                                    {1058, "7000", &R::deceleration, 65535, ""},
                                    {1055, "1e9", &R::pwmFall, 65535, ""},
                                    {1054, "-1", nullptr, 0, "PWM上升缓冲: 请输入 0.0 到 6553.5 之间的数值"},
                                    {1058, "abc", nullptr, 0, "减速加速度: 请输入 0.0 到 6553.5 之间的数值"},
                                    {1057, "", nullptr, 0, "加速加速度: 请输入 0.0 到 6553.5 之间的数值"},
                                });
}

TEST(MotorForms, PhaseOrderIsSixBytesOrNothing) {
  const uint16_t shown[3] = {0x1A2B, 0x3C4D, 0x5E6F};
  EXPECT_EQ(fields::PhaseOrderText(shown), "1A 2B 3C 4D 5E 6F");

  struct Case {
    const char* text;
    bool accepted;
    uint16_t words[3];
  };
  const Case cases[] = {
      {"1A 2B 3C 4D 5E 6F", true, {0x1A2B, 0x3C4D, 0x5E6F}},
      {"  1a 2b  3c 4d 5e 6f ", true, {0x1A2B, 0x3C4D, 0x5E6F}},
      {"1 5 4 6 2 3", true, {0x0105, 0x0406, 0x0203}},
      {"", true, {0, 0, 0}},
      {"   ", true, {0, 0, 0}},
      {"1A 2B 3C 4D 5E", false, {}},
      {"1A 2B 3C 4D 5E 6F 70", false, {}},
      {"12 34 56 78 9A 1BC", false, {}},
      {"1G 2B 3C 4D 5E 6F", false, {}},
      {"0x1A 2B 3C 4D 5E 6F", false, {}},
      {"-1 2B 3C 4D 5E 6F", false, {}},
      {"1A,2B,3C,4D,5E,6F", false, {}},
  };
  const FieldSpec* phaseOrder = nullptr;
  for (const FieldSpec& field : mp::Params()) {
    if (field.id == mp::id::PhaseOrder) phaseOrder = &field;
  }
  ASSERT_NE(phaseOrder, nullptr);
  for (const Case& c : cases) {
    MotorParamBlock record{};
    record.phaseOrder[0] = record.phaseOrder[1] = record.phaseOrder[2] = 0xFFFF;
    FieldValue value;
    value.text = c.text;
    const std::string refusal = ParseField(*phaseOrder, value, reinterpret_cast<uint8_t*>(&record));
    if (!c.accepted) {
      EXPECT_EQ(refusal, "电机相序数据: 请输入以空格分隔的 6 个十六进制数 (00 到 FF)") << c.text;
      EXPECT_EQ(record.phaseOrder[0], 0xFFFF) << "a refused text changes nothing";
      continue;
    }
    EXPECT_EQ(refusal, "") << c.text;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(record.phaseOrder[i], c.words[i]) << c.text << " word " << i;
  }

  // A learning result shows each register whole, so a driver that answers
  // more than a byte is seen, and the page refuses to configure it.
  LearningBlock block{};
  const uint16_t results[6] = {0x12, 0x34, 0x56, 0x78, 0x9A, 0x1BC};
  std::memcpy(&block.words[5], results, sizeof results);
  EXPECT_EQ(mp::LearnedPhaseOrder(block), "12 34 56 78 9A 1BC");
}

TEST(MotorForms, SliderMaximaAndMoveFrequencyClampAsDescribed) {
  struct Maximum {
    const char* typed;
    const char* shown;
    int limit;
  };
  const Maximum frequency[] = {
      {"1000.0", "1000.0", 10000}, {"5000", "3276.7", 32767}, {"0", "0.1", 1}, {"12.34", "12.3", 123},
      {"12.35", "12.4", 124},      {"-5", "0.1", 1},          {"", "0.1", 1},  {"abc", "0.1", 1},
  };
  for (const Maximum& m : frequency) {
    const mc::SliderMaximum result = mc::FrequencyMaximum(m.typed);
    EXPECT_EQ(result.text, m.shown) << m.typed;
    EXPECT_EQ(result.limit, m.limit) << m.typed;
  }
  const Maximum position[] = {
      {"10000", "10000", 10000}, {"", "1", 1},      {"-50", "1", 1},
      {"123a", "123", 123},      {" +42", "42", 42}, {"99999999999", "2147483647", INT_MAX},
  };
  for (const Maximum& m : position) {
    const mc::SliderMaximum result = mc::PositionMaximum(m.typed);
    EXPECT_EQ(result.text, m.shown) << m.typed;
    EXPECT_EQ(result.limit, m.limit) << m.typed;
  }

  struct Move {
    const char* typed;
    int word;  // -1: refused
  };
  const Move moves[] = {{"500.0", 5000}, {"0", 1}, {"0.04", 1}, {"-3", 1}, {"7000", 65535},
                        {"6553.5", 65535}, {"", -1}, {"abc", -1}, {"1,5", -1}};
  for (const Move& m : moves) {
    const std::optional<uint16_t> word = mc::MoveFrequencyWord(m.typed);
    EXPECT_EQ(word.has_value(), m.word >= 0) << m.typed;
    if (word) {
      EXPECT_EQ(*word, m.word) << m.typed;
    }
  }
  EXPECT_EQ(mc::MoveFrequencyMessage(), "换向频率: 请输入 0.1 到 6553.5 之间的数值");

  EXPECT_EQ(mc::PwmText(-250), "-25.0%");
  EXPECT_EQ(mc::PwmText(-5), "-0.5%");
  EXPECT_EQ(mc::FrequencyText(32767), "3276.7Hz");
  EXPECT_EQ(mc::PositionText(-70000), "-70000");
}

}  // namespace

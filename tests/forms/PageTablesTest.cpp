// The field tables of the system parameter, PID and reciprocating pages:
// every register of a block has exactly one field (the reserved ones none),
// a record read comes back word for word, and the preset speeds' scale
// follows the speed mode.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <random>
#include <set>
#include <vector>

#include "driver/RegisterMap.h"
#include "fields/FieldCodec.h"
#include "fields/ParamTables.h"
#include "ui/forms/PidParamForm.h"
#include "ui/forms/ReciprocateForm.h"
#include "ui/forms/SystemParamForm.h"

namespace {

using namespace forms;
using fields::CheckParams;
using fields::FindParamBlock;
using fields::ParamBlock;
using fields::ParamBlocks;
using fields::ParamSpec;
using fields::FieldError;
using fields::FormResult;

struct Table {
  const char* name;
  std::span<const FieldSpec> fields;
  size_t bytes;
  std::set<size_t> reserved;  // byte offsets of registers no field shows
};

const Table kTables[] = {
    {"system", sysparam::Fields(), sizeof(SystemParamBlock),
     {offsetof(SystemParamBlock, reserved15), offsetof(SystemParamBlock, reserved19)}},
    {"reciprocation", reciprocate::Reciprocation(), sizeof(ReciprocateBlock), {}},
    {"preset speeds 0.1", reciprocate::PresetSpeeds(0), sizeof(PresetSpeedBlock), {}},
    {"preset speeds 0.01", reciprocate::PresetSpeeds(1), sizeof(PresetSpeedBlock), {}},
    {"pid", pid::Gains(), sizeof(PidBlock), {}},
};

// The file and the command line know the blocks by these tables alone:
// each fits its record and names every register by a key of its own.
TEST(ParamBlocks, EachTableFitsItsRecordWithKeysOfItsOwn) {
  std::set<std::string> blockKeys;
  for (const ParamBlock& block : ParamBlocks()) {
    EXPECT_TRUE(blockKeys.insert(block.key).second) << block.key;
    EXPECT_EQ(FindParamBlock(block.key), &block);
    const std::vector<uint8_t> record(block.spec->recordBytes, 0);
    for (const uint8_t speedMode : {0, 1}) {
      std::vector<uint8_t> withMode = record;
      withMode[0] = speedMode;
      const std::span<const ParamSpec> params = block.paramsFor(withMode.data());
      EXPECT_EQ(CheckParams(params, block.spec->recordBytes), "") << block.key;
      std::set<std::string> keys;
      for (const ParamSpec& param : params) EXPECT_TRUE(keys.insert(param.Key()).second) << param.Key();
    }
  }
  EXPECT_EQ(blockKeys.size(), 6u);
  EXPECT_EQ(FindParamBlock("status"), nullptr);
}

TEST(PageTables, EveryRegisterHasOneFieldButTheReservedOnes) {
  for (const Table& table : kTables) {
    EXPECT_EQ(CheckFields(table.fields, table.bytes), "") << table.name;
    std::vector<int> fieldsOver(table.bytes, 0);
    for (const FieldSpec& field : table.fields) {
      for (size_t b = 0; b < SlotBytes(field.slot.storage); ++b) ++fieldsOver.at(field.slot.offset + b);
    }
    for (size_t b = 0; b < table.bytes; ++b) {
      EXPECT_EQ(fieldsOver[b], table.reserved.count(b & ~size_t{1}) ? 0 : 1) << table.name << " byte " << b;
    }
  }
}

// Random records (floats kept finite: a driver's NaN is not a value to
// send), the all-zero and all-one records, then the texts shown taken back
// onto a record whose edit slots hold something else.
TEST(PageTables, RecordsReadComeBackWordForWord) {
  std::mt19937 random(3);
  for (const Table& table : kTables) {
    for (int round = 0; round < 3000; ++round) {
      std::vector<uint8_t> read(table.bytes, round == 0 ? 0x00 : 0xFF);
      if (round > 1) {
        for (uint8_t& byte : read) byte = static_cast<uint8_t>(random());
      }
      for (const FieldSpec& field : table.fields) {
        const uint32_t bits = LoadSlot(field, read.data());
        if (field.slot.storage == Storage::F32 && !std::isfinite(std::bit_cast<float>(bits))) {
          StoreSlot(field, bits ^ 0x40000000, read.data());
        }
      }
      std::vector<uint8_t> taken = read;
      for (const FieldSpec& field : table.fields) {
        if (field.kind == FieldKind::Edit) StoreSlot(field, ~LoadSlot(field, read.data()), taken.data());
      }
      const FormValues shown = ToTextsAt(table.fields, read.data());
      const std::optional<FieldError> error = FromTextsAt(table.fields, shown, taken.data());
      ASSERT_FALSE(error) << table.name << ": " << error->message;
      ASSERT_EQ(taken, read) << table.name << " round " << round;
    }
  }
}

// Shown with the scale of the mode read; taken with the scale of the mode
// about to be sent, which is the one read while no item is chosen.
TEST(PresetSpeeds, ScaleFollowsTheSpeedMode) {
  struct Case {
    uint16_t modeRead;
    uint16_t forwardRead;
    const char* shown;
    int chosen;  // item of "调速方式:", -1 for none
    const char* typed;
    uint16_t modeSent;
    uint16_t forwardSent;
  } cases[] = {
      {1, 1234, "12.34", 1, "12.34", 1, 1234},  // torque
      {1, 1234, "12.34", 0, "12.34", 0, 123},   // switched to duty cycle before configuring
      {0, 1234, "123.4", 1, "123.4", 1, 12340},
      {2, 65535, "6553.5", 2, "6553.5", 2, 65535},
      {7, 500, "50.0", -1, "50.0", 7, 500},  // a mode the list lacks counts 0.1
  };
  for (const Case& c : cases) {
    const PresetSpeedBlock read{c.modeRead, 1, c.forwardRead, 0};
    FormValues values = ToTexts(reciprocate::PresetSpeeds(read.speedMode), read);
    EXPECT_EQ(values[2].text, c.shown) << c.shown;
    values[0].index = c.chosen;
    values[2].text = c.typed;
    const uint16_t mode = reciprocate::SpeedModeToSend(values, read);
    EXPECT_EQ(mode, c.modeSent) << c.typed;
    const FormResult<PresetSpeedBlock> sent = FromTexts(reciprocate::PresetSpeeds(mode), values, read);
    ASSERT_FALSE(sent.error) << sent.error->message;
    EXPECT_EQ(sent.record.speedMode, c.modeSent) << c.typed;
    EXPECT_EQ(sent.record.forwardSpeed, c.forwardSent) << c.typed;
  }
  FormValues tooFast(4);
  tooFast[2].text = "655.36";
  tooFast[3].text = "0";
  const FormResult<PresetSpeedBlock> refused = FromTexts(reciprocate::PresetSpeeds(1), tooFast, PresetSpeedBlock{});
  ASSERT_TRUE(refused.error);
  EXPECT_EQ(refused.error->message, "正转速度: 请输入 0.00 到 655.35 之间的数值");
}

}  // namespace

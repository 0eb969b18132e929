#include "decode/RegisterAreas.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <span>

#include "driver/BlockWords.h"
#include "driver/RegisterMap.h"
#include "fields/CFormat.h"
#include "fields/EntryText.h"
#include "fields/CommandTables.h"
#include "fields/DeviceInfoTexts.h"
#include "fields/FieldCodec.h"
#include "fields/ParamTables.h"
#include "fields/StatusTexts.h"
#include "lang/Texts.h"
#include "link/FrameCodec.h"

namespace decode {
namespace {

using fields::ParamSpec;

constexpr const char* kUnknownArea = "未知寄存器";
// The largest record of an area, in bytes.
constexpr size_t kMaxRecord = 64;

// How an area's record becomes texts.
enum class Texts {
  Params,      // its entries in the field tables
  Status,      // the status box's texts, for the whole block only
  DeviceInfo,  // the device-information box's texts, for the whole block only
};

struct Area {
  const char* name;
  uint16_t start;
  uint16_t registers;
  const BlockSpec* spec;  // byte order; nullptr: plain registers
  Texts texts;
  std::span<const ParamSpec> (*paramsFor)(const uint8_t* record);
  std::span<const ParamSpec> params;  // when paramsFor is nullptr
};

uint16_t RegistersOf(const BlockSpec& spec) {
  return static_cast<uint16_t>(std::min<size_t>(spec.recordBytes, kMaxRecord) / 2);
}

Area BlockArea(const char* name, const BlockSpec& spec, Texts texts, std::span<const ParamSpec> params = {}) {
  return {name, spec.start, RegistersOf(spec), &spec, texts, nullptr, params};
}

bool Overlaps(const Area& area, uint32_t start, uint32_t count) {
  return start < uint32_t{area.start} + area.registers && area.start < start + count;
}

// Every area, in address order. A command register that lies inside a
// block (the third speed command in the position move) is reached by a
// single write only.
std::vector<Area> MakeAreas() {
  std::vector<Area> areas = {
      BlockArea("设备信息", RegisterMap::DeviceInfo, Texts::DeviceInfo),
      BlockArea("实时状态", RegisterMap::Status, Texts::Status),
      BlockArea(fields::command::PositionMoveTitle, RegisterMap::PositionMove, Texts::Params,
                fields::command::PositionMove),
      BlockArea(fields::command::LearningTitle, RegisterMap::Learning, Texts::Params, fields::command::Learning),
  };
  for (const fields::ParamBlock& block : fields::ParamBlocks()) {
    areas.push_back({block.title, block.spec->start, RegistersOf(*block.spec), block.spec, Texts::Params,
                     block.paramsFor, {}});
  }
  const size_t blocks = areas.size();
  for (const fields::command::CommandRegister& command : fields::command::Commands) {
    const bool inBlock = std::any_of(areas.begin(), areas.begin() + static_cast<std::ptrdiff_t>(blocks),
                                     [&](const Area& area) { return Overlaps(area, command.address, 1); });
    if (!inBlock) areas.push_back({command.name, command.address, 1, nullptr, Texts::Params, nullptr, {&command.param, 1}});
  }
  std::sort(areas.begin(), areas.end(), [](const Area& a, const Area& b) { return a.start < b.start; });
  return areas;
}

const std::vector<Area>& Areas() {
  static const std::vector<Area> areas = MakeAreas();
  return areas;
}

// The value's text as a line of text shows it: a number with its unit (the
// unit's first word: "% 的输入信号" is a note for the page), a list's item,
// a switch as 是/否. A unit that is a word in the language in use ("pulses"
// for 脉冲) stands apart from the number; a symbol (A, Hz, %) does not.
std::string ValueText(const ParamSpec& param, const uint8_t* record) {
  std::string text = fields::EntryText(param, record);
  if (param.value == fields::ValueKind::Number && param.unit != nullptr) {
    const auto firstWord = [](std::string_view unit) { return unit.substr(0, unit.find(' ')); };
    const std::string_view source = firstWord(param.unit);
    const std::string_view unit = firstWord(lang::Tr(std::string_view(param.unit)));
    if (unit != source) text += ' ';
    text += unit;
  } else if (param.value == fields::ValueKind::Choice && text.empty()) {
    // A value no item has: the number itself.
    text = std::to_string(param.bit0 ? fields::LoadSlot(param, record) & 1 : fields::LoadSlot(param, record));
  }
  return text;
}

size_t BytesOf(const ParamSpec& param) { return fields::FieldBytes(param); }

std::string RegisterName(uint32_t address) { return fields::CFormat("0x%04X", address); }

uint16_t WireWord(const uint8_t* wire) { return static_cast<uint16_t>((wire[0] << 8) | wire[1]); }

// The part of an area that the registers [first, end) cover, as a record
// with those registers in place; the rest of it is zero.
struct Covered {
  std::array<uint8_t, kMaxRecord> record{};
  size_t from = 0;  // bytes of the record covered: [from, to)
  size_t to = 0;
  bool Whole(const Area& area) const { return from == 0 && to == 2u * area.registers; }
  bool Holds(size_t offset, size_t bytes) const { return offset >= from && offset + bytes <= to; }
};

Covered Cover(const Area& area, uint32_t start, const uint8_t* wire, uint32_t count) {
  Covered covered;
  const uint32_t first = std::max<uint32_t>(start, area.start);
  const uint32_t end = std::min<uint32_t>(start + count, uint32_t{area.start} + area.registers);
  covered.from = 2 * (first - area.start);
  covered.to = 2 * (end - area.start);
  std::memcpy(covered.record.data() + covered.from, wire + 2 * (first - start), covered.to - covered.from);
  if (area.spec != nullptr) {
    RecordFromWireBytes(*area.spec, covered.record.data(), covered.to);
  } else {
    SwapBytes16(covered.record.data(), covered.to);
  }
  return covered;
}

// The registers of the covered part as plain numbers, for a block whose
// texts need the whole of it.
void AddRawWords(const Area& area, const Covered& covered, std::vector<FieldText>& out) {
  for (size_t offset = covered.from; offset < covered.to; offset += 2) {
    uint16_t word;
    std::memcpy(&word, covered.record.data() + offset, sizeof word);
    out.push_back({RegisterName(area.start + offset / 2), fields::CFormat("0x%04X", static_cast<unsigned>(word))});
  }
}

// A block shown by its own texts (the status, the device information): only
// when the frame covers it whole, else as raw words.
template <class Block, class TextsOf, class FieldsOf>
void AddBlockTexts(const Area& area, const Covered& covered, TextsOf textsOf, FieldsOf fieldsOf,
                   std::vector<FieldText>& out) {
  if (!covered.Whole(area)) return AddRawWords(area, covered, out);
  Block block;
  std::memcpy(&block, covered.record.data(), sizeof block);
  const auto texts = textsOf(block);
  const auto names = fieldsOf();
  for (size_t i = 0; i < texts.size(); ++i) out.push_back({lang::Tr(names[i].name), texts[i]});
}

void AddFields(const Area& area, const Covered& covered, std::vector<FieldText>& out) {
  switch (area.texts) {
    case Texts::Status:
      return AddBlockTexts<StatusBlock>(area, covered, fields::StatusTexts, fields::StatusFields, out);
    case Texts::DeviceInfo:
      return AddBlockTexts<DeviceInfoBlock>(area, covered, fields::DeviceInfoTexts, fields::DeviceInfoFields, out);
    case Texts::Params: {
      const std::span<const ParamSpec> params = area.paramsFor ? area.paramsFor(covered.record.data()) : area.params;
      for (const ParamSpec& param : params) {
        if (!fields::HasRegister(param) || !covered.Holds(param.slot.offset, BytesOf(param))) continue;
        out.push_back({lang::Tr(fields::FieldName(param)), ValueText(param, covered.record.data())});
      }
      return;
    }
  }
}

// Walks the registers [start, start + count): each area it reaches, and the
// runs of registers that no area has. `wire` may be nullptr (names only).
RegisterMeaning Walk(uint32_t start, uint32_t count, const uint8_t* wire) {
  RegisterMeaning meaning;
  bool unknownNamed = false;
  uint32_t at = start;
  const uint32_t end = start + count;
  const auto unknownUpTo = [&](uint32_t upTo) {
    if (at >= upTo) return;
    if (!unknownNamed) meaning.areas.push_back(lang::Tr(kUnknownArea));
    unknownNamed = true;
    for (; wire != nullptr && at < upTo; ++at) {
      meaning.fields.push_back({RegisterName(at), fields::CFormat("0x%04X", WireWord(wire + 2 * (at - start)))});
    }
    at = upTo;
  };
  for (const Area& area : Areas()) {
    if (!Overlaps(area, start, count)) continue;
    unknownUpTo(area.start);
    meaning.areas.push_back(lang::Tr(area.name));
    if (wire != nullptr) AddFields(area, Cover(area, start, wire, count), meaning.fields);
    at = std::max<uint32_t>(at, uint32_t{area.start} + area.registers);
  }
  unknownUpTo(end);
  return meaning;
}

}  // namespace

RegisterMeaning NameRegisters(uint16_t start, uint16_t count) { return Walk(start, count, nullptr); }

RegisterMeaning DescribeRegisters(uint16_t start, const uint8_t* wire, size_t wireBytes) {
  // Registers beyond the address space are no registers at all.
  const uint32_t count = std::min<uint32_t>(static_cast<uint32_t>(wireBytes / 2), 0x10000u - start);
  return Walk(start, count, wire);
}

RegisterMeaning DescribeSingleWrite(uint16_t address, uint16_t value) {
  const uint8_t wire[2] = {static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value & 0xFF)};
  const fields::command::CommandRegister* command = fields::command::FindCommand(address);
  if (command == nullptr) return DescribeRegisters(address, wire, sizeof wire);
  const uint8_t record[2] = {wire[1], wire[0]};
  return {{lang::Tr(command->name)},
          {{lang::Tr(fields::FieldName(command->param)), ValueText(command->param, record)}}};
}

std::string JoinAreas(const std::vector<std::string>& areas) {
  if (areas.empty()) return lang::Tr("无寄存器");
  // Chinese lists with its enumeration comma, English with a comma.
  const char* between = lang::InUse() == lang::Language::Chinese ? "、" : ", ";
  std::string text;
  for (const std::string& area : areas) text += (text.empty() ? "" : between) + area;
  return text;
}

std::string JoinFields(const std::vector<FieldText>& fields) {
  std::string text;
  for (const FieldText& field : fields) text += (text.empty() ? "" : ", ") + field.name + "=" + field.text;
  return text;
}

}  // namespace decode

#include "fields/CommandTables.h"

#include <climits>
#include <cstring>
#include <optional>

#include "fields/CFormat.h"
#include "fields/NumberText.h"
#include "lang/Texts.h"

namespace fields::command {

const CommandRegister* FindCommand(uint16_t address) {
  for (const CommandRegister& command : Commands) {
    if (command.address == address) return &command;
  }
  return nullptr;
}

std::string FormatSigned32Slot(const uint8_t* record) {
  uint16_t words[2];
  std::memcpy(words, record, sizeof words);
  const auto bits = (uint32_t{words[0]} << 16) | words[1];
  return std::to_string(static_cast<int32_t>(bits));
}

std::string TakeSigned32Slot(std::string_view text, uint8_t* record) {
  const std::optional<int64_t> value = ParseScaled(text, 0);
  if (!value || *value < INT32_MIN || *value > INT32_MAX) return lang::Tr("请输入 -2147483648 到 2147483647 之间的整数");
  const auto bits = static_cast<uint32_t>(static_cast<int32_t>(*value));
  const uint16_t words[2] = {static_cast<uint16_t>(bits >> 16), static_cast<uint16_t>(bits & 0xFFFF)};
  std::memcpy(record, words, sizeof words);
  return {};
}

std::string LearnedPhaseOrderText(const uint16_t* results) {
  std::string text;
  for (int i = 0; i < RegisterMap::LearningResultWords; ++i) {
    if (i > 0) text += ' ';
    text += CFormat("%02X", static_cast<unsigned>(results[i]));
  }
  return text;
}

std::string FormatLearnedPhaseOrderSlot(const uint8_t* record) {
  uint16_t results[RegisterMap::LearningResultWords];
  std::memcpy(results, record, sizeof results);
  return LearnedPhaseOrderText(results);
}

std::string RefuseLearnedPhaseOrder(std::string_view, uint8_t*) { return lang::Tr("由驱动器的学习结果给出"); }

}  // namespace fields::command

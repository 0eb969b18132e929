#include "fields/CommandTexts.h"

#include "fields/CFormat.h"
#include "fields/ParamTables.h"
#include "lang/Texts.h"

namespace fields {
namespace {

std::string PositionMoveText(const uint16_t* words) {
  const auto position = static_cast<int32_t>((static_cast<uint32_t>(words[2]) << 16) | words[3]);
  const char* type = ItemText(PositionTypes, words[1]);
  return lang::Fill(lang::Tr("位置运动 {1} {2} {3}Hz"), {std::to_string(position), *type != '\0' ? lang::Tr(type) : "?",
                                                       CFormat("%.1f", words[0] * 0.1)});
}

}  // namespace

const char* ItemText(std::span<const ListItem> items, int value) {
  for (const ListItem& item : items) {
    if (static_cast<int>(item.value) == value) return item.text;
  }
  return "";
}

std::string CommandText(uint16_t start, const uint16_t* words, uint16_t count) {
  namespace map = RegisterMap;
  const std::string address = CFormat("0x%04X", start);
  if (count == 0 || words == nullptr) return lang::Fill(lang::Tr("写入 {1}"), {address});
  const uint16_t word = words[0];
  if (count == 1) {
    switch (start) {
      case map::StopCommand: {
        const char* mode = ItemText(StopModes, word);
        return lang::Fill(lang::Tr("停止 {1}"), {*mode != '\0' ? lang::Tr(mode) : std::to_string(word)});
      }
      case map::PwmDutyCommand:
        return lang::Fill(lang::Tr("PWM运行 {1}%"), {CFormat("%.1f", static_cast<int16_t>(word) * 0.1)});
      case map::FrequencyCommand:
        return lang::Fill(lang::Tr("频率运行 {1}Hz"), {CFormat("%.1f", static_cast<int16_t>(word) * 0.1)});
      case map::ReciprocateCommand: {
        const char* command = ItemText(ReciprocateCommands, word);
        return *command != '\0' ? std::string(lang::Tr(command))
                                 : lang::Fill(lang::Tr("往复命令 {1}"), {std::to_string(word)});
      }
      default:
        break;
    }
  }
  if (start == map::PositionMoveStart && count == map::PositionMoveCount) return PositionMoveText(words);
  if (start == map::Learning.start && count >= static_cast<uint16_t>(RegisterMap::LearningStateWord) + 1) {
    // The start command finds the block idle; the run's last write hands
    // back the block as the driver left it.
    return lang::Tr(words[RegisterMap::LearningStateWord] == 0 ? "开始学习" : "学习结束");
  }
  for (const ParamBlock& block : ParamBlocks()) {
    if (block.spec->start == start) return lang::Fill(lang::Tr("写入 {1}"), {lang::Tr(block.title)});
  }
  return count == 1 ? lang::Fill(lang::Tr("写入 {1} = {2}"), {address, std::to_string(word)})
                    : lang::Fill(lang::Tr("写入 {1} ({2}个寄存器)"), {address, std::to_string(count)});
}

}  // namespace fields

#include "fields/CommandTexts.h"

#include "fields/CFormat.h"
#include "fields/ParamTables.h"

namespace fields {
namespace {

std::string PositionMoveText(const uint16_t* words) {
  const auto position = static_cast<int32_t>((static_cast<uint32_t>(words[2]) << 16) | words[3]);
  const char* type = ItemText(PositionTypes, words[1]);
  return CFormat("位置运动 %ld %s %.1fHz", static_cast<long>(position), *type != '\0' ? type : "?", words[0] * 0.1);
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
  if (count == 0 || words == nullptr) return CFormat("写入 0x%04X", start);
  const uint16_t word = words[0];
  if (count == 1) {
    switch (start) {
      case map::StopCommand: {
        const char* mode = ItemText(StopModes, word);
        return *mode != '\0' ? std::string("停止 ") + mode : CFormat("停止 %u", word);
      }
      case map::PwmDutyCommand:
        return CFormat("PWM运行 %.1f%%", static_cast<int16_t>(word) * 0.1);
      case map::FrequencyCommand:
        return CFormat("频率运行 %.1fHz", static_cast<int16_t>(word) * 0.1);
      case map::ReciprocateCommand: {
        const char* command = ItemText(ReciprocateCommands, word);
        return *command != '\0' ? std::string(command) : CFormat("往复命令 %u", word);
      }
      default:
        break;
    }
  }
  if (start == map::PositionMoveStart && count == map::PositionMoveCount) return PositionMoveText(words);
  if (start == map::Learning.start && count >= static_cast<uint16_t>(RegisterMap::LearningStateWord) + 1) {
    // The start command finds the block idle; the run's last write hands
    // back the block as the driver left it.
    return words[RegisterMap::LearningStateWord] == 0 ? "开始学习" : "学习结束";
  }
  for (const ParamBlock& block : ParamBlocks()) {
    if (block.spec->start == start) return std::string("写入 ") + block.title;
  }
  return count == 1 ? CFormat("写入 0x%04X = %u", start, word) : CFormat("写入 0x%04X (%u个寄存器)", start, count);
}

}  // namespace fields

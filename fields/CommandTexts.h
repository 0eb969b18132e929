// The text of any write to the driver as the plot's marks show it, in the
// tool's words, from the command registers' description (CommandTables).
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "driver/RegisterMap.h"
#include "fields/CommandTables.h"
#include "fields/Param.h"

namespace fields {

// The lists of the command registers are described once, with the
// registers themselves.
using command::PositionTypes;
using command::StopModes;
inline constexpr std::span<const ListItem> ReciprocateCommands = command::ReciprocateOperations;

// The text of a list item by its value, as its table has it (to be
// translated where shown); empty for a value it has none for.
const char* ItemText(std::span<const ListItem> items, int value);

// What a write of `count` words from `start` asks of the driver, in the
// language in use: "频率运行 100.0Hz", "停止 正常停止", "开始学习",
// "写入 电机参数配置"; a write of other registers names its first register.
std::string CommandText(uint16_t start, const uint16_t* words, uint16_t count);

}  // namespace fields

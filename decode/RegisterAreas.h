// The driver's registers as the frame decoder knows them: every block and
// command register of the register map with the entries that give its
// fields their names and texts (the field tables, the status and
// device-information texts). A run of registers, as a read answer or a
// write request carries it, becomes the names of the areas it reaches and
// the text of each field it holds whole; registers of no area are unknown.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace decode {

struct FieldText {
  std::string name;  // the field's name, or the register's address for an unknown one
  std::string text;  // its value as the tool shows it, with its unit
};

struct RegisterMeaning {
  // The areas the registers reach, in address order ("实时状态"), or
  // "未知寄存器" for registers no area has.
  std::vector<std::string> areas;
  std::vector<FieldText> fields;
};

// The areas of `count` registers from `start`, without their values.
RegisterMeaning NameRegisters(uint16_t start, uint16_t count);
// `wire` holds `count` registers from `start` as the line carries them
// (high byte first); only as many as it holds are decoded.
RegisterMeaning DescribeRegisters(uint16_t start, const uint8_t* wire, size_t wireBytes);
// A single write: the command register's own entry where it is one (the
// third speed command shares its address with the position move).
RegisterMeaning DescribeSingleWrite(uint16_t address, uint16_t value);

// "实时状态" or "停止命令、PWM占空比命令"; "无寄存器" for none.
std::string JoinAreas(const std::vector<std::string>& areas);
// "输出PWM=0.0%, 相电流=0.00A"
std::string JoinFields(const std::vector<FieldText>& fields);

}  // namespace decode

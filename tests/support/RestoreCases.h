// Restoring a file onto the simulated driver, as the window and korvelt
// both meet it: the question asked before anything is written, in its text.
#pragma once

#include <cstdint>

struct RestoreCase {
  const char* name;
  const char* file;
  bool backupsBlocked;  // a file holds the name of the backups' folder
  const char* question;  // "": none asked
  bool questionIsEnd;    // it begins with what failed
  uint16_t changes;      // a register the write changes
  const char* questionName;  // as korvelt's JSON names it; "" with none
};

inline constexpr const char* RampFile = R"({"format": "korvelt-parameters", "version": 1,
    "blocks": {"ramp": {"fields": [{"key": "pwmRise", "text": "1.0"}]}}})";

inline constexpr RestoreCase RestoreCases[] = {
    {"nothing to ask", RampFile, false, "", false, 0x0050, ""},
    {"the driver's parity", R"({"format": "korvelt-parameters", "version": 1,
         "blocks": {"system": {"fields": [{"key": "serialParity", "text": "奇校验+1停止位"}]}}})",
     false, "将改变驱动器的串口波特率或校验方式: 驱动器重启后以新的设置应答。\n是否继续写入?", false, 0x0092, "LineSettings"},
    {"another model", R"({"format": "korvelt-parameters", "version": 1,
         "device": {"identity": "0x0A31", "model": "KVB-2410", "version": "1.05"},
         "blocks": {"ramp": {"fields": [{"key": "pwmRise", "text": "1.0"}]}}})",
     false, "文件来自另一型号的设备\n文件: KVB-2410\n设备: KVB-4815-RS485-S\n是否仍然载入?", false, 0x0050, "OtherModel"},
    {"no backup to be had", RampFile, true, "\n无法在写入前备份参数。是否不备份继续?", true, 0x0050, "WithoutBackup"},
};

// A file against a device: the words the file comes to on this device (the
// texts win, onto the file's words or the device's), the fields that differ,
// and the words to write for the differences chosen.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "paramfile/Blocks.h"
#include "paramfile/Document.h"

namespace paramfile {

// The words of each block of the file with its texts taken, on the file's
// words or, for a block without words, on the device's (which `device` then
// holds). Empty refusal on success; otherwise nothing is resolved.
struct Resolved {
  BlockWords words;
  std::string refusal;
};
Resolved Resolve(const ParamFile& file, const BlockWords& device);

// One field (or a register no field shows) whose words differ, with the
// texts of both sides; texts that come out equal carry the raw words
// ("是 (0x0003)").
struct Difference {
  size_t block = 0;
  std::string key;  // the field's key, or the register's address ("0x0068")
  std::string name;
  std::string device;
  std::string file;
  std::string unit;
  WordRange words;
  // The motor's learning result, which belongs to the unit it was learned on.
  bool learning = false;
};

// The field with `key` in `block` is the motor's learning result (its
// learned flag or its phase-order data).
bool IsLearningResult(size_t block, std::string_view key);

// The rows to write unless the user chooses otherwise: every row but those
// of the learning result, which a file writes only when asked to
// (`withLearning`), so that one unit's configuration given to another
// leaves that one's motor as it learned it.
std::vector<bool> FirstChoice(const std::vector<Difference>& rows, bool withLearning);
// The learning result's rows that `chosen` leaves unwritten.
std::vector<Difference> LearningKept(const std::vector<Difference>& rows, const std::vector<bool>& chosen);

// The fields of one block where `device` and `file` differ, in table order,
// then the registers no field shows.
std::vector<Difference> CompareBlock(size_t block, const Words& device, const Words& file);
// Every block present on both sides.
std::vector<Difference> Compare(const BlockWords& device, const BlockWords& file);

// What to write: for each block with a chosen row, the device's words with
// the chosen rows' words from the file; blocks without one stay empty.
// `chosen` has one entry per row.
BlockWords ChosenWords(const BlockWords& device, const BlockWords& file, const std::vector<Difference>& rows,
                       const std::vector<bool>& chosen);

// A row that changes the driver's own line settings (its baud rate or
// parity), which it takes up when it restarts.
bool ChangesLineSettings(const Difference& row);

// The identity texts differ (identity code, model or version).
bool IdentityDiffers(const Identity& file, const Identity& device);
bool ModelDiffers(const Identity& file, const Identity& device);

}  // namespace paramfile

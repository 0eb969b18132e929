// What the window's "载入参数..." and korvelt's diff and restore share: the
// blocks a file is compared on, the file taken onto the device's words and
// compared, and the backup of a device read whole.
#pragma once

#include <string>
#include <vector>

#include "paramfile/Backups.h"
#include "paramfile/Compare.h"
#include "paramfile/Document.h"
#include "paramfile/Transfer.h"

namespace paramfile {

// The blocks of the file, or those of `only` when it names any; a block of
// `only` that the file lacks is refused. Empty on success.
std::string BlocksOfFile(const ParamFile& file, const std::vector<size_t>& only, std::vector<size_t>& blocks);

// A file against the device it is to be written to.
struct Comparison {
  BlockWords file = NoBlocks();  // the file's words on this device, for the blocks compared
  std::vector<Difference> rows;
  bool identityDiffers = false;  // the file names a device, and not this one
  bool modelDiffers = false;     // ... of another model: writing needs a confirmation
};
// `device` holds the identity and the words of every block in `blocks`.
// Empty on success, else the refusal of a text, which names the block and
// the field.
std::string CompareWithFile(const ParamFile& file, const DeviceImage& device, const std::vector<size_t>& blocks,
                            Comparison& comparison);

// The document of a device read whole, as "保存参数..." and the backups write it.
std::string DeviceDocument(const DeviceImage& device, const Header& header);
// Saves it among the backups.
SavedBackup BackUp(const DeviceImage& device, const Header& header);

}  // namespace paramfile

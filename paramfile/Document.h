// The parameter file: a JSON document (UTF-8) with a header (format,
// version, when and by what it was saved, the line settings and slave
// address used, the device's identity) and one object per parameter block
// with its start register, its raw words and the texts of its fields. The
// names and texts are written in the language in use and read in either;
// the keys and the shape are the same in both.
// Files are untrusted input: the loader refuses anything else with a
// message that says why, and never more than a bounded amount is read.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "device/Identity.h"
#include "device/Origin.h"
#include "device/IdentityJson.h"
#include "paramfile/Blocks.h"

namespace paramfile {

inline constexpr const char* FormatName = "korvelt-parameters";
inline constexpr int FormatVersion = 1;
// The largest file the loader reads; a saved file is about 10 kB.
inline constexpr size_t MaxFileBytes = 1 << 20;

// Who the device is, as the window shows it. The texts are the driver's
// bytes; the file keeps them exactly, UTF-8 or not.
using Identity = device::IdentityRecord;
inline Identity IdentityOf(const DeviceIdentity& device) { return device::RecordOf(device); }

// The rest of the header: when, by which program, over which line.
struct Header {
  std::string saved;  // ISO 8601 with the offset
  device::Origin origin;
};
// The header for a file saved now from `origin`.
Header HeaderNow(const device::Origin& origin);

// A block of a file: its words when the file has them, and its texts.
struct FileBlock {
  size_t block = 0;
  std::optional<Words> words;
  std::vector<TextEntry> texts;
};

struct ParamFile {
  Header header;
  std::optional<Identity> device;  // none: a template, for any device
  std::vector<FileBlock> blocks;   // in the file's order of blocks, each once
};

// The file keeps its members in the order written, so that it reads from
// the header down to the blocks in their order.
using FileJson = device::IdentityDocument;

// The document of the blocks present in `blocks`, with their texts.
FileJson Document(const Header& header, const Identity* device, const BlockWords& blocks);
std::string DocumentText(const FileJson& document);

// A file taken in, or the refusal.
struct Loaded {
  std::optional<ParamFile> file;
  std::string refusal;
};
Loaded ParseParamFile(std::string_view bytes);
// Reads `path` ("-": standard input) and parses it; the refusal names the
// file when it cannot be read.
Loaded LoadParamFile(const std::string& path);

}  // namespace paramfile

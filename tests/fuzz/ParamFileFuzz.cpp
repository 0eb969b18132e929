// Fuzz target: the parameter file's loader fed with any bytes (bad JSON,
// wrong types, huge numbers, deep nesting, long strings). A file is either
// refused with a message or taken onto a device's words; what it comes to,
// saved again and loaded, gives back the same words, and the comparison of
// the two finds nothing.
#include <cstdint>
#include <string_view>

#include "FuzzCheck.h"
#include "paramfile/Compare.h"
#include "paramfile/Document.h"

namespace {

namespace pf = paramfile;

// A device whose every block holds a pattern of its own, for the blocks a
// file has no words for.
pf::BlockWords Device() {
  pf::BlockWords device = pf::NoBlocks();
  for (size_t i = 0; i < pf::BlockCount(); ++i) {
    for (uint16_t w = 0; w < pf::BlockAt(i).spec->count; ++w) device[i].push_back(static_cast<uint16_t>(w * 0x0101 + i));
  }
  return device;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const pf::BlockWords device = Device();
  const pf::Loaded loaded = pf::ParseParamFile(std::string_view(reinterpret_cast<const char*>(data), size));
  FUZZ_REQUIRE(loaded.file.has_value() == loaded.refusal.empty());
  if (!loaded.file) return 0;
  const pf::Resolved resolved = pf::Resolve(*loaded.file, device);
  if (!resolved.refusal.empty()) return 0;
  for (const pf::FileBlock& block : loaded.file->blocks) {
    FUZZ_REQUIRE(resolved.words[block.block].size() == pf::BlockAt(block.block).spec->count);
  }
  const pf::Identity* identity = loaded.file->device ? &*loaded.file->device : nullptr;
  const std::string again = pf::DocumentText(pf::Document(loaded.file->header, identity, resolved.words));
  const pf::Loaded reloaded = pf::ParseParamFile(again);
  FUZZ_REQUIRE(reloaded.file.has_value());
  const pf::Resolved back = pf::Resolve(*reloaded.file, device);
  FUZZ_REQUIRE(back.refusal.empty());
  FUZZ_REQUIRE(back.words == resolved.words);
  FUZZ_REQUIRE(pf::Compare(resolved.words, back.words).empty());
  return 0;
}

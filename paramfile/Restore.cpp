#include "paramfile/Restore.h"

#include <algorithm>
#include <ctime>

#include "lang/Texts.h"

namespace paramfile {

std::string BlocksOfFile(const ParamFile& file, const std::vector<size_t>& only, std::vector<size_t>& blocks) {
  std::vector<size_t> found;
  for (const FileBlock& block : file.blocks) {
    if (only.empty() || std::find(only.begin(), only.end(), block.block) != only.end()) found.push_back(block.block);
  }
  for (const size_t wanted : only) {
    if (std::find(found.begin(), found.end(), wanted) == found.end()) {
      return lang::Fill(lang::Tr("文件中没有参数块 {1}"), {BlockAt(wanted).key});
    }
  }
  blocks = std::move(found);
  return {};
}

std::string CompareWithFile(const ParamFile& file, const DeviceImage& device, const std::vector<size_t>& blocks,
                            Comparison& comparison) {
  ParamFile chosen = file;
  std::erase_if(chosen.blocks, [&](const FileBlock& block) {
    return std::find(blocks.begin(), blocks.end(), block.block) == blocks.end();
  });
  Resolved resolved = Resolve(chosen, device.blocks);
  if (!resolved.refusal.empty()) return resolved.refusal;
  Comparison compared;
  compared.file = std::move(resolved.words);
  compared.rows = Compare(device.blocks, compared.file);
  if (file.device) {
    const Identity here = IdentityOf(device.identity);
    compared.identityDiffers = IdentityDiffers(*file.device, here);
    compared.modelDiffers = ModelDiffers(*file.device, here);
  }
  comparison = std::move(compared);
  return {};
}

std::string DeviceDocument(const DeviceImage& device, const Header& header) {
  const Identity identity = IdentityOf(device.identity);
  return DocumentText(Document(header, &identity, device.blocks));
}

SavedBackup BackUp(const DeviceImage& device, const Header& header) {
  return SaveBackup(DeviceDocument(device, header), device.identity.Model(), std::time(nullptr));
}

}  // namespace paramfile

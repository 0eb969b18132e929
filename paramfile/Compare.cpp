#include "paramfile/Compare.h"

#include "fields/CFormat.h"
#include "fields/FieldCodec.h"
#include "lang/Texts.h"

namespace paramfile {
namespace {

bool SameWords(const Words& a, const Words& b, WordRange range) {
  for (size_t i = range.first; i < range.first + range.count; ++i) {
    if (i < a.size() && i < b.size() && a[i] != b[i]) return false;
  }
  return true;
}

std::string RawWords(const Words& words, WordRange range) {
  std::string text;
  for (size_t i = range.first; i < range.first + range.count && i < words.size(); ++i) {
    text += fields::CFormat(text.empty() ? "0x%04X" : "%04X", static_cast<unsigned>(words[i]));
  }
  return text;
}

// Texts that look the same although the words differ get the words beside them.
void ShowWordsWhereTextsAgree(Difference& row, const Words& device, const Words& file) {
  if (row.device != row.file) return;
  row.device = (row.device.empty() ? "" : row.device + " ") + "(" + RawWords(device, row.words) + ")";
  row.file = (row.file.empty() ? "" : row.file + " ") + "(" + RawWords(file, row.words) + ")";
}

}  // namespace

Resolved Resolve(const ParamFile& file, const BlockWords& device) {
  Resolved resolved{NoBlocks(), {}};
  for (const FileBlock& block : file.blocks) {
    const fields::ParamBlock& spec = BlockAt(block.block);
    Words words = block.words ? *block.words : device[block.block];
    if (words.size() != spec.spec->count) {
      return {NoBlocks(), lang::Fill(lang::Tr("{1}: 文件没有寄存器值, 也没有读到设备的"), {lang::Tr(spec.title)})};
    }
    if (std::string refusal = TakeTexts(spec, block.texts, words); !refusal.empty()) return {NoBlocks(), refusal};
    resolved.words[block.block] = std::move(words);
  }
  return resolved;
}

std::vector<Difference> CompareBlock(size_t block, const Words& device, const Words& file) {
  const fields::ParamBlock& spec = BlockAt(block);
  std::vector<Difference> rows;
  if (device == file) return rows;
  const std::vector<uint8_t> deviceRecord = RecordOf(spec, device);
  const std::vector<uint8_t> fileRecord = RecordOf(spec, file);
  const std::span<const fields::ParamSpec> deviceParams = spec.paramsFor(deviceRecord.data());
  const std::span<const fields::ParamSpec> fileParams = spec.paramsFor(fileRecord.data());
  const std::vector<FieldText> deviceTexts = TextsOf(spec, device);
  const std::vector<FieldText> fileTexts = TextsOf(spec, file);
  std::vector<bool> shown(spec.spec->count, false);
  size_t text = 0;
  for (size_t i = 0; i < deviceParams.size() && i < fileParams.size(); ++i) {
    if (!fields::HasRegister(deviceParams[i])) continue;
    const WordRange range = WordsOfField(deviceParams[i]);
    for (size_t w = range.first; w < range.first + range.count && w < shown.size(); ++w) shown[w] = true;
    const size_t at = text++;
    if (SameWords(device, file, range)) continue;
    Difference row{block, deviceTexts[at].key, deviceTexts[at].name, deviceTexts[at].text, fileTexts[at].text,
                   deviceTexts[at].unit, range, IsLearningResult(block, deviceTexts[at].key)};
    ShowWordsWhereTextsAgree(row, device, file);
    rows.push_back(std::move(row));
  }
  for (uint16_t w = 0; w < spec.spec->count; ++w) {
    if (shown[w] || device[w] == file[w]) continue;
    const std::string address = fields::CFormat("0x%04X", static_cast<unsigned>(spec.spec->start + w));
    rows.push_back({block, address, lang::Fill(lang::Tr("寄存器 {1}"), {address}), fields::CFormat("0x%04X", static_cast<unsigned>(device[w])),
                    fields::CFormat("0x%04X", static_cast<unsigned>(file[w])), "", {w, 1}});
  }
  return rows;
}

bool IsLearningResult(size_t block, std::string_view key) {
  return BlockAt(block).spec->start == RegisterMap::MotorParams.start &&
         (key == fields::motor::LearnStateKey || key == fields::motor::PhaseOrderKey);
}

std::vector<bool> FirstChoice(const std::vector<Difference>& rows, bool withLearning) {
  std::vector<bool> chosen;
  for (const Difference& row : rows) chosen.push_back(withLearning || !row.learning);
  return chosen;
}

std::vector<Difference> LearningKept(const std::vector<Difference>& rows, const std::vector<bool>& chosen) {
  std::vector<Difference> kept;
  for (size_t r = 0; r < rows.size(); ++r) {
    if (rows[r].learning && (r >= chosen.size() || !chosen[r])) kept.push_back(rows[r]);
  }
  return kept;
}

std::vector<Difference> Compare(const BlockWords& device, const BlockWords& file) {
  std::vector<Difference> rows;
  for (size_t i = 0; i < BlockCount() && i < device.size() && i < file.size(); ++i) {
    if (device[i].empty() || file[i].empty()) continue;
    std::vector<Difference> block = CompareBlock(i, device[i], file[i]);
    rows.insert(rows.end(), block.begin(), block.end());
  }
  return rows;
}

BlockWords ChosenWords(const BlockWords& device, const BlockWords& file, const std::vector<Difference>& rows,
                       const std::vector<bool>& chosen) {
  BlockWords words = NoBlocks();
  for (size_t r = 0; r < rows.size() && r < chosen.size(); ++r) {
    if (!chosen[r]) continue;
    const Difference& row = rows[r];
    Words& target = words[row.block];
    if (target.empty()) target = device[row.block];
    for (size_t w = row.words.first; w < row.words.first + row.words.count && w < target.size(); ++w) {
      target[w] = file[row.block][w];
    }
  }
  return words;
}

bool ChangesLineSettings(const Difference& row) {
  return IsSystemBlock(row.block) &&
         (row.key == fields::sys::BaudKey || row.key == fields::sys::ParityKey);
}

bool IdentityDiffers(const Identity& file, const Identity& device) {
  return file.Identity() != device.Identity() || file.Model() != device.Model() || file.Version() != device.Version();
}

bool ModelDiffers(const Identity& file, const Identity& device) { return file.Model() != device.Model(); }

}  // namespace paramfile

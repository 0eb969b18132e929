#include "paramfile/Blocks.h"

#include "driver/BlockWords.h"
#include "fields/EntryText.h"
#include "fields/FieldCodec.h"
#include "fields/PrintableText.h"
#include "lang/Texts.h"

namespace paramfile {
namespace {

const char* Text(const char* text) { return text != nullptr ? text : ""; }

// The entry a text is for: by key first, then by the name messages give it,
// in either language.
bool Names(const fields::ParamSpec& param, const std::string& field) {
  return field == Text(param.Key());
}
bool NamesByName(const fields::ParamSpec& param, const std::string& field) {
  return field == fields::FieldName(param, lang::Language::Chinese) ||
         field == fields::FieldName(param, lang::Language::English);
}

}  // namespace

size_t BlockCount() { return fields::ParamBlocks().size(); }

const fields::ParamBlock& BlockAt(size_t index) { return fields::ParamBlocks()[index]; }

std::optional<size_t> BlockIndex(std::string_view key) {
  const fields::ParamBlock* block = fields::FindParamBlock(key);
  if (block == nullptr) return std::nullopt;
  return static_cast<size_t>(block - fields::ParamBlocks().data());
}

std::vector<size_t> AllBlocks() {
  std::vector<size_t> all;
  for (size_t i = 0; i < BlockCount(); ++i) all.push_back(i);
  return all;
}

BlockWords NoBlocks() { return BlockWords(BlockCount()); }

// By its start: every unit has a copy of the map's constants of its own.
bool IsSystemBlock(size_t index) { return BlockAt(index).spec->start == RegisterMap::SystemParams.start; }

std::vector<uint8_t> RecordOf(const fields::ParamBlock& block, const Words& words) {
  std::vector<uint8_t> record(block.spec->recordBytes, 0);
  Words padded = words;
  padded.resize(block.spec->recordBytes / 2u, 0);
  RecordFromWords(*block.spec, padded.data(), record.data());
  return record;
}

Words WordsOf(const fields::ParamBlock& block, const std::vector<uint8_t>& record) {
  Words words(block.spec->recordBytes / 2u, 0);
  WordsFromRecord(*block.spec, record.data(), words.data());
  words.resize(block.spec->count);
  return words;
}

std::vector<FieldText> TextsOf(const fields::ParamBlock& block, const Words& words) {
  const std::vector<uint8_t> record = RecordOf(block, words);
  std::vector<FieldText> texts;
  for (const fields::ParamSpec& param : block.paramsFor(record.data())) {
    if (!fields::HasRegister(param)) continue;
    texts.push_back({Text(param.Key()), fields::FieldName(param), fields::EntryText(param, record.data()),
                     param.unit != nullptr ? lang::Tr(param.unit) : ""});
  }
  return texts;
}

std::string TakeTexts(const fields::ParamBlock& block, const std::vector<TextEntry>& texts, Words& words) {
  const std::string title = lang::Tr(block.title);
  std::vector<uint8_t> record = RecordOf(block, words);
  // Which entry each text is for, found once on the entries of the record as
  // it came: keys and names do not change with the scale.
  const std::span<const fields::ParamSpec> entries = block.paramsFor(record.data());
  std::vector<int> textFor(entries.size(), -1);
  for (size_t t = 0; t < texts.size(); ++t) {
    size_t match = entries.size();
    for (size_t i = 0; i < entries.size() && match == entries.size(); ++i) {
      if (fields::HasRegister(entries[i]) && Names(entries[i], texts[t].field)) match = i;
    }
    for (size_t i = 0; i < entries.size() && match == entries.size(); ++i) {
      if (fields::HasRegister(entries[i]) && NamesByName(entries[i], texts[t].field)) match = i;
    }
    if (match == entries.size()) {
      return lang::Fill(lang::Tr("{1}: 没有字段 \"{2}\""),
                        {title, fields::PrintableCut(texts[t].field, fields::MaxQuotedKey)});
    }
    if (textFor[match] >= 0) {
      return lang::Fill(lang::Tr("{1}: {2}: 给出了两次"), {title, fields::FieldName(entries[match])});
    }
    textFor[match] = static_cast<int>(t);
  }
  for (size_t i = 0; i < entries.size(); ++i) {
    if (textFor[i] < 0) continue;
    // The entries for the record as taken so far: the speeds follow the mode.
    const fields::ParamSpec& param = block.paramsFor(record.data())[i];
    const std::string& text = texts[static_cast<size_t>(textFor[i])].text;
    // The text the words show keeps them: an unedited file gives back its
    // words, a float that no entry can carry (a NaN) included, whichever
    // language it was written in.
    if (fields::ShowsValue(param, text, record.data())) continue;
    const std::string refusal = fields::TakeEntryText(param, text, record.data());
    if (!refusal.empty()) return title + ": " + refusal;
  }
  words = WordsOf(block, record);
  return {};
}

WordRange WordsOfField(const fields::ParamSpec& field) {
  const size_t bytes = fields::FieldBytes(field);
  return {static_cast<uint16_t>(field.slot.offset / 2u), static_cast<uint16_t>((bytes + 1) / 2u)};
}

}  // namespace paramfile

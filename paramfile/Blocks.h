// The parameter blocks as the file keeps them: each block's raw register
// words, its record made from them, the texts of its fields, and texts
// taken back onto the words by the pages' entry rules. The field tables
// (fields::ParamBlocks) are the one description walked here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fields/ParamTables.h"

namespace paramfile {

// A block's register words as host values, spec.count of them.
using Words = std::vector<uint16_t>;
// One entry per block of fields::ParamBlocks(), in its order; an empty
// entry: the block is not there (not read, not in the file, not written).
using BlockWords = std::vector<Words>;

size_t BlockCount();
const fields::ParamBlock& BlockAt(size_t index);
std::optional<size_t> BlockIndex(std::string_view key);
// Every block, or the one named, in the file's order.
std::vector<size_t> AllBlocks();
// A BlockWords with no block in it.
BlockWords NoBlocks();
// The block of the driver's own configuration (its line settings, its lock).
bool IsSystemBlock(size_t index);

// The record of the block's words, and back.
std::vector<uint8_t> RecordOf(const fields::ParamBlock& block, const Words& words);
Words WordsOf(const fields::ParamBlock& block, const std::vector<uint8_t>& record);

// One field of a block with its text, its name and unit in the language in
// use.
struct FieldText {
  std::string key;
  std::string name;
  std::string text;
  std::string unit;
};
// Every field of the block, in table order, with the text its page shows.
std::vector<FieldText> TextsOf(const fields::ParamBlock& block, const Words& words);

// A text to take, for the field with this key or, failing that, this name
// (in either language).
struct TextEntry {
  std::string field;
  std::string text;
};
// Takes the texts onto `words` in table order (a preset speed's scale
// follows the speed mode taken before it); registers no text names keep
// their word, and so does a field whose text is the one its words show (in
// either language). Empty on success; else the message, which names the
// block by its title and the field as the page does, and `words` is
// unchanged.
std::string TakeTexts(const fields::ParamBlock& block, const std::vector<TextEntry>& texts, Words& words);

// The registers a field's value takes, as word indexes of its block.
struct WordRange {
  uint16_t first = 0;
  uint16_t count = 0;
};
WordRange WordsOfField(const fields::ParamSpec& field);

}  // namespace paramfile

// Between a block's register words (host values, in register order) and its
// record: the 32-bit pairs of the block combined into host values, the text
// kept in wire order. Pure; DriverLink reads and writes through it, and the
// parameter file keeps the words themselves.
#pragma once

#include <cstdint>

#include "driver/RegisterMap.h"

// `words` holds spec.recordBytes / 2 words; `record` spec.recordBytes bytes.
void RecordFromWords(const BlockSpec& spec, const uint16_t* words, void* record);
void WordsFromRecord(const BlockSpec& spec, const void* record, uint16_t* words);

// Between a block's register words (host values, in register order) and its
// record: the 32-bit pairs of the block combined into host values, the text
// kept in wire order. Pure; DriverLink reads and writes through it, and the
// parameter file keeps the words themselves.
#pragma once

#include <cstddef>
#include <cstdint>

#include "driver/RegisterMap.h"

// `words` holds spec.recordBytes / 2 words; `record` spec.recordBytes bytes.
void RecordFromWords(const BlockSpec& spec, const uint16_t* words, void* record);
void WordsFromRecord(const BlockSpec& spec, const void* record, uint16_t* words);

// In place, over the first `length` bytes of a record (at most its size):
// registers as the line carries them (each high byte first) become the
// record, as a block read does; a 32-bit pair or text that runs past
// `length` is converted as far as it lies within it. For what meets a
// block's bytes without a block operation (the frame decoder reads them
// out of requests and answers).
void RecordFromWireBytes(const BlockSpec& spec, uint8_t* bytes, size_t length);

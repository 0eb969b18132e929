// Between a block's registers as the line carries them (each high byte
// first) and its host record: the byte order of the block operations, also
// for what meets a block's bytes without a block operation (the frame
// decoder reads them out of requests and answers).
#pragma once

#include <cstddef>
#include <cstdint>

#include "driver/RegisterMap.h"

// In place over the first `length` bytes of a record (at most its size):
// every register to a host value, the text that stays in wire order back,
// and the block's 32-bit pairs combined, as a block read does.
void ConvertBlockBytes(const BlockSpec& spec, uint8_t* bytes, size_t length);
// In place: only the halves of the block's 32-bit pairs exchanged, which
// turns a record into the host words a block write sends, and back.
void ConvertWordPairs(const BlockSpec& spec, uint8_t* bytes, size_t length);

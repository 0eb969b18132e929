// Marks in the recording where a command went out: every write of the link,
// whoever sends it (a page, the learning run, a step test), named in the
// tool's words.
#pragma once

#include "driver/DriverLink.h"
#include "recording/StatusRecording.h"

namespace recording {

// From now on every write of `link` leaves a mark in `recording`, with the
// result's text when it failed. Until StopMarkingWrites the recording must
// stay.
void MarkWrites(DriverLink& link, StatusRecording& recording);
void StopMarkingWrites(DriverLink& link);

}  // namespace recording

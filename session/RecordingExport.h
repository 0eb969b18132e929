// The export of the session's recording: the samples of a range into a CSV
// file and its companion, the driver's identity asked for the companion
// while the port is open. Taken on the owner's thread, run on a worker: a
// driver that does not answer costs a response time-out, and a day's rows
// take seconds.
#pragma once

#include <cstdint>
#include <string>

#include "recording/RecordingCsv.h"
#include "session/Session.h"

namespace session {

// What the export needs of the session at the moment it was asked for: the
// line the rows were read on and the address, not what they are later.
struct RecordingExport {
  recording::RecordingInfo info;
  uint8_t address = 0;
  recording::ExportRange range;
  std::string file;
};
// `pollIntervalMs`: the status poll's period, for the companion.
RecordingExport ExportOf(const Session& session, recording::ExportRange range, int pollIntervalMs, std::string file);

struct Exported {
  bool ok = false;
  std::string error;      // why not, when not
  std::string companion;  // where the companion went; empty for a device
  recording::CsvTotals totals;
};
// Writes the files of `job` from the session's recording; from any thread.
// The link and the recording may be used by others meanwhile.
Exported RunExport(RecordingExport job, Session& session);

}  // namespace session

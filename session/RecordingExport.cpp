#include "session/RecordingExport.h"

#include <utility>

#include "device/IdentityJson.h"
#include "recording/CompanionPlace.h"

namespace session {

RecordingExport ExportOf(const Session& session, recording::ExportRange range, int pollIntervalMs, std::string file) {
  RecordingExport job;
  job.info.origin = session.Origin();
  job.info.pollIntervalMs = pollIntervalMs;
  job.address = session.Address();
  job.range = range;
  job.file = std::move(file);
  return job;
}

Exported RunExport(RecordingExport job, Session& session) {
  DriverLink& link = session.Link();
  if (link.IsOpen()) job.info.device = device::ReadIdentityJson(link, job.address);
  Exported exported;
  exported.ok =
      recording::ExportRecording(session.Recording(), job.range, job.info, job.file, &exported.error, &exported.totals);
  // Named beside the CSV: the companion is written too, and never over a
  // file that is not one.
  if (exported.ok) exported.companion = recording::PlaceCompanion(job.file).path;
  return exported;
}

}  // namespace session

// The recording as a spreadsheet reads it, and the JSON file that goes
// beside it. CSV: the time in ISO 8601 with milliseconds and the local
// offset, the seconds since the recording began (to the microsecond), then one column per
// measured value with its unit in the header ("相电流 [A]"); '.' as the
// decimal point whatever the locale; an empty cell where a value was not
// read (a gap: every value). The header, and the companion's column names
// and units, in the language in use; the companion's keys are the same in
// both. The window's export and `korvelt record` write both through here.
#pragma once

#include <cstdint>
#include <cstdio>
#include <limits>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "device/Identity.h"
#include "device/Origin.h"
#include "fields/TimeText.h"
#include "recording/StatusRecording.h"

namespace recording {

// A run of rows read back to back, one after the other in the file.
struct FastRows {
  Micros first = 0;
  Micros last = 0;
  uint64_t rows = 0;
};

// What the rows came to.
struct CsvTotals {
  // The runs of fast rows the totals list at most; more are counted only.
  static constexpr size_t MaxFastRuns = 4096;

  uint64_t rows = 0;
  uint64_t gaps = 0;  // rows of failed reads
  Micros first = 0;
  Micros last = 0;
  uint64_t fastRows = 0;  // rows read back to back (a capture, `record --fast`)
  std::vector<FastRows> fastRuns;
};

// Writes the header, then rows one at a time, to a stream.
class CsvWriter {
 public:
  // `startWall`: the wall time of the recording's 0 µs.
  CsvWriter(std::FILE* out, WallClock::time_point startWall);

  // A byte-order mark first, so that spreadsheets read the Chinese headers
  // as UTF-8; files get it, a pipe does not.
  void ByteOrderMark();
  // Rows of several drivers: a column with each row's slave address after
  // the times. Before Header().
  void AddressColumn() { addressColumn_ = true; }
  void Header();
  // `fast`: the row was read back to back rather than by the paced poll;
  // `address`: its driver's, for the address column.
  void Row(const Sample& sample, bool fast = false, uint8_t address = 0);
  // No write failed so far.
  bool Ok() const;
  const CsvTotals& Totals() const { return totals_; }

 private:
  std::FILE* out_;
  int64_t startWallMicros_;
  CsvTotals totals_;
  bool addressColumn_ = false;
  bool lastFast_ = false;   // the row before was fast
  bool runListed_ = false;  // and its run is in the totals' list
  // The date, time and offset of the second last written ("2026-12-07T12:19:33"
  // and "+08:00"), which most rows share.
  int64_t cachedSecond_ = std::numeric_limits<int64_t>::min();
  fields::LocalSecond cached_;
};

// What the JSON companion says beside the counts.
struct RecordingInfo {
  nlohmann::json device;  // the driver's identity (device::IdentityJson), or null when it was not read
  // Several drivers: [{"address", "device"}] in the order read (`device`
  // and the line's address are then null); null for one.
  nlohmann::json drivers;
  device::Origin origin;  // the tool and the line the rows were read on
  // The status poll's interval; 0 while reading as fast as the line goes.
  // Rows the totals count as fast are not taken at this interval.
  int pollIntervalMs = 100;
};

// The samples of the recording whose time lies in [from, to].
struct ExportRange {
  Micros from = std::numeric_limits<Micros>::min();
  Micros to = std::numeric_limits<Micros>::max();
};

// The companion's document for rows that came to `totals`.
nlohmann::json CompanionJson(const RecordingInfo& info, WallClock::time_point startWall, const CsvTotals& totals);
// "run.csv" → "run.json"; another name gets ".json" added.
std::string CompanionPath(const std::string& csvPath);

// Writes the companion of the CSV file at `csvPath` whole, where
// PlaceCompanion puts it (nowhere for a device); empty on success, else
// what went wrong.
std::string WriteCompanion(const std::string& csvPath, const RecordingInfo& info, WallClock::time_point startWall,
                           const CsvTotals& totals);

// Writes the samples in `range` to `csvPath` and the companion beside it,
// each whole or not at all; neither when the companion's name is refused.
// False, with `error` set, when either failed.
bool ExportRecording(const StatusRecording& recording, ExportRange range, const RecordingInfo& info,
                     const std::string& csvPath, std::string* error, CsvTotals* totals = nullptr);

}  // namespace recording

// Writing records out: a file that is there whole or not at all, as CSV or
// as JSON Lines (one object a line).
#pragma once

#include <functional>
#include <string>

#include "traffic/TrafficRecord.h"

namespace traffic {

enum class ExportFormat { Csv, JsonLines };

// The file format a name asks for: ".jsonl" JSON Lines, anything else CSV.
ExportFormat FormatOf(const std::string& path);

// Hands each record to write to the sink, in order, until it says stop.
using RecordSource = std::function<void(const std::function<bool(const Record&)>& sink)>;

struct Exported {
  std::string error;  // empty on success, else why the file was not written (the old one stays)
  size_t records = 0;
};

// Writes the records `source` hands over to `path` in `format`.
Exported ExportRecords(const std::string& path, ExportFormat format, const RecordSource& source);

}  // namespace traffic

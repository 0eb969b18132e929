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

// Writes `count` records, the i-th from `record(i)`, to `path` in `format`.
// Empty on success, else why the file was not written (the old one stays).
std::string ExportRecords(const std::string& path, ExportFormat format, size_t count,
                          const std::function<const Record&(size_t)>& record);

}  // namespace traffic

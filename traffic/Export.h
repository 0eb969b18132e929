// Writing records out: a file that is there whole or not at all, as CSV or
// as JSON Lines (one object a line).
#pragma once

#include <functional>
#include <string>

#include "link/UniqueFd.h"
#include "traffic/TrafficRecord.h"

namespace traffic {

// A file written through a temporary one beside it: Commit() flushes it to
// the disk and renames it over the target; without a Commit the target
// stays as it was and the temporary one goes.
class AtomicFile {
 public:
  explicit AtomicFile(std::string path);
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  bool Write(const std::string& bytes);
  bool Commit();
  // What went wrong; empty while nothing has.
  const std::string& Error() const { return error_; }

 private:
  bool Fail(const char* what);

  std::string path_;
  std::string temporary_;
  UniqueFd fd_;
  std::string error_;
};

enum class ExportFormat { Csv, JsonLines };

// The file format a name asks for: ".jsonl" JSON Lines, anything else CSV.
ExportFormat FormatOf(const std::string& path);

// Writes `count` records, the i-th from `record(i)`, to `path` in `format`.
// Empty on success, else why the file was not written (the old one stays).
std::string ExportRecords(const std::string& path, ExportFormat format, size_t count,
                          const std::function<const Record&(size_t)>& record);

}  // namespace traffic

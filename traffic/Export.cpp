#include "traffic/Export.h"

#include "base/AtomicFile.h"

namespace traffic {
namespace {

// Rows go out in pieces of about this size.
constexpr size_t kChunk = 1 << 16;

}  // namespace

ExportFormat FormatOf(const std::string& path) {
  const std::string suffix = ".jsonl";
  const bool json = path.size() >= suffix.size() && path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0;
  return json ? ExportFormat::JsonLines : ExportFormat::Csv;
}

Exported ExportRecords(const std::string& path, ExportFormat format, const RecordSource& source) {
  base::AtomicFile file;
  if (!file.Open(path)) return {file.Error(), 0};
  // A byte-order mark lets spreadsheet programs read the CSV as UTF-8.
  std::string chunk = format == ExportFormat::Csv ? "\xEF\xBB\xBF" + CsvHeader() : std::string();
  bool ok = true;
  size_t records = 0;
  source([&](const Record& record) {
    if (format == ExportFormat::Csv) {
      chunk += CsvRow(record);
    } else {
      chunk += ToJson(record).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    }
    ++records;
    if (chunk.size() >= kChunk) {
      ok = file.Write(chunk);
      chunk.clear();
    }
    return ok;
  });
  if (ok) ok = file.Write(chunk) && file.Commit();
  return ok ? Exported{{}, records} : Exported{file.Error(), 0};
}

}  // namespace traffic

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

std::string ExportRecords(const std::string& path, ExportFormat format, size_t count,
                          const std::function<const Record&(size_t)>& record) {
  base::AtomicFile file;
  if (!file.Open(path)) return file.Error();
  // A byte-order mark lets spreadsheet programs read the CSV as UTF-8.
  std::string chunk = format == ExportFormat::Csv ? "\xEF\xBB\xBF" + CsvHeader() : std::string();
  bool ok = true;
  for (size_t i = 0; i < count && ok; ++i) {
    if (format == ExportFormat::Csv) {
      chunk += CsvRow(record(i));
    } else {
      chunk += ToJson(record(i)).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    }
    if (chunk.size() >= kChunk) {
      ok = file.Write(chunk);
      chunk.clear();
    }
  }
  if (ok) ok = file.Write(chunk) && file.Commit();
  return ok ? std::string() : file.Error();
}

}  // namespace traffic

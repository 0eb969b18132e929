#include "traffic/Export.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace traffic {
namespace {

// Rows go out in pieces of about this size.
constexpr size_t kChunk = 1 << 16;

}  // namespace

AtomicFile::AtomicFile(std::string path) : path_(std::move(path)) {
  std::string pattern = path_ + ".XXXXXX";
  fd_.Reset(mkostemp(pattern.data(), O_CLOEXEC));
  if (!fd_.Valid()) {
    Fail("创建临时文件失败");
    return;
  }
  temporary_ = pattern;
  // As a file the user writes would be: what the umask allows of 0666.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd_.Get(), 0666 & ~mask);
}

AtomicFile::~AtomicFile() {
  fd_.Reset();
  if (!temporary_.empty()) unlink(temporary_.c_str());
}

bool AtomicFile::Fail(const char* what) {
  if (error_.empty()) error_ = std::string(what) + ": " + std::strerror(errno);
  return false;
}

bool AtomicFile::Write(const std::string& bytes) {
  if (!fd_.Valid()) return false;
  for (size_t done = 0; done < bytes.size();) {
    const ssize_t n = write(fd_.Get(), bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return Fail("写入失败");
    done += static_cast<size_t>(n);
  }
  return true;
}

bool AtomicFile::Commit() {
  if (!fd_.Valid() || !error_.empty()) return false;
  if (fsync(fd_.Get()) != 0) return Fail("写入失败");
  fd_.Reset();
  if (std::rename(temporary_.c_str(), path_.c_str()) != 0) return Fail("保存失败");
  temporary_.clear();
  return true;
}

ExportFormat FormatOf(const std::string& path) {
  const std::string suffix = ".jsonl";
  const bool json = path.size() >= suffix.size() && path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0;
  return json ? ExportFormat::JsonLines : ExportFormat::Csv;
}

std::string ExportRecords(const std::string& path, ExportFormat format, size_t count,
                          const std::function<const Record&(size_t)>& record) {
  AtomicFile file(path);
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

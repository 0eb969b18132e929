#include "paramfile/Backups.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include "paramfile/LocalTime.h"
#include "files/AtomicFile.h"

namespace paramfile {
namespace {

namespace fs = std::filesystem;

constexpr const char* kSuffix = ".json";

bool IsNameCharacter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
         c == '_';
}

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

}  // namespace

std::string BackupFolder() {
  std::string base = Environment("XDG_DATA_HOME");
  // A relative path is to be ignored, as for every XDG variable.
  if (base.empty() || base[0] != '/') base = Environment("HOME") + "/.local/share";
  return base + "/korvelt-demo/backups";
}

std::string FileStem(const std::string& model, std::time_t time) {
  std::string name;
  for (const char c : model) name += IsNameCharacter(c) ? c : '_';
  while (!name.empty() && (name.back() == '_' || name.back() == '-' || name.back() == '.')) name.pop_back();
  while (!name.empty() && name.front() == '.') name.erase(name.begin());
  if (name.empty()) name = "driver";
  return name + "-" + StampTime(time);
}

SavedBackup SaveBackup(const std::string& document, const std::string& model, std::time_t time, size_t kept) {
  const std::string folder = BackupFolder();
  std::error_code error;
  fs::create_directories(folder, error);
  if (error) return {{}, "无法创建备份文件夹 " + folder + ": " + error.message()};
  // Two backups in one second get names of their own.
  const std::string stem = folder + "/" + FileStem(model, time);
  std::string path = stem + kSuffix;
  for (int n = 2; fs::exists(path, error) && n < 1000; ++n) path = stem + "-" + std::to_string(n) + kSuffix;
  if (std::string failure = files::WriteWholeFile(path, document); !failure.empty()) return {{}, failure};
  PruneBackups(folder, kept);
  return {path, {}};
}

void PruneBackups(const std::string& folder, size_t kept) {
  struct Entry {
    fs::file_time_type time;
    fs::path path;
  };
  std::vector<Entry> backups;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
    std::error_code entryError;
    if (!entry.is_regular_file(entryError) || entry.path().extension() != kSuffix) continue;
    const fs::file_time_type time = entry.last_write_time(entryError);
    if (!entryError) backups.push_back({time, entry.path()});
  }
  if (backups.size() <= kept) return;
  std::sort(backups.begin(), backups.end(), [](const Entry& a, const Entry& b) {
    return a.time != b.time ? a.time < b.time : a.path < b.path;
  });
  for (size_t i = 0; i + kept < backups.size(); ++i) fs::remove(backups[i].path, error);
}

}  // namespace paramfile

#include "paramfile/Backups.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>
#include <vector>

#include "lang/Texts.h"
#include "paramfile/LocalTime.h"
#include "base/AtomicFile.h"
#include "link/HomeFolder.h"

namespace paramfile {
namespace {

namespace fs = std::filesystem;

constexpr const char* kSuffix = ".json";
constexpr int kMaxSameSecond = 1000;

bool IsDigits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// What a backup's name says: "<stem>-YYYYMMDD-HHMMSS[-N].json".
struct BackupName {
  std::string stamp;  // "YYYYMMDD-HHMMSS", which sorts as the time does
  unsigned second = 1;  // N: the how-manieth backup of that second
  std::pair<const std::string&, unsigned> Order() const { return {stamp, second}; }
};

bool IsNameCharacter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
         c == '_';
}

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// The name of one of the tool's own backups, or nothing for any other file.
std::optional<BackupName> ParseBackupName(std::string_view name) {
  if (name.size() <= std::strlen(kSuffix) || !name.ends_with(kSuffix)) return std::nullopt;
  name.remove_suffix(std::strlen(kSuffix));
  BackupName parsed;
  // An optional "-N" after the time: the time is then the 15 characters before it.
  const size_t dash = name.rfind('-');
  if (dash != std::string_view::npos && dash + 1 < name.size() && dash >= 16 && name[dash - 7] == '-' &&
      IsDigits(name.substr(dash + 1)) && name.size() - dash - 1 <= 3) {
    parsed.second = static_cast<unsigned>(std::stoul(std::string(name.substr(dash + 1))));
    name = name.substr(0, dash);
  }
  if (name.size() < 17) return std::nullopt;
  const std::string_view stamp = name.substr(name.size() - 15);
  const std::string_view stem = name.substr(0, name.size() - 16);
  if (name[name.size() - 16] != '-' || !IsDigits(stamp.substr(0, 8)) || stamp[8] != '-' ||
      !IsDigits(stamp.substr(9)) || stem.empty() || !std::all_of(stem.begin(), stem.end(), IsNameCharacter)) {
    return std::nullopt;
  }
  parsed.stamp = std::string(stamp);
  return parsed;
}

}  // namespace

std::string BackupFolder() {
  std::string base = Environment("XDG_DATA_HOME");
  // A relative path is to be ignored, as for every XDG variable.
  if (base.empty() || base[0] != '/') base = HomeFolder() + "/.local/share";
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

std::string DriverFileStem(uint8_t address, const std::string& model, std::time_t time) {
  std::string number = std::to_string(address);
  number.insert(0, 3 - std::min<size_t>(number.size(), 3), '0');
  return "addr" + number + "-" + FileStem(model, time);
}

SavedBackup SaveBackup(const std::string& document, const std::string& model, std::time_t time, size_t kept) {
  const std::string folder = BackupFolder();
  std::error_code error;
  fs::create_directories(folder, error);
  if (error) return {{}, lang::Fill(lang::Tr("无法创建备份文件夹 {1}: {2}"), {folder, error.message()})};
  const std::string stem = folder + "/" + FileStem(model, time);
  base::AtomicFile file;
  if (!file.Open(stem + kSuffix) || !file.Write(document)) return {{}, file.Error()};
  // Two backups in one second get names of their own; each name goes to
  // one writer only.
  for (int n = 1; n < kMaxSameSecond; ++n) {
    const std::string path = n == 1 ? stem + kSuffix : stem + "-" + std::to_string(n) + kSuffix;
    switch (file.CommitNew(path)) {
      case base::AtomicFile::Claim::Claimed:
        PruneBackups(folder, kept, path);
        return {path, {}};
      case base::AtomicFile::Claim::Taken:
        continue;
      case base::AtomicFile::Claim::Failed:
        return {{}, file.Error()};
    }
  }
  return {{}, lang::Fill(lang::Tr("无法写入 {1}: 同一秒内的备份过多"), {stem + kSuffix})};
}

void PruneBackups(const std::string& folder, size_t kept, const std::string& keep) {
  struct Entry {
    BackupName name;
    fs::path path;
  };
  std::vector<Entry> backups;
  std::error_code error;
  const fs::path keptPath = keep.empty() ? fs::path() : fs::path(keep).lexically_normal();
  size_t keeping = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
    std::error_code entryError;
    const std::optional<BackupName> name = ParseBackupName(entry.path().filename().string());
    if (!name || !entry.is_regular_file(entryError)) continue;
    if (!keep.empty() && entry.path().lexically_normal() == keptPath) {
      ++keeping;
      continue;
    }
    backups.push_back({*name, entry.path()});
  }
  if (backups.size() + keeping <= kept) return;
  std::sort(backups.begin(), backups.end(), [](const Entry& a, const Entry& b) {
    return a.name.Order() != b.name.Order() ? a.name.Order() < b.name.Order() : a.path < b.path;
  });
  const size_t others = kept > keeping ? kept - keeping : 0;
  for (size_t i = 0; i + others < backups.size(); ++i) fs::remove(backups[i].path, error);
}

}  // namespace paramfile

#include "recording/CompanionPlace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "base/UniqueFd.h"
#include "lang/Texts.h"
#include "recording/RecordingCsv.h"

namespace recording {
namespace {

// Far above any companion; a larger file is something else.
constexpr size_t kMaxCompanionBytes = 64 * 1024;

bool IsDeviceOrFifo(const struct stat& status) { return S_ISCHR(status.st_mode) || S_ISFIFO(status.st_mode); }

}  // namespace

bool IsCompanionFile(const std::string& path) {
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  struct stat status {};
  if (!fd.Valid() || fstat(fd.Get(), &status) != 0 || !S_ISREG(status.st_mode) ||
      static_cast<size_t>(status.st_size) > kMaxCompanionBytes) {
    return false;
  }
  std::string bytes(static_cast<size_t>(status.st_size), '\0');
  size_t got = 0;
  while (got < bytes.size()) {
    const ssize_t n = read(fd.Get(), bytes.data() + got, bytes.size() - got);
    if (n <= 0) return false;
    got += static_cast<size_t>(n);
  }
  const nlohmann::json document = nlohmann::json::parse(bytes, nullptr, false);
  if (!document.is_object()) return false;
  // The members every companion has, whoever wrote it.
  for (const char* key : {"columns", "line", "rows", "gaps", "samples", "start"}) {
    if (!document.contains(key)) return false;
  }
  return document["columns"].is_array() && document["line"].is_object() && document["rows"].is_number_unsigned();
}

CompanionPlace PlaceCompanion(const std::string& csvPath) {
  struct stat csv {};
  const bool csvExists = stat(csvPath.c_str(), &csv) == 0;
  if (csvExists && IsDeviceOrFifo(csv)) return {};
  const std::string companion = CompanionPath(csvPath);
  if (companion == csvPath) {
    return {{}, lang::Fill(lang::Tr("{1} 以 .json 结尾: 说明文件会覆盖记录本身; 请用 .csv 文件名"), {csvPath})};
  }
  struct stat there {};
  if (stat(companion.c_str(), &there) != 0) return {companion, {}};
  if (csvExists && there.st_dev == csv.st_dev && there.st_ino == csv.st_ino) {
    return {{}, lang::Fill(lang::Tr("{1} 就是记录文件本身, 不能作为说明文件"), {companion})};
  }
  if (!IsCompanionFile(companion)) {
    return {{}, lang::Fill(lang::Tr("{1} 已存在且不是记录的说明文件, 未覆盖; 请换一个文件名"), {companion})};
  }
  return {companion, {}};
}

}  // namespace recording

#include "publish/Spool.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "base/AtomicFile.h"
#include "base/WholeFile.h"
#include "lang/Texts.h"

namespace publish {
namespace {

namespace fs = std::filesystem;
using lang::Fill;
using lang::Tr;

constexpr size_t SequenceDigits = 20;
constexpr std::string_view RecordSuffix = ".json";
constexpr std::string_view AsideSuffix = ".bad";
constexpr const char* RecordFormat = "korvelt-test-record";

std::string NameOf(uint64_t sequence) {
  char name[32];
  std::snprintf(name, sizeof name, "%020llu", static_cast<unsigned long long>(sequence));
  return std::string(name) + std::string(RecordSuffix);
}

// The sequence of a record's name; nothing for any other name.
std::optional<uint64_t> SequenceOf(const std::string& name) {
  if (name.size() != SequenceDigits + RecordSuffix.size() || !name.ends_with(RecordSuffix)) return std::nullopt;
  uint64_t sequence = 0;
  for (size_t i = 0; i < SequenceDigits; ++i) {
    if (name[i] < '0' || name[i] > '9') return std::nullopt;
    sequence = sequence * 10 + static_cast<uint64_t>(name[i] - '0');
  }
  return sequence;
}

// Names the spool leaves alone: its lock, what was set aside, and a file
// being written (AtomicFile's temporary: the record's name and six more).
bool LeftAlone(const std::string& name) {
  if (name.empty() || name.front() == '.' || name.ends_with(AsideSuffix)) return true;
  const size_t record = SequenceDigits + RecordSuffix.size();
  return name.size() == record + 7 && name[record] == '.' && SequenceOf(name.substr(0, record));
}

uint64_t Now() {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                   std::chrono::system_clock::now().time_since_epoch())
                                   .count());
}

}  // namespace

std::string StationPart(std::string_view station) {
  std::string part;
  for (char c : station) {
    const bool control = static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
    part += (control || c == '/' || c == '\\' || c == '+' || c == '#') ? '_' : c;
  }
  if (!part.empty() && part.front() == '.') part.front() = '_';
  return part.empty() ? "_" : part;
}

std::string DefaultSpoolFolder(const std::string& station) {
  std::string data;
  const char* xdg = std::getenv("XDG_DATA_HOME");
  const char* home = std::getenv("HOME");
  if (xdg != nullptr && xdg[0] == '/') {
    data = xdg;
  } else if (home != nullptr && home[0] == '/') {
    data = std::string(home) + "/.local/share";
  } else {
    return {};
  }
  return data + "/korvelt-demo/spool/" + StationPart(station);
}

std::string Spool::Prepare() const {
  std::error_code error;
  fs::create_directories(folder_, error);
  if (error || !fs::is_directory(folder_, error)) {
    return Fill(Tr("无法创建发布队列文件夹 {1}: {2}"), {folder_, error ? error.message() : Tr("不是文件夹")});
  }
  return {};
}

std::vector<SpoolEntry> Spool::List(std::vector<std::string>* notices) const {
  std::vector<SpoolEntry> entries;
  std::vector<std::string> strays;
  std::error_code error;
  for (fs::directory_iterator it(folder_, error); !error && it != fs::directory_iterator(); it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (const std::optional<uint64_t> sequence = SequenceOf(name)) {
      entries.push_back({*sequence, name});
    } else if (!LeftAlone(name)) {
      strays.push_back(name);
    }
  }
  if (notices != nullptr) {
    for (const std::string& name : strays) SetAside(name, Tr("不是测试记录的文件名"), *notices);
  }
  std::sort(entries.begin(), entries.end(), [](const SpoolEntry& a, const SpoolEntry& b) { return a.sequence < b.sequence; });
  return entries;
}

Spool::Added Spool::Add(std::string_view record) {
  const std::vector<SpoolEntry> waiting = List(nullptr);
  if (waiting.size() >= SpoolLimit) {
    return {std::nullopt, Fill(Tr("发布队列已满 ({1} 条记录等待代理): 这条记录不进入队列, 只保存在结果文件夹中"),
                               {std::to_string(SpoolLimit)})};
  }
  // After every record waiting, and after this station's clock: a later
  // run's record sorts after it even when the folder emptied between.
  uint64_t sequence = std::max({Now(), lastAdded_ + 1, waiting.empty() ? 0 : waiting.back().sequence + 1});
  base::AtomicFile file;
  if (!file.Open(folder_ + "/" + NameOf(sequence)) || !file.Write(record)) return {std::nullopt, file.Error()};
  for (;;) {
    switch (file.CommitNew(folder_ + "/" + NameOf(sequence))) {
      case base::AtomicFile::Claim::Claimed:
        lastAdded_ = sequence;
        return {SpoolEntry{sequence, NameOf(sequence)}, {}};
      case base::AtomicFile::Claim::Taken: ++sequence; break;
      case base::AtomicFile::Claim::Failed: return {std::nullopt, file.Error()};
    }
  }
}

std::vector<SpoolEntry> Spool::Next(uint64_t after, size_t most, std::vector<std::string>& notices) const {
  std::vector<SpoolEntry> entries = List(&notices);
  entries.erase(entries.begin(), std::upper_bound(entries.begin(), entries.end(), after,
                                                  [](uint64_t value, const SpoolEntry& e) { return value < e.sequence; }));
  if (entries.size() > most) entries.resize(most);
  return entries;
}

size_t Spool::Count() const { return List(nullptr).size(); }

std::optional<std::string> Spool::Read(const SpoolEntry& entry, std::vector<std::string>& notices) const {
  const std::string path = folder_ + "/" + entry.name;
  std::error_code error;
  if (!fs::exists(path, error)) return std::nullopt;
  std::string text;
  std::string refusal = base::ReadWholeFile(path, SpoolFileLimit, text, "不是测试记录");
  if (refusal.empty()) {
    const nlohmann::json record = nlohmann::json::parse(text, nullptr, false);
    const bool isRecord = record.is_object() && record.value("format", "") == RecordFormat &&
                          record.contains("id") && record["id"].is_string() && !record["id"].get<std::string>().empty();
    if (isRecord) return text;
    refusal = Tr("不是测试记录");
  }
  SetAside(entry.name, refusal, notices);
  return std::nullopt;
}

void Spool::Remove(const SpoolEntry& entry) const { std::remove((folder_ + "/" + entry.name).c_str()); }

void Spool::SetAside(const std::string& name, const std::string& why, std::vector<std::string>& notices) const {
  const std::string from = folder_ + "/" + name;
  const std::string to = from + std::string(AsideSuffix);
  std::error_code error;
  fs::rename(from, to, error);
  notices.push_back(error ? Fill(Tr("发布队列中的 {1} 无法移开 ({2}): {3}"), {from, error.message(), why})
                          : Fill(Tr("发布队列中的 {1} 已移开为 {2}: {3}"), {from, to, why}));
}

}  // namespace publish

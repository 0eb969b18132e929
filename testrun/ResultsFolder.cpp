#include "testrun/ResultsFolder.h"

#include <fcntl.h>
#include <sys/file.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <iterator>
#include <system_error>

#include "base/AtomicFile.h"
#include "base/UniqueFd.h"
#include "base/WholeFile.h"
#include "fields/CFormat.h"
#include "fields/PrintableText.h"
#include "lang/Texts.h"
#include "recording/RecordingCsv.h"
#include "testrun/Report.h"

namespace testrun {
namespace {

using lang::Fill;
using lang::Tr;

// A summary read back to add a row: a station's years of units, bounded.
constexpr size_t kMaxSummaryBytes = 256u << 20;
constexpr const char* kByteOrderMark = "\xEF\xBB\xBF";
constexpr size_t kMaxSerial = 64;
constexpr size_t kHashInName = 8;

std::string Join(const std::string& folder, const std::string& name) {
  return (std::filesystem::path(folder) / name).string();
}

std::string WriteSamples(const std::string& path, const RunSamples& run) {
  base::AtomicFile file;
  if (!file.Open(path)) return file.Error();
  recording::CsvWriter writer(file.Stream(), run.commandWall);
  writer.ByteOrderMark();
  writer.Header();
  for (size_t i = 0; i < run.samples.size(); ++i) writer.Row(run.samples[i], i >= run.firstWindowSample);
  if (!writer.Ok() || !file.Commit()) return file.Error().empty() ? Fill(Tr("无法写入 {1}"), {path}) : file.Error();
  return {};
}

// The row goes under the header it belongs to: a summary of other columns
// is left as it is and this plan's rows go beside it.
std::string AddSummaryRow(const std::string& folder, const testplan::Plan& plan, const std::string& row,
                          std::string& path) {
  // Stations that share a folder add their rows one at a time: the summary
  // is read and written whole, and a row added meanwhile would be lost.
  const std::string lockPath = Join(folder, ".summary.lock");
  const UniqueFd lock(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
  int locked = lock.Valid() ? 0 : -1;
  while (locked == 0 && ::flock(lock.Get(), LOCK_EX) != 0) {
    if (errno != EINTR) locked = -1;
  }
  if (locked != 0) return Fill(Tr("无法写入 {1}: {2}"), {lockPath, std::strerror(errno)});
  const auto headerIn = [&plan](lang::Language language) {
    return std::string(kByteOrderMark) + SummaryHeader(plan, language);
  };
  const std::string headers[] = {headerIn(lang::Language::Chinese), headerIn(lang::Language::English)};
  for (const std::string& name : {std::string("summary.csv"), "summary-" + plan.sha256.substr(0, kHashInName) + ".csv"}) {
    path = Join(folder, name);
    std::error_code error;
    std::string text;
    if (std::filesystem::exists(path, error)) {
      if (std::string failure = base::ReadWholeFile(path, kMaxSummaryBytes, text, "不是汇总文件"); !failure.empty()) {
        return failure;
      }
      if (std::none_of(std::begin(headers), std::end(headers),
                       [&text](const std::string& header) { return text.compare(0, header.size(), header) == 0; })) {
        continue;
      }
    } else {
      text = headerIn(lang::InUse());
    }
    // A row cut short by an earlier crash would join this one.
    if (!text.empty() && text.back() != '\n') text += "\r\n";
    return base::WriteWholeFile(path, text + row);
  }
  return Fill(Tr("{1} 的列与本测试计划不同"), {path});
}

}  // namespace

std::string SerialRefusal(const std::string& serial, const testplan::Plan& plan) {
  bool printable = !serial.empty() && serial.size() <= kMaxSerial;
  for (const char c : serial) printable = printable && c > 0x20 && c < 0x7F;
  if (!printable || std::string_view("=+-@").find(serial.front()) != std::string_view::npos) {
    return Fill(Tr("序列号 {1} 应为 1 到 {2} 个可打印的 ASCII 字符 (不含空格, 不以 = + - @ 开头)"),
                {fields::PrintableCut(serial, kMaxSerial), std::to_string(kMaxSerial)});
  }
  if (plan.serialPattern && !plan.serialPattern->Matches(serial)) {
    return Fill(Tr("序列号 {1} 不符合测试计划的序列号模式 {2}"), {serial, plan.serialPattern->Text()});
  }
  return {};
}

std::string DefaultResultsFolder(const std::string& planName) {
  std::filesystem::path base;
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data != nullptr && std::filesystem::path(data).is_absolute()) {
    base = data;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    base = std::filesystem::path(home) / ".local" / "share";
  } else {
    return {};
  }
  return (base / "korvelt-demo" / "results" / FileNamePart(planName)).string();
}

std::string PrepareFolder(const std::string& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error || !std::filesystem::is_directory(folder, error)) {
    return Fill(Tr("无法创建结果文件夹 {1}: {2}"),
                {folder, error ? error.message() : std::string(Tr("已有同名的文件"))});
  }
  // A file begun and dropped: the folder takes files, and nothing is left.
  base::AtomicFile probe;
  if (!probe.Open(Join(folder, ".korvelt-probe"))) return probe.Error();
  return {};
}

std::string FileNamePart(std::string_view text) {
  std::string name;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    name += (byte < 0x20 || byte == 0x7F || c == '/' || c == '\\') ? '_' : c;
  }
  if (name.empty() || name == "." || name == "..") name.insert(0, "_");
  if (name.front() == '.') name.front() = '_';
  return name;
}

std::string RecordId(WallClock::time_point started, const std::string& serial) {
  const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(started.time_since_epoch()).count();
  const std::time_t seconds = static_cast<std::time_t>(millis / 1000);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%S", &utc);
  return fields::CFormat("%s.%03dZ-", stamp, static_cast<int>(millis % 1000)) + FileNamePart(serial);
}

std::string RecordPath(const std::string& folder, const UnitInfo& info) { return Join(folder, info.recordId + ".json"); }
std::string ReportPath(const std::string& folder, const UnitInfo& info) { return Join(folder, info.recordId + ".html"); }

namespace {

// A record is kept whole or not at all: what was written of it goes when a
// later file fails.
Written& Failed(Written& written, std::string error) {
  for (const std::string& path : written.files) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
  }
  written.files.clear();
  written.error = std::move(error);
  return written;
}

}  // namespace

Written WriteUnit(const std::string& folder, const testplan::Plan& plan, const UnitInfo& info, const UnitResult& unit,
                  const std::string& junitCopy, const std::string& htmlCopy) {
  Written written;
  std::vector<std::string>& sampleFiles = written.sampleFiles;
  sampleFiles.resize(plan.steps.size());
  for (size_t i = 0; i < plan.steps.size(); ++i) {
    if (!unit.steps[i].samples) continue;
    const std::string name = info.recordId + "-" + std::to_string(i + 1) + ".csv";
    if (std::string error = WriteSamples(Join(folder, name), *unit.steps[i].samples); !error.empty()) {
      return Failed(written, error);
    }
    sampleFiles[i] = name;
    written.files.push_back(Join(folder, name));
  }
  // Each form of the record in the folder, and its copy where one is asked for.
  const std::pair<std::string, std::vector<std::string>> forms[] = {
      {JUnitXml(plan, info, unit), {Join(folder, info.recordId + ".junit.xml"), junitCopy}},
      {ReportHtml(plan, info, unit), {ReportPath(folder, info), htmlCopy}},
  };
  for (const auto& [text, paths] : forms) {
    for (const std::string& path : paths) {
      if (path.empty()) continue;
      if (std::string error = base::WriteWholeFile(path, text); !error.empty()) return Failed(written, error);
      written.files.push_back(path);
    }
  }
  const std::string record =
      BuildRecord(plan, info, unit, sampleFiles).dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
  if (std::string error = base::WriteWholeFile(RecordPath(folder, info), record); !error.empty()) {
    return Failed(written, error);
  }
  written.files.push_back(RecordPath(folder, info));
  std::string summary;
  if (std::string error = AddSummaryRow(folder, plan, SummaryRow(plan, info, unit), summary); !error.empty()) {
    return Failed(written, error);
  }
  written.files.push_back(summary);
  return written;
}

}  // namespace testrun

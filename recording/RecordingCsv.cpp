#include "recording/RecordingCsv.h"

#include <charconv>
#include <cstring>
#include <vector>

#include "fields/StatusTexts.h"
#include "base/AtomicFile.h"
#include "lang/Texts.h"
#include "recording/CompanionPlace.h"

namespace recording {
namespace {

constexpr size_t kCopyBlock = 4096;

int64_t FloorDiv(int64_t value, int64_t divisor) {
  const int64_t quotient = value / divisor;
  return (value % divisor != 0 && value < 0) ? quotient - 1 : quotient;
}

int64_t WallMicros(WallClock::time_point at) {
  return std::chrono::duration_cast<std::chrono::microseconds>(at.time_since_epoch()).count();
}

// Appends n as at least `width` digits.
void Digits(std::string& text, long n, int width) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
  for (int pad = width - static_cast<int>(end - digits); pad > 0; --pad) text += '0';
  text.append(digits, end);
}

// Microseconds as "s.uuuuuu": a capture's reads lie a few milliseconds apart.
void Seconds(std::string& text, int64_t micros) {
  if (micros < 0) text += '-';
  const int64_t magnitude = micros < 0 ? -micros : micros;
  Digits(text, static_cast<long>(magnitude / 1'000'000), 1);
  text += '.';
  Digits(text, static_cast<long>(magnitude % 1'000'000), 6);
}

// A value with its field's decimals; to_chars never consults the locale.
void Number(std::string& text, double value, int decimals) {
  char digits[64];
  const auto result = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, decimals);
  if (result.ec == std::errc()) text.append(digits, result.ptr);
}

// A column's title in the language in use with its unit, quoted should a
// translation bring a comma.
void Column(std::string& line, std::string_view title, std::string_view unit) {
  std::string text(title);
  if (!unit.empty()) {
    text += " [";
    text += unit;
    text += ']';
  }
  if (text.find_first_of(",\"") != std::string::npos) {
    std::string quoted = "\"";
    for (const char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    text = quoted + "\"";
  }
  if (!line.empty()) line += ',';
  line += text;
}

}  // namespace

CsvWriter::CsvWriter(std::FILE* out, WallClock::time_point startWall)
    : out_(out), startWallMicros_(WallMicros(startWall)) {}

void CsvWriter::ByteOrderMark() { std::fputs("\xEF\xBB\xBF", out_); }

void CsvWriter::Header() {
  std::string line;
  Column(line, lang::Tr("时间"), "");
  Column(line, lang::Tr("经过时间"), "s");
  if (addressColumn_) Column(line, lang::Tr("地址"), "");
  const auto fields = fields::StatusFields();
  for (const size_t field : fields::MeasuredStatusFields()) {
    Column(line, lang::Tr(std::string_view(fields[field].name)), lang::Tr(std::string_view(fields[field].unit)));
  }
  line += "\r\n";
  std::fwrite(line.data(), 1, line.size(), out_);
}

void CsvWriter::Row(const Sample& sample, bool fast, uint8_t address) {
  std::string line;
  line.reserve(160);
  const int64_t wall = startWallMicros_ + sample.time;
  const int64_t second = FloorDiv(wall, 1'000'000);
  if (second != cachedSecond_) {
    cached_ = fields::LocalSecondOf(second);
    cachedSecond_ = second;
  }
  line += cached_.dateTime;
  line += '.';
  Digits(line, static_cast<long>(FloorDiv(wall, 1000) - second * 1000), 3);
  line += cached_.offset;
  line += ',';
  Seconds(line, sample.time);
  if (addressColumn_) {
    line += ',';
    Digits(line, address, 1);
  }
  for (const size_t field : fields::MeasuredStatusFields()) {
    line += ',';
    if (const std::optional<double> value = ValueOf(sample, field)) Number(line, *value, fields::StatusDecimals(field));
  }
  line += "\r\n";
  std::fwrite(line.data(), 1, line.size(), out_);
  if (totals_.rows == 0) totals_.first = sample.time;
  totals_.last = sample.time;
  ++totals_.rows;
  if (IsGap(sample)) ++totals_.gaps;
  if (fast) {
    ++totals_.fastRows;
    // A run beyond the list's bound is counted, never added to the last one listed.
    if (!lastFast_) {
      runListed_ = totals_.fastRuns.size() < CsvTotals::MaxFastRuns;
      if (runListed_) totals_.fastRuns.push_back({sample.time, sample.time, 0});
    }
    if (runListed_) {
      totals_.fastRuns.back().last = sample.time;
      ++totals_.fastRuns.back().rows;
    }
  }
  lastFast_ = fast;
}

bool CsvWriter::Ok() const { return !std::ferror(out_); }

nlohmann::json CompanionJson(const RecordingInfo& info, WallClock::time_point startWall, const CsvTotals& totals) {
  using nlohmann::json;
  const int64_t start = WallMicros(startWall);
  json columns = json::array();
  const auto fields = fields::StatusFields();
  for (const size_t field : fields::MeasuredStatusFields()) {
    // The key names the column; its name and unit are words for the reader.
    columns.push_back({{"key", fields[field].key},
                       {"name", lang::Tr(fields[field].name)},
                       {"unit", lang::Tr(fields[field].unit)}});
  }
  // Rows of a capture lie a few milliseconds apart, not at the poll's
  // interval: the interval stands only while some rows came from the poll.
  const bool paced = info.pollIntervalMs != 0 && (totals.rows == 0 || totals.fastRows < totals.rows);
  json fastRuns = json::array();
  for (const FastRows& run : totals.fastRuns) {
    fastRuns.push_back({{"first", fields::IsoTime(start + run.first, 3)},
                        {"last", fields::IsoTime(start + run.last, 3)},
                        {"rows", run.rows}});
  }
  json companion{
      {"device", info.device},
      {"line", {{"port", info.origin.line.port}, {"device", info.origin.devicePath}, {"baud", info.origin.line.baud},
                {"parity", ParityName(info.origin.line.parity)},
                {"address", info.drivers.is_null() ? json(info.origin.address) : json(nullptr)},
                {"frame", "8 data bits, 11 bits a character"}}},
      {"tool", info.origin.tool},
      {"pollIntervalMs", paced ? json(info.pollIntervalMs) : json(nullptr)},
      {"fast", info.pollIntervalMs == 0 || totals.fastRows > 0},
      {"fastRows", totals.fastRows},
      {"fastRuns", fastRuns},
      {"start", fields::IsoTime(start, 3)},
      {"first", totals.rows == 0 ? json(nullptr) : json(fields::IsoTime(start + totals.first, 3))},
      {"last", totals.rows == 0 ? json(nullptr) : json(fields::IsoTime(start + totals.last, 3))},
      {"rows", totals.rows},
      {"samples", totals.rows - totals.gaps},
      {"gaps", totals.gaps},
      {"columns", columns},
  };
  if (!info.drivers.is_null()) companion["drivers"] = info.drivers;
  return companion;
}

std::string CompanionPath(const std::string& csvPath) {
  const size_t slash = csvPath.rfind('/');
  const size_t dot = csvPath.rfind('.');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
  return (hasExtension ? csvPath.substr(0, dot) : csvPath) + ".json";
}

bool ExportRecording(const StatusRecording& recording, ExportRange range, const RecordingInfo& info,
                     const std::string& csvPath, std::string* error, CsvTotals* totals) {
  if (const CompanionPlace place = PlaceCompanion(csvPath); !place.refusal.empty()) {
    if (error != nullptr) *error = place.refusal;
    return false;
  }
  base::AtomicFile file;
  if (!file.Open(csvPath)) {
    if (error != nullptr) *error = file.Error();
    return false;
  }
  CsvWriter writer(file.Stream(), recording.StartWall());
  writer.ByteOrderMark();
  writer.Header();
  // In blocks, so that the recording goes on taking samples meanwhile.
  std::vector<Sample> block(kCopyBlock);
  const std::vector<FastPeriod> periods = recording.FastPeriods();
  auto period = periods.begin();
  // Rows come in time order, and so do the periods.
  const auto fast = [&](Micros time) {
    while (period != periods.end() && period->to < time) ++period;
    return period != periods.end() && period->from <= time;
  };
  uint64_t next = recording.FirstAtOrAfter(range.from);
  bool done = false;
  while (!done && writer.Ok()) {
    const StatusRecording::Copied copied = recording.Copy(next, block);
    if (copied.count == 0) break;
    for (size_t i = 0; i < copied.count && !done; ++i) {
      if (block[i].time > range.to) {
        done = true;
      } else {
        writer.Row(block[i], fast(block[i].time));
      }
    }
    next = copied.first + copied.count;
  }
  if (!file.Commit()) {
    if (error != nullptr) *error = file.Error();
    return false;
  }
  if (totals != nullptr) *totals = writer.Totals();
  const std::string failure = WriteCompanion(csvPath, info, recording.StartWall(), writer.Totals());
  if (!failure.empty() && error != nullptr) *error = failure;
  return failure.empty();
}

std::string WriteCompanion(const std::string& csvPath, const RecordingInfo& info, WallClock::time_point startWall,
                           const CsvTotals& totals) {
  // Decided again now that the CSV is written: the folder may have changed
  // while the recording ran.
  const CompanionPlace place = PlaceCompanion(csvPath);
  if (!place.refusal.empty() || place.path.empty()) return place.refusal;
  const std::string json =
      CompanionJson(info, startWall, totals).dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
  return base::WriteWholeFile(place.path, json);
}

}  // namespace recording

// The recording's bound, its gaps and its files: the CSV a spreadsheet
// reads (whatever the process's locale) and the JSON companion beside it.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <clocale>
#include <filesystem>
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "TextsInEnglish.h"
#include "fields/StatusTexts.h"
#include "lang/Texts.h"
#include "recording/RecordingCsv.h"
#include "recording/StatusRecording.h"

namespace {

using recording::SteadyClock;
using std::chrono::milliseconds;

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, separator)) parts.push_back(part);
  if (!text.empty() && text.back() == separator) parts.push_back("");
  return parts;
}

std::vector<std::string> Lines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

StatusBlock Current(uint16_t centiamps) {
  StatusBlock status{};
  status.phaseCurrent = centiamps;
  status.outputPwm = -255;  // -25.5 %
  return status;
}

// A folder of its own for the files a test writes.
struct Folder {
  std::filesystem::path path = std::filesystem::temp_directory_path() / ("korvelt-rec-" + std::to_string(getpid()));
  Folder() { std::filesystem::create_directories(path); }
  ~Folder() { std::filesystem::remove_all(path); }
  std::string File(const char* name) const { return (path / name).string(); }
};

TEST(StatusRecording, KeepsTheNewestWithinItsBoundAndItsGapsAsGaps) {
  recording::StatusRecording store(recording::StatusRecording::ChunkSamples);  // one chunk
  const size_t capacity = store.Capacity();
  const SteadyClock::time_point t0 = SteadyClock::now();
  store.Restart(t0);
  const size_t total = capacity + capacity / 2;
  for (size_t i = 0; i < total; ++i) {
    const auto at = t0 + milliseconds(100 * i);
    if (i % 10 == 3) {
      store.AddGap(at);
    } else {
      store.Add(at, Current(static_cast<uint16_t>(i % 60000)));
    }
  }
  const recording::RecordingTotals totals = store.Totals();
  EXPECT_EQ(totals.samples, capacity);
  EXPECT_EQ(totals.dropped, total - capacity);
  EXPECT_EQ(store.BytesUsed() / capacity, sizeof(recording::Sample)) << "one chunk and nothing more";
  // The oldest kept is the first after those that made room.
  std::vector<recording::Sample> all(capacity);
  const auto copied = store.Copy(0, all);
  ASSERT_EQ(copied.count, capacity);
  EXPECT_EQ(copied.first, total - capacity);
  uint64_t gaps = 0;
  for (size_t k = 0; k < capacity; ++k) {
    const size_t i = copied.first + k;
    EXPECT_EQ(all[k].time, static_cast<recording::Micros>(i) * 100000) << i;
    ASSERT_EQ(recording::IsGap(all[k]), i % 10 == 3) << i;
    if (recording::IsGap(all[k])) {
      ++gaps;
      EXPECT_FALSE(recording::ValueOf(all[k], 1)) << "a gap has no value";
    } else {
      EXPECT_DOUBLE_EQ(*recording::ValueOf(all[k], 1), (i % 60000) / 100.0);
    }
  }
  EXPECT_EQ(totals.gaps, gaps);
}

TEST(StatusRecording, LateSampleTakesItsPlaceAndErrorChangesAreMarked) {
  recording::StatusRecording store(16);
  const SteadyClock::time_point t0 = SteadyClock::now();
  store.Restart(t0);
  StatusBlock stalled = Current(10);
  stalled.errorState = 2;
  store.Add(t0 + milliseconds(10), Current(10));
  store.Add(t0 + milliseconds(30), stalled);
  store.Add(t0 + milliseconds(20), Current(20));  // a poll that came back after a capture's read
  store.Add(t0 + milliseconds(40), stalled);
  store.Add(t0 + milliseconds(50), Current(30));
  std::vector<recording::Sample> all(8);
  const auto copied = store.Copy(0, all);
  ASSERT_EQ(copied.count, 5u);
  for (size_t i = 1; i < copied.count; ++i) EXPECT_LT(all[i - 1].time, all[i].time);
  const std::vector<recording::Mark> marks = store.Marks(0);
  ASSERT_EQ(marks.size(), 2u);
  EXPECT_EQ(recording::MarkText(marks[0]), "错误状态: 堵转停止");
  EXPECT_EQ(recording::MarkText(marks[1]), "错误状态: 无");
  // Kept as what they mean, they read in the language of the moment.
  lang::Use(lang::Language::English);
  EXPECT_EQ(recording::MarkText(marks[0]), "Error state: Stalled, stopped");
  lang::Use(lang::Language::Chinese);
}

// A locale whose decimal point is ',' made for the test, since a bare
// machine has none compiled.
bool UseCommaLocale(const Folder& folder) {
  const std::string made = folder.File("locales");
  std::filesystem::create_directories(made);
  const std::string command = "localedef -i de_DE -f UTF-8 " + made + "/de_DE.UTF-8 >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) return false;
  setenv("LOCPATH", made.c_str(), 1);
  return std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr && std::localeconv()->decimal_point[0] == ',';
}

TEST(RecordingCsv, PointForDecimalsWhateverTheLocaleAndCompanionCountsAgree) {
  Folder folder;
  if (!UseCommaLocale(folder)) GTEST_SKIP() << "no locale with a decimal comma could be made";
  recording::StatusRecording store(64);
  const SteadyClock::time_point t0 = SteadyClock::now();
  store.Restart(t0);
  store.Add(t0, Current(123));
  store.AddGap(t0 + milliseconds(100));
  store.Add(t0 + milliseconds(200), Current(5), 0b11);  // PWM and current only, as a capture reads them
  recording::RecordingInfo info;
  info.origin.line.port = "COM1";
  info.origin.tool = "test";
  std::string error;
  const std::string csv = folder.File("run.csv");
  ASSERT_TRUE(recording::ExportRecording(store, {}, info, csv, &error)) << error;
  std::setlocale(LC_ALL, "C");
  unsetenv("LOCPATH");

  std::vector<std::string> lines = Lines(csv);
  ASSERT_EQ(lines.size(), 4u);
  ASSERT_EQ(lines[0].rfind("\xEF\xBB\xBF", 0), 0u) << "a byte-order mark for spreadsheets";
  const std::vector<std::string> header = Split(lines[0].substr(3), ',');
  const auto measured = fields::MeasuredStatusFields();
  ASSERT_EQ(header.size(), 2 + measured.size());
  EXPECT_EQ(header[3], "相电流 [A]");
  const std::vector<std::string> first = Split(lines[1], ',');
  ASSERT_EQ(first.size(), header.size()) << lines[1];
  EXPECT_EQ(first[1], "0.000000");
  EXPECT_EQ(first[2], "-25.5");
  EXPECT_EQ(first[3], "1.23");
  EXPECT_EQ(first[5], "0.0") << "a frequency keeps its tenth";
  // ISO 8601 with milliseconds and the offset: 2026-12-07T12:19:33.042+00:00
  ASSERT_EQ(first[0].size(), 29u) << first[0];
  EXPECT_EQ(first[0][10], 'T');
  EXPECT_EQ(first[0][19], '.');
  EXPECT_TRUE(first[0][23] == '+' || first[0][23] == '-');
  const std::vector<std::string> gap = Split(lines[2], ',');
  ASSERT_EQ(gap.size(), header.size());
  EXPECT_EQ(gap[1], "0.100000");
  for (size_t i = 2; i < gap.size(); ++i) EXPECT_EQ(gap[i], "") << "a gap is empty, column " << i;
  const std::vector<std::string> partial = Split(lines[3], ',');
  EXPECT_EQ(partial[3], "0.05");
  EXPECT_EQ(partial[4], "") << "a register the capture did not read";

  std::ifstream companion(recording::CompanionPath(csv));
  ASSERT_TRUE(companion.good());
  const nlohmann::json json = nlohmann::json::parse(companion);
  EXPECT_EQ(json["rows"], lines.size() - 1);
  EXPECT_EQ(json["gaps"], 1);
  EXPECT_EQ(json["samples"], 2);
  EXPECT_EQ(json["first"], first[0]);
  EXPECT_EQ(json["last"], partial[0]);
  EXPECT_EQ(json["line"]["port"], "COM1");
  EXPECT_EQ(json["pollIntervalMs"], 100);
  EXPECT_TRUE(json["device"].is_null());
  for (const auto& entry : std::filesystem::directory_iterator(folder.path)) {
    EXPECT_EQ(entry.path().string().find(".tmp-"), std::string::npos) << "no temporary left: " << entry.path();
  }
}

// The companion tells the rows a capture read back to back from those of
// the poll: a poll, a capture between polls, a capture alone, one still
// going, and an export that cuts a capture.
TEST(RecordingCsv, CompanionCountsTheRowsOfCapturesApartFromThePoll) {
  struct Case {
    const char* what;
    int pollBefore, fastRows, pollAfter;  // rows, 100 ms apart for the poll and 2 ms for a capture
    bool ended;                           // the capture ended before the export
    recording::Micros to;                 // the export's range ends here
    uint64_t wantFast;
    bool wantInterval;
  };
  constexpr auto kAll = std::numeric_limits<recording::Micros>::max();
  const Case cases[] = {
      {"poll only", 5, 0, 0, true, kAll, 0, true},
      {"a capture between polls", 3, 40, 2, true, kAll, 40, true},
      {"a capture alone", 0, 30, 0, true, kAll, 30, false},
      {"a capture still going", 2, 25, 0, false, kAll, 25, true},
      {"the export ends within the capture", 2, 40, 3, true, 200'000 + 19 * 2'000, 20, true},
  };
  Folder folder;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    recording::StatusRecording store(1024);
    const SteadyClock::time_point t0 = SteadyClock::now();
    store.Restart(t0);
    auto at = t0;
    for (int i = 0; i < c.pollBefore; ++i, at += milliseconds(100)) store.Add(at, Current(1));
    if (c.fastRows > 0) {
      store.BeginFast(at);
      for (int i = 0; i < c.fastRows; ++i, at += milliseconds(2)) store.Add(at, Current(2), 0b11);
      if (c.ended) store.EndFast(at - milliseconds(1));
    }
    for (int i = 0; i < c.pollAfter; ++i) store.Add(at += milliseconds(100), Current(3));
    recording::RecordingInfo info;
    const std::string csv = folder.File("run.csv");
    std::string error;
    ASSERT_TRUE(recording::ExportRecording(store, {std::numeric_limits<recording::Micros>::min(), c.to}, info,
                                           csv, &error))
        << error;
    std::ifstream companion(recording::CompanionPath(csv));
    const nlohmann::json json = nlohmann::json::parse(companion);
    EXPECT_EQ(json["fastRows"], c.wantFast);
    EXPECT_EQ(json["fast"], c.wantFast > 0);
    EXPECT_EQ(json["pollIntervalMs"], c.wantInterval ? nlohmann::json(100) : nlohmann::json(nullptr));
    ASSERT_EQ(json["fastRuns"].size(), c.wantFast > 0 ? 1u : 0u);
    if (c.wantFast > 0) {
      EXPECT_EQ(json["fastRuns"][0]["rows"], c.wantFast);
      const std::vector<std::string> lines = Lines(csv);
      EXPECT_EQ(json["fastRuns"][0]["first"], Split(lines[1 + c.pollBefore], ',')[0]);
    }
  }
}

TEST(RecordingCsv, AFolderThatTakesNoFileLeavesNothingAndSaysWhy) {
  recording::StatusRecording store(16);
  std::string error;
  EXPECT_FALSE(recording::ExportRecording(store, {}, {}, "/nonexistent-folder/run.csv", &error));
  EXPECT_NE(error.find("/nonexistent-folder/run.csv"), std::string::npos) << error;
}

// In English: the header, and the companion naming each column as the
// header does, under the keys it always has.
TEST(RecordingCsv, HeaderAndCompanionInTheLanguageInUse) {
  Folder folder;
  recording::StatusRecording store(16);
  store.Restart(SteadyClock::now());
  store.Add(SteadyClock::now(), Current(123));
  TextsInEnglish inEnglish;
  std::string error;
  ASSERT_TRUE(recording::ExportRecording(store, {}, {}, folder.File("run.csv"), &error)) << error;
  const std::vector<std::string> header = Split(Lines(folder.File("run.csv")).at(0).substr(3), ',');
  std::ifstream companion(recording::CompanionPath(folder.File("run.csv")));
  const nlohmann::json columns = nlohmann::json::parse(companion)["columns"];
  ASSERT_EQ(header.size(), columns.size() + 2);
  EXPECT_EQ(header[0] + "," + header[1], "Time,Elapsed time [s]");
  for (size_t i = 0; i < columns.size(); ++i) {
    const std::string unit = columns[i]["unit"];
    EXPECT_EQ(columns[i]["name"].get<std::string>() + " [" + unit + "]", header[i + 2]);
    EXPECT_EQ(columns[i]["key"], fields::StatusFields()[fields::MeasuredStatusFields()[i]].key);
  }
  EXPECT_FALSE(recording::ExportRecording(store, {}, {}, folder.File("run.json"), &error));
  EXPECT_EQ(error, folder.File("run.json") + " ends in .json: its description file would overwrite the recording "
                                             "itself; use a .csv file name");
}

}  // namespace

// A unit's record as the station keeps it, built from the plan and what the
// run came to: the JSON record, the JUnit XML that a build server reads, and
// the row the results folder's summary gets. Pure: the files are written by
// ResultsFolder.h, so that another form of the same record (a report page)
// is one more builder beside these.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "lang/Language.h"
#include "testplan/Plan.h"
#include "testrun/Runner.h"

namespace testrun {

inline constexpr const char* RecordFormat = "korvelt-test-record";
inline constexpr int RecordVersion = 1;

// Who tested which unit where, and the name of its record.
struct UnitInfo {
  std::string recordId;  // also the stem of the record's files
  std::string station;
  std::string operatorName;
  std::string serial;
};

using RecordJson = nlohmann::ordered_json;

// The record: the plan (name, revision, SHA-256) and its parameter files,
// the station, operator and serial, the driver's identity, the times, each
// step with its outcome and measurements. `sampleFiles` names the CSV of
// each step's samples (one entry a step, empty where it has none).
RecordJson BuildRecord(const testplan::Plan& plan, const UnitInfo& info, const UnitResult& unit,
                       const std::vector<std::string>& sampleFiles);

// One testsuite for the unit, one testcase a step: a FAIL as <failure>, an
// ERROR or ABORTED as <error>, a step not reached as <skipped>.
std::string JUnitXml(const testplan::Plan& plan, const UnitInfo& info, const UnitResult& unit);

// The summary's header for this plan and one unit's row: the time, the
// record, the serial, the outcome, the first failing step, then each
// measurement of the plan in its own column. CSV lines ending in CR LF.
// The header is in `language`: a summary begun in one language takes the
// rows of a station that speaks the other.
std::string SummaryHeader(const testplan::Plan& plan, lang::Language language);
std::string SummaryRow(const testplan::Plan& plan, const UnitInfo& info, const UnitResult& unit);

// Text for XML and XHTML, also inside an attribute's quotes: each line
// printable, the markup's characters as entities.
std::string MarkupText(std::string_view text);

// ISO 8601 with milliseconds and the local offset, as every file of the
// tool writes a time.
std::string TimeText(WallClock::time_point at);

}  // namespace testrun

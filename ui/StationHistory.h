// What a results folder already knows of a serial: its summaries' rows (one
// a unit tested, by every station that shares the folder), read when a
// serial is to be tested, so that a unit tested before is asked about.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace station {

struct EarlierTest {
  std::string time;     // as the summary has it
  std::string outcome;  // "PASS", "FAIL", ...
  size_t count = 0;     // rows of the serial in all
};

// The cells of one CSV line (quoted cells unquoted, "" as ").
std::vector<std::string> CsvCells(const std::string& line);

// The last test of `serial` in the summaries of `folder` (summary.csv and
// those of other plan revisions); none when it has none.
std::optional<EarlierTest> EarlierTestOf(const std::string& folder, const std::string& serial);

}  // namespace station

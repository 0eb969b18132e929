#include "ui/StationHistory.h"

#include <filesystem>
#include <fstream>

namespace station {
namespace {

// The summary's columns: time, record, serial, outcome, first failing step.
enum Column : size_t { TimeColumn = 0, SerialColumn = 2, OutcomeColumn = 3 };
// A summary larger than this is read no further: years of a station's units
// are a few megabytes.
constexpr std::uintmax_t kMaxSummaryBytes = 64u << 20;

bool IsSummary(const std::filesystem::path& path) {
  const std::string name = path.filename().string();
  return name.rfind("summary", 0) == 0 && path.extension() == ".csv";
}

}  // namespace

std::vector<std::string> CsvCells(const std::string& line) {
  std::vector<std::string> cells(1);
  bool quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted) {
      if (c != '"') {
        cells.back() += c;
      } else if (i + 1 < line.size() && line[i + 1] == '"') {
        cells.back() += '"';
        ++i;
      } else {
        quoted = false;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      cells.emplace_back();
    } else if (c != '\r' && c != '\n') {
      cells.back() += c;
    }
  }
  return cells;
}

std::optional<EarlierTest> EarlierTestOf(const std::string& folder, const std::string& serial) {
  std::optional<EarlierTest> found;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    if (!entry.is_regular_file(error) || !IsSummary(entry.path())) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::uintmax_t read = 0;
    for (std::string line; read < kMaxSummaryBytes && std::getline(in, line);) {
      read += line.size() + 1;
      const std::vector<std::string> cells = CsvCells(line);
      if (cells.size() <= OutcomeColumn || cells[SerialColumn] != serial) continue;
      const size_t count = found ? found->count + 1 : 1;
      // The rows of one summary are in time order; between summaries the
      // later time (ISO 8601, one station's offset) is the last test.
      if (!found || cells[TimeColumn] >= found->time) found = EarlierTest{cells[TimeColumn], cells[OutcomeColumn], 0};
      found->count = count;
    }
  }
  return found;
}

}  // namespace station

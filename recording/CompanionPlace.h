// Where the JSON companion of a recording's CSV goes, decided before
// either is written: the companion takes the CSV's name with ".json" and
// may replace only an earlier companion, never the CSV itself (run.json)
// nor any other file of that name (a parameter file line3.json beside
// line3.csv). A CSV that goes to a device or a FIFO (/dev/null) gets no
// companion: nothing of a file belongs beside a device.
#pragma once

#include <string>

namespace recording {

struct CompanionPlace {
  std::string path;     // where it goes; empty when none goes
  std::string refusal;  // why neither may be written; empty when they may
};
CompanionPlace PlaceCompanion(const std::string& csvPath);

// The document at `path` is a recording's companion (bounded read: a
// companion is a few kB).
bool IsCompanionFile(const std::string& path);

}  // namespace recording

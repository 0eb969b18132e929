// Where a station's records go and how they are written: a folder for each
// plan, with each unit's JSON record, its run steps' samples as CSV (the
// recording's columns), its JUnit XML, and the summary with one row a unit.
// Every file is written whole or not at all; the folder is checked before
// the driver is touched, so that a test is never run whose record cannot be
// kept.
#pragma once

#include <string>
#include <vector>

#include "testplan/Plan.h"
#include "testrun/Record.h"
#include "testrun/Runner.h"

namespace testrun {

// $XDG_DATA_HOME/korvelt-demo/results/<plan name>/ (~/.local/share where
// XDG_DATA_HOME is unset or not absolute); empty when neither is known.
std::string DefaultResultsFolder(const std::string& planName);

// Makes the folder when missing and sees that a file can be written in it;
// empty when so, else why not.
std::string PrepareFolder(const std::string& folder);

// Why `serial` cannot name a unit of `plan`: it goes into file names and
// spreadsheet cells (1 to 64 printable ASCII characters, not the start of a
// formula), and must match the plan's serial pattern; empty when it can.
std::string SerialRefusal(const std::string& serial, const testplan::Plan& plan);

// A name that a file may carry: characters that a path or a shell would
// read otherwise ('/', '\', controls) as '_', and a leading '.' too.
std::string FileNamePart(std::string_view text);

// "20261211T111836.123Z-KV-0001": unique for a station as long as two units
// of one serial do not start within the same millisecond.
std::string RecordId(WallClock::time_point started, const std::string& serial);

// What WriteUnit wrote. The summary is "summary.csv", or, when that one
// holds the columns of another plan revision, one named after this plan's
// hash.
struct Written {
  std::vector<std::string> files;  // in the order written
  // The name of each step's samples in the folder; empty for a step without.
  std::vector<std::string> sampleFiles;
  std::string error;               // the first failure; then none of the files stays
};

// Writes the unit's files into `folder` (the samples, the JUnit XML, the
// record, then the summary's row), each whole, and all or none of them;
// `junitCopy`, when given, gets the JUnit XML too.
Written WriteUnit(const std::string& folder, const testplan::Plan& plan, const UnitInfo& info, const UnitResult& unit,
                  const std::string& junitCopy);

// The record's file, for messages: "<folder>/<id>.json".
std::string RecordPath(const std::string& folder, const UnitInfo& info);
// The unit's report page: "<folder>/<id>.html".
std::string ReportPath(const std::string& folder, const UnitInfo& info);

}  // namespace testrun

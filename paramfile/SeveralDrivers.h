// Parameter files for several drivers of one line, one driver after the
// other on the one link: each saved into a folder under a name of its own,
// or one file compared with each, then each backed up, written and read
// back. A driver that fails is said and the others go on; a stop asked for
// ends the work before the next step, and the drivers not reached are said
// as such. Progress counts the steps of every driver.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "paramfile/RestorePlan.h"

namespace paramfile {

// "<folder>/addr003-<model>-<YYYYMMDD-HHMMSS>.json".
std::string DriverFilePath(const std::string& folder, uint8_t address, const std::string& model, std::time_t time);

// One driver's file written into `folder` whole; empty on success, else
// what went wrong. `path` is where it went.
std::string SaveDriverFile(const DeviceImage& device, const Header& header, const std::string& folder, uint8_t address,
                           std::time_t time, std::string& path);

// One driver saved.
struct DriverSaved {
  uint8_t address = 0;
  StepResult read;
  std::string path;     // the file written
  std::string failure;  // the read's or the write's failure, else empty
  bool objectsAbsent = false;  // saved without the identification objects

  bool Done() const { return read.Done() && failure.empty(); }
};

// Reads each driver whole and writes its file into `folder`, which must
// exist. One entry per address, in order; those not reached are cancelled.
std::vector<DriverSaved> SaveDrivers(DriverLink& link, const std::vector<uint8_t>& addresses,
                                     const std::string& folder, const Header& header, std::time_t time,
                                     const Work& work);

// One driver against the file.
struct DriverPlan {
  uint8_t address = 0;
  StepResult read;      // the read the comparison is made on
  std::string refusal;  // the file does not fit this driver
  RestorePlan plan;     // started once read and not refused
  bool written = false;  // a write went through and read back as written

  bool Compared() const { return read.Done() && refusal.empty(); }
};

// Reads each driver whole and compares the file with it.
std::vector<DriverPlan> CompareDrivers(DriverLink& link, const std::vector<uint8_t>& addresses, const ParamFile& file,
                                       const Work& work);

// The rows to be written to a driver compared: every difference but the
// motor's learning result's, unless `withLearning`.
std::vector<bool> RowsToWrite(const DriverPlan& driver, bool withLearning);
size_t CountToWrite(const DriverPlan& driver, bool withLearning);

// The drivers a write puts a question for: the file comes from another
// model, or a row to write changes the driver's own baud rate or parity.
struct WriteQuestions {
  std::vector<uint8_t> otherModel;
  std::vector<uint8_t> lineSettings;
};
WriteQuestions QuestionsOf(const std::vector<DriverPlan>& drivers, bool withLearning);

// How one driver's write ended.
enum class DriverEnd {
  Done,        // written, read back as written
  Nothing,     // nothing to write (or written before)
  Declined,    // a question answered no
  NotCompared, // its read or the file's fit failed before
  BackupFailed,
  Failed,      // a write or a read-back failed, or read back otherwise
  Cancelled,   // a stop came before it was done
};

struct DriverWritten {
  uint8_t address = 0;
  DriverEnd end = DriverEnd::Nothing;
  std::string backupPath;
  RestoreReport report;
  std::string failure;  // what failed, for BackupFailed and Failed
};

// The answers given before the write to the questions above.
struct WriteAnswers {
  bool otherModel = false;
  bool lineSettings = false;
};

// For each driver compared with something left to write, in turn: a
// backup of every block read now, the writes and the read-back. Nothing is
// written to a driver whose backup could not be taken. One entry per
// driver, in order; a driver done is marked written, so that a second run
// takes only those that failed.
std::vector<DriverWritten> WriteDrivers(DriverLink& link, std::vector<DriverPlan>& drivers, bool withLearning,
                                        const WriteAnswers& answers, const Header& header, const Work& work);

// "地址 3: ..." before a driver's step or failure.
std::string DriverLabel(uint8_t address, const std::string& text);

}  // namespace paramfile

// Restoring a parameter file onto a device, the one way the window's
// "载入参数..." and korvelt restore both do it: the file compared with the
// device, the questions in the order they come, a read of every block just
// before the writes saved among the backups, the writes (the system block
// last) and the read-back.
//
// The plan holds no link and asks nobody. It says what it waits for; the
// caller runs each step on the link where it likes (the window on its jobs'
// thread, korvelt in line) and answers each question (the window in a box,
// korvelt by its --force).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "paramfile/Restore.h"

namespace paramfile {

// What the plan may ask before it goes on.
enum class Question {
  OtherModel,     // the file was saved from another model
  LineSettings,   // a row chosen changes the driver's baud rate or parity
  WithoutBackup,  // the backup just before the writes could not be taken
};

// A question as it is put: its one text, with what it is about (the two
// models, what failed) in it.
struct Asked {
  Question question = Question::OtherModel;
  std::string text;
};

// "OtherModel": its name for a script.
const char* QuestionName(Question question);

// What the plan waits for.
enum class Due {
  Answer,    // an answer to Pending()
  Choice,    // the rows to write, given to Choose()
  Backup,    // TakeBackup() run and given to BackedUp(), or SkipBackup()
  Write,     // Words() written and read back, the report given to Written()
  Same,      // the device holds what the file holds: nothing to write
  Declined,  // the file of another model was not taken
};

// The backup before the writes: every block and the identity read now,
// saved among the backups.
struct BackupTaken {
  StepResult read;
  DeviceImage device;
  SavedBackup saved;  // tried only when the read is done

  // The read's or the save's failure; empty when the backup is saved.
  std::string Failure() const;
};
// Runs on the link; the save goes to the backups' folder.
BackupTaken TakeBackup(DriverLink& link, uint8_t slave, const Header& header, const Work& work);

// "设备参数与文件相同, 无需写入"; "写入前的参数已备份到 <path>".
extern const char* const SameText;
std::string BackedUpText(const std::string& path);

class RestorePlan {
 public:
  // The file against the device as read for it (every block, with its
  // identity); `only` keeps those blocks of the file (none: every block).
  // Empty on success, else the refusal, and the plan is not started. Taken
  // by value: the plan's own File() or Device() may be passed to start again.
  std::string Start(ParamFile file, const std::vector<size_t>& only, DeviceImage device);

  Due Next() const { return due_; }
  // The question waiting for its answer, while Next() is Answer.
  const Asked& Pending() const { return pending_; }
  // Yes goes on. No declines a file of another model, and leaves a write
  // unmade (the rows may be chosen again).
  void Answer(bool yes);

  const ParamFile& File() const { return file_; }
  const DeviceImage& Device() const { return device_; }
  const Comparison& Compared() const { return comparison_; }

  // The rows to write, one entry for each of Compared().rows; a step not
  // yet run is dropped and the plan starts over from the choice. None
  // chosen leaves the plan waiting for a choice.
  void Choose(std::vector<bool> chosen);
  const std::vector<bool>& Chosen() const { return chosen_; }
  // Whether the rows chosen give the driver the file's learning result, and
  // the learning result's rows they leave as the driver has them.
  Learning LearningChosen() const;
  std::vector<Difference> LearningLeft() const { return LearningKept(comparison_.rows, chosen_); }
  // The backup is left out on purpose: the rows go onto the device as read
  // for the comparison.
  void SkipBackup();
  // A cancelled read goes back to the choice, nothing written.
  void BackedUp(BackupTaken backup);
  // Where the last backup went; empty when none was saved.
  const std::string& BackupPath() const { return backupPath_; }

  // What to write, while Next() is Write: the rows chosen onto the device's
  // words as read just before (as read for the comparison when that read
  // failed or was left out); written in WriteOrder().
  const BlockWords& Words() const { return words_; }
  // The writes are done; the rows may be chosen again.
  void Written();

 private:
  void Ask(Question question, std::string text);
  void AfterBackup();

  Due due_ = Due::Declined;
  Asked pending_;
  ParamFile file_;
  DeviceImage device_;
  Comparison comparison_;
  std::vector<bool> chosen_;
  std::optional<BackupTaken> backup_;
  std::string backupPath_;
  BlockWords words_ = NoBlocks();
};

}  // namespace paramfile

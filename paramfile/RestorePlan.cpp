#include "paramfile/RestorePlan.h"

#include <algorithm>
#include <ctime>
#include <utility>

#include "lang/Texts.h"

namespace paramfile {

namespace {

// Each question's name and the words that ask it; what it is about comes
// before them.
struct QuestionWords {
  Question question;
  const char* name;
  const char* ask;
};
constexpr QuestionWords kQuestions[] = {
    {Question::OtherModel, "OtherModel", "是否仍然载入?"},
    {Question::LineSettings, "LineSettings",
     "将改变驱动器的串口波特率或校验方式: 驱动器重启后以新的设置应答。\n是否继续写入?"},
    {Question::WithoutBackup, "WithoutBackup", "无法在写入前备份参数。是否不备份继续?"},
};

const QuestionWords& WordsOf(Question question) {
  return *std::find_if(std::begin(kQuestions), std::end(kQuestions),
                       [question](const QuestionWords& words) { return words.question == question; });
}

}  // namespace

const char* const SameText = "设备参数与文件相同, 无需写入";

std::string BackedUpText(const std::string& path) { return lang::Fill(lang::Tr("写入前的参数已备份到 {1}"), {path}); }

const char* QuestionName(Question question) { return WordsOf(question).name; }

std::string BackupTaken::Failure() const { return read.Done() ? saved.error : read.Message(); }

BackupTaken TakeBackup(DriverLink& link, uint8_t slave, const Header& header, const Work& work) {
  BackupTaken backup;
  backup.read = ReadDevice(link, slave, AllBlocks(), true, work, backup.device);
  if (backup.read.Done()) backup.saved = BackUp(backup.device, header);
  return backup;
}

std::string RestorePlan::Start(ParamFile file, const std::vector<size_t>& only, DeviceImage device) {
  std::vector<size_t> blocks;
  Comparison comparison;
  std::string refusal = BlocksOfFile(file, only, blocks);
  if (refusal.empty()) refusal = CompareWithFile(file, device, blocks, comparison);
  if (!refusal.empty()) return refusal;
  *this = RestorePlan();
  file_ = std::move(file);
  device_ = std::move(device);
  comparison_ = std::move(comparison);
  if (comparison_.modelDiffers) {
    Ask(Question::OtherModel, lang::Fill(lang::Tr("文件来自另一型号的设备\n文件: {1}\n设备: {2}\n"),
                                         {file_.device->Model(), IdentityOf(device_.identity).Model()}));
  } else {
    due_ = comparison_.rows.empty() ? Due::Same : Due::Choice;
  }
  return {};
}

void RestorePlan::Ask(Question question, std::string text) {
  pending_ = {question, std::move(text) + lang::Tr(WordsOf(question).ask)};
  due_ = Due::Answer;
}

void RestorePlan::Answer(bool yes) {
  if (due_ != Due::Answer) return;
  switch (pending_.question) {
    case Question::OtherModel:
      due_ = !yes ? Due::Declined : comparison_.rows.empty() ? Due::Same : Due::Choice;
      break;
    case Question::LineSettings:
      due_ = yes ? Due::Backup : Due::Choice;
      break;
    case Question::WithoutBackup:
      if (yes) {
        AfterBackup();
      } else {
        due_ = Due::Choice;
      }
      break;
  }
}

void RestorePlan::Choose(std::vector<bool> chosen) {
  if (due_ == Due::Same || due_ == Due::Declined || due_ == Due::Answer) return;
  chosen.resize(comparison_.rows.size(), false);
  if (std::find(chosen.begin(), chosen.end(), true) == chosen.end()) return;
  chosen_ = std::move(chosen);
  backup_.reset();
  backupPath_.clear();
  for (size_t r = 0; r < comparison_.rows.size(); ++r) {
    if (chosen_[r] && ChangesLineSettings(comparison_.rows[r])) {
      Ask(Question::LineSettings, {});
      return;
    }
  }
  due_ = Due::Backup;
}

Learning RestorePlan::LearningChosen() const {
  for (size_t r = 0; r < comparison_.rows.size() && r < chosen_.size(); ++r) {
    if (chosen_[r] && comparison_.rows[r].learning) return Learning::Written;
  }
  return Learning::Kept;
}

void RestorePlan::SkipBackup() {
  if (due_ != Due::Backup) return;
  backup_.reset();
  AfterBackup();
}

void RestorePlan::BackedUp(BackupTaken backup) {
  if (due_ != Due::Backup) return;
  if (backup.read.cancelled) {
    due_ = Due::Choice;
    return;
  }
  backupPath_ = backup.saved.path;
  const std::string failure = backup.Failure();
  backup_ = std::move(backup);
  if (!failure.empty()) {
    Ask(Question::WithoutBackup, failure + "\n");
    return;
  }
  AfterBackup();
}

void RestorePlan::AfterBackup() {
  // The rows not chosen keep what the device holds now, as far as it was read.
  const BlockWords& base = backup_ && backup_->read.Done() ? backup_->device.blocks : device_.blocks;
  words_ = ChosenWords(base, comparison_.file, comparison_.rows, chosen_);
  due_ = Due::Write;
}

void RestorePlan::Written() {
  if (due_ == Due::Write) due_ = Due::Choice;
}

}  // namespace paramfile

#include "ui/ParamFileFlow.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <ctime>

#include "base/AtomicFile.h"
#include "ui/FileDialogs.h"
#include "ui/MessageBox.h"
#include "ui/Text.h"

namespace pf = paramfile;

namespace {

constexpr const char* kBusy = "正在读写参数, 请等它结束";
constexpr const char* kNothingTicked = "没有勾选要写入的参数";
constexpr const char* kWithoutBackup = "是否不备份继续?";
// Row results.
constexpr const char* kTook = "已生效";
constexpr const char* kNotTicked = "未勾选";
constexpr const char* kNotWritten = "未写入";
constexpr const char* kNotReadBack = "未读回";
constexpr const char* kNotSaved = "{1}\n参数未保存";
constexpr const char* kWritten = "已写入: {1}";

// `pattern` in the language in use with its values put in.
std::string Filled(const char* pattern, std::initializer_list<std::string_view> values) {
  return lang::Fill(lang::Tr(pattern), values);
}

std::string IdentityText(const pf::Identity& identity) {
  return Filled("{1} {2} 版本 {3}", {identity.Model(), identity.Identity(), identity.Version()});
}

std::string Titles(const std::vector<size_t>& blocks) {
  std::string titles;
  for (const size_t index : blocks) {
    const char* title = lang::Tr(pf::BlockAt(index).title);
    // The list's mark is no word the catalogue holds.
    const char* between = lang::InUse() == lang::Language::English ? ", " : "、";
    titles += (titles.empty() ? "" : between) + std::string(title);
  }
  return titles;
}

}  // namespace

CParamFileFlow::CParamFileFlow(Window window) : window_(std::move(window)), lastFolder_(ToStdString(QDir::homePath())) {}

bool CParamFileFlow::CheckOpen() {
  if (window_.link->IsOpen()) return true;
  ui::ShowMessage(window_.widget, lang::Tr(ResultText(ResultPortNotOpen)));
  return false;
}

bool CParamFileFlow::ReadEverything(QWidget* over, const char* title, std::function<void(const DeviceRead&)> done) {
  DriverLink* link = window_.link;
  const uint8_t address = window_.address();
  const bool started = jobs_.Run<DeviceRead>(
      over, Tr(title),
      [link, address](const pf::Work& work) {
        DeviceRead read;
        read.end = pf::ReadDevice(*link, address, pf::AllBlocks(), true, work, read.device);
        return read;
      },
      std::move(done));
  if (!started) ui::ShowMessage(over, Tr(kBusy));
  return started;
}

// "保存参数..."

void CParamFileFlow::Save() {
  if (jobs_.Running()) {
    ui::ShowMessage(window_.widget, Tr(kBusy));
    return;
  }
  if (!CheckOpen()) return;
  // The file is chosen first: a folder that cannot take it is said before
  // the reads, not after them.
  const std::string path = ChooseSaveFile(window_.model());
  if (path.empty()) return;
  ReadEverything(window_.widget, "保存参数", [this, path](const DeviceRead& read) { Saved(read, path); });
}

std::string CParamFileFlow::ChooseSaveFile(const std::string& model) {
  const std::string suggested = lastFolder_ + "/" + pf::FileStem(model, std::time(nullptr)) + ".json";
  const std::string path = ui::ChooseFile(window_.widget, ui::FileDialog::Save, suggested);
  if (path.empty()) return {};
  lastFolder_ = ToStdString(QFileInfo(ToQString(path)).absolutePath());
  // The temporary file the write will use, made and dropped again: the
  // folder exists and takes a new file.
  base::AtomicFile probe;
  if (!probe.Open(path)) {
    ui::ShowMessage(window_.widget, Filled(kNotSaved, {probe.Error()}));
    return {};
  }
  return path;
}

void CParamFileFlow::Saved(const DeviceRead& read, const std::string& path) {
  if (read.end.cancelled) return;
  if (!read.end.Done()) {
    ui::ShowMessage(window_.widget, Filled(kNotSaved, {read.end.Message()}));
    return;
  }
  window_.showIdentity(read.device.identity.info);
  const std::string document = pf::DeviceDocument(read.device, window_.header());
  // A driver that answered no identification request is saved all the same,
  // its objects marked absent in the file; the message says why.
  const DeviceIdentity& identity = read.device.identity;
  const std::string absent =
      identity.ObjectsAbsent() ? Filled("\n{1}, 文件中无标识对象", {identity.ObjectsAbsentReason()}) : std::string();
  // A write that fails after the reads (the disk full, the folder gone)
  // keeps what was read for another file.
  for (std::string target = path; !target.empty(); target = ChooseSaveFile(identity.Model())) {
    const std::string failure = base::WriteWholeFile(target, document);
    if (failure.empty()) {
      ui::ShowMessage(window_.widget, Filled("参数已保存到 {1}", {target}) + absent);
      return;
    }
    if (!ui::AskQuestion(window_.widget, Filled("{1}\n参数已读出但未保存。是否另选文件保存?", {failure}))) return;
  }
}

// "载入参数..."

void CParamFileFlow::Load() {
  if (jobs_.Running()) {
    ui::ShowMessage(window_.widget, Tr(kBusy));
    return;
  }
  const std::string path = ui::ChooseFile(window_.widget, ui::FileDialog::Open, lastFolder_);
  if (path.empty()) return;
  lastFolder_ = ToStdString(QFileInfo(ToQString(path)).absolutePath());
  if (dialog_ != nullptr) dialog_->close();
  // The file is read on the jobs' thread too: a slow disk or a share must
  // not hold the window. The device is read only for a file taken and an
  // open port; a refused file is said first, as it is found first.
  DriverLink* link = window_.link;
  const uint8_t address = window_.address();
  const bool readDevice = link->IsOpen();
  const bool started = jobs_.Run<FileRead>(
      window_.widget, Tr("载入参数"),
      [path, link, address, readDevice](const pf::Work& work) {
        FileRead read;
        read.loaded = pf::LoadParamFile(path);
        if (read.loaded.file && readDevice) {
          read.device.end = pf::ReadDevice(*link, address, pf::AllBlocks(), true, work, read.device.device);
        }
        return read;
      },
      [this, readDevice](const FileRead& read) {
        if (!read.loaded.file) {
          ui::ShowMessage(window_.widget, read.loaded.refusal);
          return;
        }
        if (!readDevice) {
          ui::ShowMessage(window_.widget, lang::Tr(ResultText(ResultPortNotOpen)));
          return;
        }
        Compared(*read.loaded.file, read.device);
      });
  if (!started) ui::ShowMessage(window_.widget, Tr(kBusy));
}

void CParamFileFlow::Compared(const pf::ParamFile& file, const DeviceRead& read) {
  if (read.end.cancelled) return;
  if (!read.end.Done()) {
    ui::ShowMessage(window_.widget, read.end.Message());
    return;
  }
  if (const std::string refusal = plan_.Start(file, {}, read.device); !refusal.empty()) {
    ui::ShowMessage(window_.widget, refusal);
    return;
  }
  if (plan_.Next() == pf::Due::Answer) plan_.Answer(ui::AskQuestion(window_.widget, plan_.Pending().text));
  if (plan_.Next() == pf::Due::Declined) return;
  std::string identityLine;
  if (plan_.Compared().identityDiffers) {
    identityLine = Filled("文件保存自另一台设备: {1}; 本设备: {2}",
                          {IdentityText(*file.device), IdentityText(pf::IdentityOf(plan_.Device().identity))});
  }
  if (plan_.Next() == pf::Due::Same) {
    const std::string same = lang::Tr(pf::SameText);
    ui::ShowMessage(window_.widget, identityLine.empty() ? same : identityLine + "\n" + same);
    return;
  }
  auto* dialog = new CCompareDlg(window_.widget, plan_.Compared().rows, pf::FirstChoice(plan_.Compared().rows, false),
                                 ToQString(identityLine));
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setWindowModality(Qt::WindowModal);
  dialog->onWrite = [this] { WriteTicked(); };
  dialog_ = dialog;
  dialog->show();
}

void CParamFileFlow::WriteTicked() {
  if (dialog_ == nullptr || jobs_.Running()) return;
  const std::vector<bool> ticked = dialog_->Ticked();
  if (std::find(ticked.begin(), ticked.end(), true) == ticked.end()) {
    ui::ShowMessage(dialog_, Tr(kNothingTicked));
    return;
  }
  plan_.Choose(ticked);
  GoOn();
}

void CParamFileFlow::GoOn() {
  if (dialog_ == nullptr) return;
  while (plan_.Next() == pf::Due::Answer) plan_.Answer(ui::AskQuestion(dialog_, plan_.Pending().text));
  if (plan_.Next() != pf::Due::Backup && plan_.Next() != pf::Due::Write) return;
  if (!CheckOpen()) return;
  DriverLink* link = window_.link;
  const uint8_t address = window_.address();
  bool started = false;
  if (plan_.Next() == pf::Due::Backup) {
    started = jobs_.Run<pf::BackupTaken>(
        dialog_, Tr("写入前备份"),
        [link, address, header = window_.header()](const pf::Work& work) {
          return pf::TakeBackup(*link, address, header, work);
        },
        [this](const pf::BackupTaken& backup) {
          plan_.BackedUp(backup);
          GoOn();
        });
  } else {
    started = jobs_.Run<pf::RestoreReport>(
        dialog_, Tr("写入参数"),
        [link, address, words = plan_.Words(), learning = plan_.LearningChosen()](const pf::Work& work) {
          return pf::WriteAndCheck(*link, address, words, learning, work);
        },
        [this](const pf::RestoreReport& report) {
          plan_.Written();
          Written(report);
        });
  }
  if (!started) ui::ShowMessage(dialog_, Tr(kBusy));
}

void CParamFileFlow::Written(const pf::RestoreReport& report) {
  for (size_t i = 0; i < report.readBack.size(); ++i) {
    if (!report.readBack[i].empty()) window_.show(i, report.readBack[i]);
  }
  if (dialog_ == nullptr) return;
  dialog_->ShowResults(RowResults(report));
  dialog_->ShowDevice(DeviceAfter(report));
  std::string status;
  if (!report.written.empty()) status = Filled(kWritten, {Titles(report.written)});
  if (report.Verified()) status = Filled("{1}; 读回一致", {status});
  if (!report.mismatches.empty()) {
    status = Filled("{1}; {2} 个参数读回与写入不同", {status, std::to_string(report.mismatches.size())});
  }
  if (!plan_.BackupPath().empty()) status += "\n" + pf::BackedUpText(plan_.BackupPath());
  dialog_->ShowStatus(ToQString(status));
  dialog_->EnableWrite(!report.Verified());
  if (!report.end.Done()) {
    ui::ShowMessage(dialog_, report.end.Message() + "\n" +
                                 (report.written.empty() ? std::string(lang::Tr("未写入任何参数块"))
                                                         : Filled(kWritten, {Titles(report.written)})));
  }
}

// The device's text of each row where its block was read back: the field's
// text now, which is the file's where it took.
std::vector<QString> CParamFileFlow::DeviceAfter(const pf::RestoreReport& report) const {
  std::vector<QString> texts;
  const pf::Comparison& comparison = plan_.Compared();
  for (const pf::Difference& row : comparison.rows) {
    std::string text = row.device;
    const pf::Words& readBack = report.readBack[row.block];
    if (!readBack.empty()) {
      text = row.file;
      for (const pf::Difference& now : pf::CompareBlock(row.block, readBack, comparison.file[row.block])) {
        if (now.key == row.key) text = now.device;
      }
    }
    texts.push_back(Tr(text));
  }
  return texts;
}

std::vector<QString> CParamFileFlow::RowResults(const pf::RestoreReport& report) const {
  std::vector<QString> results;
  const std::vector<pf::Difference>& rows = plan_.Compared().rows;
  for (size_t r = 0; r < rows.size(); ++r) {
    const pf::Difference& row = rows[r];
    const bool written = std::find(report.written.begin(), report.written.end(), row.block) != report.written.end();
    std::string result = kTook;
    if (!plan_.Chosen()[r]) {
      result = kNotTicked;
    } else if (!written) {
      result = kNotWritten;
    } else if (report.readBack[row.block].empty()) {
      result = kNotReadBack;
    }
    for (const pf::Difference& mismatch : report.mismatches) {
      if (result == kTook && mismatch.block == row.block && mismatch.key == row.key) {
        result = Filled("未生效, 读回 {1}", {lang::Tr(mismatch.device)});
      }
    }
    results.push_back(Tr(result));
  }
  return results;
}

// The backup before a learning run.

void CParamFileFlow::BackUpThen(QWidget* parent, std::function<void(bool proceed)> then) {
  if (!window_.link->IsOpen()) {
    then(true);
    return;
  }
  const bool started = ReadEverything(parent, "学习前备份", [this, parent, then](const DeviceRead& read) {
    if (read.end.cancelled) {
      then(false);
      return;
    }
    std::string failure = read.end.Done() ? "" : read.end.Message();
    if (failure.empty()) failure = pf::BackUp(read.device, window_.header()).error;
    then(failure.empty() ||
         ui::AskQuestion(parent, Filled("{1}\n无法在学习前备份参数。{2}", {failure, lang::Tr(kWithoutBackup)})));
  });
  if (!started) then(false);
}

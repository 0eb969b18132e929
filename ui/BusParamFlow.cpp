#include "ui/BusParamFlow.h"

#include <QDir>
#include <QFileInfo>
#include <ctime>

#include "base/AtomicFile.h"
#include "ui/FileDialogs.h"
#include "ui/MessageBox.h"
#include "ui/Text.h"

namespace pf = paramfile;

namespace {

constexpr const char* kBusy = "正在读写参数, 请等它结束";

std::string Filled(const char* pattern, std::initializer_list<std::string_view> values) {
  return lang::Fill(lang::Tr(pattern), values);
}

std::string AddressList(const std::vector<uint8_t>& addresses) {
  std::string list;
  for (const uint8_t address : addresses) list += (list.empty() ? "" : ", ") + std::to_string(address);
  return list;
}

// What the load window says of a driver's write.
struct EndWords {
  pf::DriverEnd end;
  const char* text;  // "{1}": what failed
};
constexpr EndWords kEnds[] = {
    {pf::DriverEnd::Done, "完成"},
    {pf::DriverEnd::Nothing, "无需写入"},
    {pf::DriverEnd::Declined, "未写入"},
    {pf::DriverEnd::NotCompared, "未写入"},
    {pf::DriverEnd::BackupFailed, "无法在写入前备份参数, 未写入: {1}"},
    {pf::DriverEnd::Failed, "失败: {1}"},
    {pf::DriverEnd::Cancelled, "已取消"},
};

}  // namespace

CBusParamFlow::CBusParamFlow(Window window) : window_(std::move(window)), lastFolder_(ToStdString(QDir::homePath())) {}

bool CBusParamFlow::CanStart(const std::vector<uint8_t>& addresses) {
  QString refusal;
  if (jobs_.Running() || window_.otherWork()) {
    refusal = Tr(kBusy);
  } else if (addresses.empty()) {
    refusal = Tr("请先在列表中选择设备");
  } else if (!window_.link->IsOpen()) {
    refusal = Tr(ResultText(ResultPortNotOpen));
  }
  if (!refusal.isEmpty()) ui::ShowMessage(window_.widget, refusal);
  return refusal.isEmpty();
}

// "保存参数"

void CBusParamFlow::Save(const std::vector<uint8_t>& addresses) {
  if (!CanStart(addresses)) return;
  const std::string folder = ui::ChooseFile(window_.widget, ui::FileDialog::Folder, lastFolder_);
  if (folder.empty()) return;
  lastFolder_ = folder;
  const std::time_t now = std::time(nullptr);
  // A folder that takes no file is said before the reads, not after them.
  base::AtomicFile probe;
  if (!probe.Open(pf::DriverFilePath(folder, addresses.front(), "driver", now))) {
    ui::ShowMessage(window_.widget, Filled("{1}\n参数未保存", {probe.Error()}));
    return;
  }
  const bool started = jobs_.Run<std::vector<pf::DriverSaved>>(
      window_.widget, Tr("保存参数"),
      [link = window_.link, watch = window_.watch, addresses, folder, header = window_.header(),
       now](const pf::Work& work) {
        const session::BusWatch::Hold held(*watch);
        return pf::SaveDrivers(*link, addresses, folder, header, now, work);
      },
      [this, folder](const std::vector<pf::DriverSaved>& saved) { Saved(saved, folder); });
  if (!started) ui::ShowMessage(window_.widget, Tr(kBusy));
}

void CBusParamFlow::Saved(const std::vector<pf::DriverSaved>& saved, const std::string& folder) {
  size_t done = 0;
  std::string lines;
  for (const pf::DriverSaved& driver : saved) {
    std::string line = driver.Done()            ? driver.path
                       : driver.read.cancelled ? std::string(lang::Tr(pf::CancelledText))
                                               : driver.failure;
    // Saved all the same, with the objects marked absent in the file.
    if (driver.Done() && driver.objectsAbsent) line += lang::Tr(", 文件中无标识对象");
    lines += "\n" + pf::DriverLabel(driver.address, line);
    if (driver.Done()) ++done;
  }
  ui::ShowMessage(window_.widget,
                  Filled("已保存 {1} 台设备的参数 (共 {2} 台) 到 {3}", {std::to_string(done),
                                                                      std::to_string(saved.size()), folder}) +
                      lines);
}

// "载入参数"

void CBusParamFlow::Load(const std::vector<uint8_t>& addresses) {
  if (!CanStart(addresses)) return;
  const std::string path = ui::ChooseFile(window_.widget, ui::FileDialog::Open, lastFolder_);
  if (path.empty()) return;
  lastFolder_ = ToStdString(QFileInfo(ToQString(path)).absolutePath());
  if (dialog_ != nullptr) dialog_->close();
  // The file is read on the job's thread too: a slow disk must not hold
  // the window. A refused file is said before any driver is read.
  const bool started = jobs_.Run<Compare>(
      window_.widget, Tr("载入参数"),
      [link = window_.link, watch = window_.watch, addresses, path](const pf::Work& work) {
        Compare compare;
        compare.loaded = pf::LoadParamFile(path);
        if (!compare.loaded.file) return compare;
        const session::BusWatch::Hold held(*watch);
        compare.drivers = pf::CompareDrivers(*link, addresses, *compare.loaded.file, work);
        return compare;
      },
      [this, path](const Compare& compare) { Compared(path, compare); });
  if (!started) ui::ShowMessage(window_.widget, Tr(kBusy));
}

void CBusParamFlow::Compared(const std::string& path, const Compare& compare) {
  if (!compare.loaded.file) {
    ui::ShowMessage(window_.widget, compare.loaded.refusal);
    return;
  }
  drivers_ = compare.drivers;
  written_.assign(drivers_.size(), std::nullopt);
  auto* dialog = new CBusLoadDlg(window_.widget, ToQString(path));
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setWindowModality(Qt::WindowModal);
  dialog->onWrite = [this] { WriteAll(); };
  dialog->onRefresh = [this] { ShowRows(); };
  dialog_ = dialog;
  ShowRows();
  dialog->show();
}

QString CBusParamFlow::OutcomeText(size_t i) const {
  const pf::DriverPlan& driver = drivers_[i];
  if (!driver.read.Done()) return ToQString(driver.read.Message());
  if (!driver.refusal.empty()) return ToQString(driver.refusal);
  if (!written_[i]) {
    // What "写入" will ask about before it goes on.
    return driver.plan.Compared().modelDiffers ? Tr("文件来自另一型号的设备") : QString();
  }
  const pf::DriverWritten& written = *written_[i];
  for (const EndWords& words : kEnds) {
    if (words.end == written.end) return ToQString(Filled(words.text, {written.failure}));
  }
  return {};
}

void CBusParamFlow::ShowRows() {
  if (dialog_ == nullptr) return;
  const bool withLearning = dialog_->WithLearning();
  std::vector<CBusLoadDlg::Row> rows;
  size_t left = 0;
  for (size_t i = 0; i < drivers_.size(); ++i) {
    const pf::DriverPlan& driver = drivers_[i];
    CBusLoadDlg::Row row;
    row.address = QString::number(driver.address);
    if (driver.Compared()) {
      // The driver's own text, shown as it gave it.
      row.model = ToQString(pf::IdentityOf(driver.plan.Device().identity).Model());
      const size_t count = pf::CountToWrite(driver, withLearning);
      row.differences = QString::number(count);
      if (!driver.written && count > 0) ++left;
    }
    row.outcome = OutcomeText(i);
    if (written_[i]) row.backup = ToQString(written_[i]->backupPath);
    rows.push_back(row);
  }
  dialog_->ShowRows(rows);
  dialog_->EnableWrite(left > 0);
}

void CBusParamFlow::WriteAll() {
  if (dialog_ == nullptr || jobs_.Running()) return;
  if (!window_.link->IsOpen()) {
    ui::ShowMessage(dialog_, Tr(ResultText(ResultPortNotOpen)));
    return;
  }
  const bool withLearning = dialog_->WithLearning();
  const pf::WriteQuestions questions = pf::QuestionsOf(drivers_, withLearning);
  pf::WriteAnswers answers;
  if (!questions.otherModel.empty()) {
    answers.otherModel =
        ui::AskQuestion(dialog_, Filled("文件来自另一型号的设备 (地址 {1})\n是否仍然载入?", {AddressList(questions.otherModel)}));
  }
  if (!questions.lineSettings.empty()) {
    answers.lineSettings = ui::AskQuestion(
        dialog_, Filled("将改变地址 {1} 的驱动器的串口波特率或校验方式: 驱动器重启后以新的设置应答。\n是否继续写入?",
                        {AddressList(questions.lineSettings)}));
  }
  const bool started = jobs_.Run<Write>(
      dialog_, Tr("写入参数"),
      [link = window_.link, watch = window_.watch, drivers = drivers_, withLearning, answers,
       header = window_.header()](const pf::Work& work) {
        Write write;
        write.drivers = drivers;
        const session::BusWatch::Hold held(*watch);
        write.written = pf::WriteDrivers(*link, write.drivers, withLearning, answers, header, work);
        return write;
      },
      [this](const Write& write) { Written(write); });
  if (!started) ui::ShowMessage(dialog_, Tr(kBusy));
}

void CBusParamFlow::Written(const Write& write) {
  if (write.drivers.size() != drivers_.size()) return;
  size_t done = 0;
  size_t failed = 0;
  for (size_t i = 0; i < write.written.size() && i < drivers_.size(); ++i) {
    const pf::DriverWritten& written = write.written[i];
    // A driver done by a run before keeps what that run said of it.
    const bool doneBefore = drivers_[i].written && written.end == pf::DriverEnd::Nothing;
    if (!doneBefore) written_[i] = written;
    if (written_[i] && written_[i]->end == pf::DriverEnd::Done) ++done;
    const bool failing = written.end == pf::DriverEnd::Failed || written.end == pf::DriverEnd::BackupFailed ||
                         written.end == pf::DriverEnd::Cancelled;
    if (failing) ++failed;
  }
  drivers_ = write.drivers;
  ShowRows();
  if (dialog_ != nullptr) {
    dialog_->ShowStatus(ToQString(Filled("{1} 台完成, {2} 台未完成", {std::to_string(done), std::to_string(failed)})));
  }
}

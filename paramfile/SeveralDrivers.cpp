#include "paramfile/SeveralDrivers.h"

#include <algorithm>

#include "base/AtomicFile.h"
#include "lang/Texts.h"

namespace paramfile {
namespace {

// The work of driver `index` of `count`, as a part of the whole: its steps
// said with its address, its progress within its share.
Work ForDriver(const Work& work, size_t index, size_t count, uint8_t address) {
  Work each;
  each.stop = work.stop;
  if (work.progress) {
    each.progress = [&work, index, count, address](size_t done, size_t total, const std::string& step) {
      constexpr size_t kShare = 100;
      const size_t part = total == 0 ? kShare : std::min(done, total) * kShare / total;
      work.Report(index * kShare + part, count * kShare, step.empty() ? step : DriverLabel(address, step));
    };
  }
  return each;
}

// Reads each driver of `addresses` whole in turn into a row of its own,
// `use` handed the row and what was read; once a stop is asked for, the
// rows left are cancelled.
template <class Row, class Use>
std::vector<Row> ReadEach(DriverLink& link, const std::vector<uint8_t>& addresses, const Work& work, Use use) {
  std::vector<Row> rows;
  for (size_t i = 0; i < addresses.size(); ++i) {
    Row& row = rows.emplace_back();
    row.address = addresses[i];
    if (work.Cancelled()) {
      row.read.cancelled = true;
      continue;
    }
    DeviceImage device;
    row.read = ReadDevice(link, row.address, AllBlocks(), true, ForDriver(work, i, addresses.size(), row.address), device);
    use(row, device);
  }
  return rows;
}

}  // namespace

std::string DriverLabel(uint8_t address, const std::string& text) {
  return lang::Fill(lang::Tr("地址 {1}: {2}"), {std::to_string(address), text});
}

std::string DriverFilePath(const std::string& folder, uint8_t address, const std::string& model, std::time_t time) {
  return folder + "/" + DriverFileStem(address, model, time) + ".json";
}

std::string SaveDriverFile(const DeviceImage& device, const Header& header, const std::string& folder, uint8_t address,
                           std::time_t time, std::string& path) {
  path = DriverFilePath(folder, address, device.identity.Model(), time);
  return base::WriteWholeFile(path, DeviceDocument(device, header));
}

std::vector<DriverSaved> SaveDrivers(DriverLink& link, const std::vector<uint8_t>& addresses,
                                     const std::string& folder, const Header& header, std::time_t time,
                                     const Work& work) {
  return ReadEach<DriverSaved>(link, addresses, work, [&](DriverSaved& driver, const DeviceImage& device) {
    if (!driver.read.Done()) {
      if (!driver.read.cancelled) driver.failure = driver.read.Message();
      return;
    }
    driver.objectsAbsent = device.identity.ObjectsAbsent();
    driver.failure = SaveDriverFile(device, header, folder, driver.address, time, driver.path);
    if (!driver.failure.empty()) driver.path.clear();
  });
}

std::vector<DriverPlan> CompareDrivers(DriverLink& link, const std::vector<uint8_t>& addresses, const ParamFile& file,
                                       const Work& work) {
  return ReadEach<DriverPlan>(link, addresses, work, [&](DriverPlan& driver, const DeviceImage& device) {
    if (driver.read.Done()) driver.refusal = driver.plan.Start(file, {}, device);
  });
}

std::vector<bool> RowsToWrite(const DriverPlan& driver, bool withLearning) {
  if (!driver.Compared()) return {};
  return FirstChoice(driver.plan.Compared().rows, withLearning);
}

size_t CountToWrite(const DriverPlan& driver, bool withLearning) {
  const std::vector<bool> rows = RowsToWrite(driver, withLearning);
  return static_cast<size_t>(std::count(rows.begin(), rows.end(), true));
}

WriteQuestions QuestionsOf(const std::vector<DriverPlan>& drivers, bool withLearning) {
  WriteQuestions questions;
  for (const DriverPlan& driver : drivers) {
    const std::vector<bool> chosen = RowsToWrite(driver, withLearning);
    if (driver.written || std::find(chosen.begin(), chosen.end(), true) == chosen.end()) continue;
    if (driver.plan.Compared().modelDiffers) questions.otherModel.push_back(driver.address);
    const std::vector<Difference>& rows = driver.plan.Compared().rows;
    for (size_t r = 0; r < rows.size(); ++r) {
      if (chosen[r] && ChangesLineSettings(rows[r])) {
        questions.lineSettings.push_back(driver.address);
        break;
      }
    }
  }
  return questions;
}

namespace {

// One driver's write, from its plan's choice to its read-back.
DriverWritten WriteOne(DriverLink& link, DriverPlan& driver, bool withLearning, const WriteAnswers& answers,
                       const Header& header, const Work& backupWork, const Work& writeWork) {
  DriverWritten out;
  out.address = driver.address;
  if (!driver.Compared()) {
    out.end = DriverEnd::NotCompared;
    return out;
  }
  RestorePlan& plan = driver.plan;
  // A file of another model declined before may be taken now; the plan
  // starts afresh from copies, as starting clears what it holds.
  if (plan.Next() == Due::Declined) {
    const ParamFile file = plan.File();
    const DeviceImage device = plan.Device();
    plan.Start(file, {}, device);
  }
  if (plan.Next() == Due::Answer) plan.Answer(answers.otherModel);
  const std::vector<bool> chosen = RowsToWrite(driver, withLearning);
  if (plan.Next() == Due::Declined) {
    out.end = DriverEnd::Declined;
    return out;
  }
  if (driver.written || plan.Next() == Due::Same || std::find(chosen.begin(), chosen.end(), true) == chosen.end()) {
    out.end = DriverEnd::Nothing;
    return out;
  }
  plan.Choose(chosen);
  if (plan.Next() == Due::Answer) plan.Answer(answers.lineSettings);
  if (plan.Next() != Due::Backup) {
    out.end = DriverEnd::Declined;
    return out;
  }
  BackupTaken backup = TakeBackup(link, driver.address, header, backupWork);
  if (backup.read.cancelled) {
    out.end = DriverEnd::Cancelled;
    plan.BackedUp(std::move(backup));
    return out;
  }
  const std::string backupFailure = backup.Failure();
  plan.BackedUp(std::move(backup));
  if (plan.Next() == Due::Answer) {
    // Several drivers are never written without their backups.
    plan.Answer(false);
    out.end = DriverEnd::BackupFailed;
    out.failure = backupFailure;
    return out;
  }
  out.backupPath = plan.BackupPath();
  out.report = WriteAndCheck(link, driver.address, plan.Words(), plan.LearningChosen(), writeWork);
  plan.Written();
  if (out.report.end.cancelled) {
    out.end = DriverEnd::Cancelled;
  } else if (!out.report.end.Done()) {
    out.end = DriverEnd::Failed;
    out.failure = out.report.end.Message();
  } else if (!out.report.mismatches.empty()) {
    out.end = DriverEnd::Failed;
    std::string names;
    for (const Difference& row : out.report.mismatches) {
      names += (names.empty() ? "" : ", ") + std::string(lang::Tr(row.name));
    }
    out.failure = lang::Fill(lang::Tr("{1} 个参数读回与写入不同: {2}"),
                             {std::to_string(out.report.mismatches.size()), names});
  } else {
    out.end = DriverEnd::Done;
    driver.written = true;
  }
  return out;
}

}  // namespace

std::vector<DriverWritten> WriteDrivers(DriverLink& link, std::vector<DriverPlan>& drivers, bool withLearning,
                                        const WriteAnswers& answers, const Header& header, const Work& work) {
  std::vector<DriverWritten> written;
  const size_t shares = 2 * drivers.size();
  for (size_t i = 0; i < drivers.size(); ++i) {
    DriverPlan& driver = drivers[i];
    if (work.Cancelled()) {
      DriverWritten& out = written.emplace_back();
      out.address = driver.address;
      out.end = driver.Compared() ? DriverEnd::Cancelled : DriverEnd::NotCompared;
      continue;
    }
    written.push_back(WriteOne(link, driver, withLearning, answers, header,
                               ForDriver(work, 2 * i, shares, driver.address),
                               ForDriver(work, 2 * i + 1, shares, driver.address)));
  }
  return written;
}

}  // namespace paramfile

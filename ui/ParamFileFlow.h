// The window's parameter files: "文件" -> "保存参数..." and "载入参数...", and
// the backup before a learning run. The reading and writing run on the
// parameter jobs' thread; this side asks, shows and decides, on the
// user-interface thread.
#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "paramfile/RestorePlan.h"
#include "ui/CompareDlg.h"
#include "ui/ParamJobs.h"
#include "ui/TabPage.h"

class CParamFileFlow : public QObject, public BackupService {
 public:
  // What the flow takes from the main window.
  struct Window {
    QWidget* widget = nullptr;
    DriverLink* link = nullptr;
    std::function<uint8_t()> address;
    // The header of a file saved now (the line settings of the open port).
    std::function<paramfile::Header()> header;
    // Shows a block read back in its page, as after the page's "读取".
    std::function<void(size_t block, const paramfile::Words& words)> show;
    // The model the window shows, for a file's name before anything is
    // read; and the identity a save has read, shown in "设备信息".
    std::function<std::string()> model;
    std::function<void(const DeviceInfoBlock& info)> showIdentity;
  };

  explicit CParamFileFlow(Window window);

  // Asks for a file name and checks that its folder takes the file, then
  // reads every block and writes the file whole; a file that cannot be
  // written then may go to another name, the reads kept.
  void Save();
  // Opens a file, reads the device and shows what differs; "写入" writes
  // the rows ticked after a backup, and reads each written block back.
  void Load();
  // Saves every block among the backups, then runs `then` with true; when
  // that fails the operator decides. A closed port has nothing to back up.
  void BackUpThen(QWidget* parent, std::function<void(bool proceed)> then) override;
  // Teardown: a job still running is stopped and its thread joined.
  void Stop() { jobs_.Stop(); }

  // For tests: the comparison of the last "载入参数...", while it is open.
  CCompareDlg* Comparison() const { return dialog_; }
  const CParamJobs& Jobs() const { return jobs_; }

 private:
  struct DeviceRead {
    paramfile::StepResult end;
    paramfile::DeviceImage device;
  };
  // "载入参数...": the file, then the device it is compared with.
  struct FileRead {
    paramfile::Loaded loaded;
    DeviceRead device;
  };
  // Reads the identity and every block on the jobs' thread.
  bool ReadEverything(QWidget* over, const char* title, std::function<void(const DeviceRead&)> done);
  bool CheckOpen();

  // The file chosen and found writable, or "" (cancelled or refused).
  std::string ChooseSaveFile(const std::string& model);
  void Saved(const DeviceRead& read, const std::string& path);
  void Compared(const paramfile::ParamFile& file, const DeviceRead& read);
  // "写入": the rows ticked, after the questions and the backup.
  void WriteTicked();
  // The restore from where it waits: its questions asked over the
  // comparison, its steps run on the jobs' thread.
  void GoOn();
  void Written(const paramfile::RestoreReport& report);
  std::vector<QString> RowResults(const paramfile::RestoreReport& report) const;
  std::vector<QString> DeviceAfter(const paramfile::RestoreReport& report) const;

  Window window_;
  CParamJobs jobs_;
  std::string lastFolder_;
  // The file being loaded onto the device.
  paramfile::RestorePlan plan_;
  QPointer<CCompareDlg> dialog_;
};

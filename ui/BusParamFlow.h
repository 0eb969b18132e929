// "总线总览": "保存参数" and "载入参数" for the drivers chosen in its table,
// one driver after the other. The reads and writes run on a parameter job's
// thread with the overview's poll held, so that they have the line to
// themselves; this side asks, shows and decides, on the user-interface
// thread.
#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "paramfile/SeveralDrivers.h"
#include "session/BusWatch.h"
#include "ui/BusLoadDlg.h"
#include "ui/ParamJobs.h"

class CBusParamFlow : public QObject {
 public:
  // What the flow takes from the overview and the main window.
  struct Window {
    QWidget* widget = nullptr;
    DriverLink* link = nullptr;
    session::BusWatch* watch = nullptr;
    // The header of a file saved now (the line settings of the open port).
    std::function<paramfile::Header()> header;
    // The main window's own parameter files are at work on the line.
    std::function<bool()> otherWork;
  };

  explicit CBusParamFlow(Window window);

  // Asks for a folder, then reads each driver whole and writes its file
  // there, named by its address, model and the time.
  void Save(const std::vector<uint8_t>& addresses);
  // Opens a file and compares it with each driver; "写入" then backs up,
  // writes and reads back each one.
  void Load(const std::vector<uint8_t>& addresses);
  // Teardown: a job still running is stopped and its thread joined.
  void Stop() { jobs_.Stop(); }

  // For tests: the load's window while it is open.
  CBusLoadDlg* LoadWindow() const { return dialog_; }
  const CParamJobs& Jobs() const { return jobs_; }

 private:
  struct Compare {
    paramfile::Loaded loaded;
    std::vector<paramfile::DriverPlan> drivers;
  };
  struct Write {
    std::vector<paramfile::DriverPlan> drivers;
    std::vector<paramfile::DriverWritten> written;
  };

  bool CanStart(const std::vector<uint8_t>& addresses);
  void Saved(const std::vector<paramfile::DriverSaved>& saved, const std::string& folder);
  void Compared(const std::string& path, const Compare& compare);
  void WriteAll();
  void Written(const Write& write);
  // The load window's rows from the drivers and their last write.
  void ShowRows();
  QString OutcomeText(size_t driver) const;

  Window window_;
  CParamJobs jobs_;
  std::string lastFolder_;
  std::vector<paramfile::DriverPlan> drivers_;
  std::vector<std::optional<paramfile::DriverWritten>> written_;  // one per driver
  QPointer<CBusLoadDlg> dialog_;
};

// "总线总览": the drivers of the line side by side, each with its identity,
// its live output, speed, current and error state, the age of its last
// answer, how its last read ended and the reads a second it really gets.
// The rows come from the last scan or are added by address; the main
// window's poll worker reads them in turn with its own poll (session::
// BusWatch), so this window only shows them. A double-click makes a driver
// the main window's address; "全部停止" (and F9 here) stops all of them.
// The rows chosen are saved to a folder or loaded from one file
// (CBusParamFlow), or removed; "扫描..." brings the scan window, whose
// drivers join the rows when it ends.
#pragma once

#include <QDialog>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <vector>

#include "driver/DriverLink.h"
#include "scan/BusScan.h"
#include "session/BusWatch.h"
#include "ui/BusParamFlow.h"
#include "ui/ControlMap.h"

class QLabel;
class QSpinBox;
class QTableWidget;

class CBusOverviewDlg : public QDialog {
 public:
  struct Owner {
    QWidget* window = nullptr;  // the parent
    session::BusWatch* watch = nullptr;
    DriverLink* link = nullptr;
    // The drivers the last scan found (none before one).
    std::function<std::vector<scan::Found>()> lastScan;
    // The stop command of the mode chosen on "电机控制".
    std::function<uint16_t()> stopValue;
    // Makes `address` the main window's address.
    std::function<void(uint8_t address)> useAddress;
    // The header of a parameter file saved now.
    std::function<paramfile::Header()> header;
    // The main window's own parameter files are at work on the line.
    std::function<bool()> otherWork;
    // Shows the scan window; `scanned` runs once its next scan has ended.
    std::function<void(std::function<void()> scanned)> openScan;
  };

  explicit CBusOverviewDlg(Owner owner);

  // Adds the spin box's address.
  void AddAddress();
  // Adds the identified drivers of the last scan.
  void AddFromScan();
  // The rows chosen in the table, by their addresses in the table's order.
  std::vector<uint8_t> Selected() const;
  void RemoveSelected();
  // The scan window, whose next scan's drivers join the rows.
  void Scan();
  // The stop of the chosen mode to every listed driver, one after the other;
  // the rows and the line under the table say which answered.
  void StopAll();
  // The table again from the watch's rows (the window's timer does it).
  void Refresh();
  QTableWidget* Table() const { return m_table; }
  CBusParamFlow& Params() { return m_params; }

 protected:
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void NameColumns();

  Owner m_owner;
  CBusParamFlow m_params;
  ControlMap m_controls;
  QSpinBox* m_address = nullptr;
  QTableWidget* m_table = nullptr;
  QLabel* m_said = nullptr;
  std::function<QString()> m_saidText;
  QTimer m_timer;
};

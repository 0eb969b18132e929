// "扫描设备...": finds the drivers on the line behind the connection panel's
// port, at the panel's settings or at every rate and parity, and takes the
// one the operator picks into the panel. The scan runs on a worker; the
// window only shows its progress and results.
#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <vector>

#include "link/FrameLog.h"
#include "link/Line.h"
#include "scan/BusScan.h"
#include "ui/ControlMap.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTableWidget;

class CScanDlg : public QDialog {
 public:
  // What the scan takes from the main window.
  struct Owner {
    QWidget* window = nullptr;  // the parent
    // The connection panel's port, rate and parity as they are set now.
    std::function<Line()> panelLine;
    // Lends the port to the scan: closed when it is open (true then).
    std::function<bool()> lendPort;
    // The scan has ended: the port back as it was when lent.
    std::function<void()> takePortBack;
    // Where the scan's frames go, beside the window's.
    std::shared_ptr<FrameLog> frameLog;
    // A driver found: taken into the panel and the port opened; true when
    // the port is open then.
    std::function<bool(uint8_t address, int baud, Parity parity)> useDriver;
  };

  explicit CScanDlg(Owner owner);
  // Cancels a scan still running and waits for its try to end.
  ~CScanDlg() override;

  void StartScan();
  void CancelScan();
  // Cancels a scan and waits for its try to end (at most a transaction's
  // time-out), for a stop that cannot wait; the end is shown as for a
  // cancel.
  void EndScan();
  // Takes the chosen driver into the connection panel and opens the port.
  void UseSelected();
  // `then` runs once, when the next scan (or the one running) has ended.
  void AfterNextScan(std::function<void()> then) { m_afterScan = std::move(then); }
  bool Scanning() const { return m_scanning; }
  const std::vector<scan::Found>& Results() const { return m_found; }

 protected:
  void showEvent(QShowEvent* event) override;
  // The columns, the progress line and the rows' texts again in the
  // language now in use.
  void changeEvent(QEvent* event) override;

 private:
  void OnProgress(const scan::Progress& progress);
  void OnFound(const scan::Found& found);
  void OnFinished(const scan::ScanOutcome& outcome);
  void ShowScanning(bool scanning);
  void NameColumns();
  // The first choice of settings names the panel's port, rate and parity.
  void NamePanelSettings();
  // Row `row` of the table from its driver found.
  void FillRow(int row);
  // The line under the progress, made by `text` now and again after a
  // switch of language; nullptr clears it.
  void Say(std::function<QString()> text);
  // Runs `call` on this window's thread with `value`, unless a newer scan
  // has begun meanwhile.
  template <class T>
  void Post(void (CScanDlg::*call)(const T&), const T& value);

  Owner m_owner;
  ControlMap m_controls;
  QSpinBox* m_first = nullptr;
  QSpinBox* m_last = nullptr;
  QRadioButton* m_panelSettings = nullptr;
  QRadioButton* m_allSettings = nullptr;
  QSpinBox* m_timeout = nullptr;  // each try's time-out in ms; 0: the rate's
  QPushButton* m_start = nullptr;
  QPushButton* m_cancel = nullptr;
  QPushButton* m_use = nullptr;
  QProgressBar* m_progress = nullptr;
  QLabel* m_trying = nullptr;
  std::function<QString()> m_tryingText;
  Line m_panelLine;  // as the window last showed it
  QTableWidget* m_results = nullptr;
  std::vector<scan::Found> m_found;  // row i of the table
  bool m_scanning = false;
  std::function<void()> m_afterScan;
  unsigned m_generation = 0;
  scan::BusScan m_scan;  // last: joined before the widgets go
};

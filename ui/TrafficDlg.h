// "通讯记录": every frame of the window's link and of its scans that the
// frame log holds, its new ones taken every 100 ms, with pause (the log
// goes on recording, and the count with it; rows whose frames it drops
// still go), filters,
// export as CSV or JSON Lines, copy as hex or (Ctrl+C) as text, and the
// stop that is always at hand. The table follows the newest frame only
// while it is scrolled to the bottom and no row is chosen.
#pragma once

#include <QDialog>
#include <QTimer>
#include <memory>
#include <set>
#include <string>

#include "link/FrameLog.h"
#include "traffic/Export.h"
#include "ui/ControlMap.h"
#include "ui/TrafficModel.h"

class CMainDlg;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

class CTrafficDlg : public QDialog {
 public:
  CTrafficDlg(CMainDlg& owner, std::shared_ptr<const FrameLog> log);

  // Takes what the log gained since the last time (the timer's job).
  void Refresh();
  void SetPaused(bool paused);
  bool Paused() const { return m_paused; }
  // Writes the rows the filter shows to `path`: JSON Lines for ".jsonl",
  // else CSV; whole or not at all. Empty on success, else why.
  std::string ExportTo(const std::string& path);
  // The bytes of the chosen rows as hex, one row a line, to the clipboard.
  void CopyHex();
  // The chosen rows as the table shows them, cells apart by tabs and one
  // row a line, to the clipboard (Ctrl+C): a spreadsheet takes them as rows.
  void CopyRows();
  QString CountsText() const;
  const CTrafficModel& Model() const { return m_model; }
  QTableView* Table() const { return m_table; }

  static constexpr int RefreshMs = 100;

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  // The columns, the counts and the pause's caption again in the language
  // now in use.
  void changeEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ApplyFilter();
  void OnExport();
  void ShowCounts();
  void ShowPause();
  void SizeColumns();
  traffic::Exported Export(const std::string& path);
  std::set<int> ChosenRows() const;

  CMainDlg& m_owner;
  ControlMap m_controls;
  CTrafficModel m_model;
  bool m_paused = false;
  std::string m_lastFolder;  // where the last export went
  QTimer m_timer;
  QTableView* m_table = nullptr;
  QPushButton* m_pause = nullptr;
  QComboBox* m_results = nullptr;
  QComboBox* m_functions = nullptr;
  QLineEdit* m_text = nullptr;
  QLabel* m_counts = nullptr;
};

// For the demo on a machine without a display: once the main window is up,
// opens the port, reads the device information, ticks "自动更新", waits until
// a poll has filled the status fields, saves a picture of the window, then
// one of each further page that has controls, and closes it. Message boxes are
// written to standard error instead of waiting for a click.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include "ui/MessageBox.h"

class CMainDlg;

class DemoScreenshot : public QObject {
 public:
  DemoScreenshot(CMainDlg& dlg, QString path);
  ~DemoScreenshot() override;

  // True when the port opened, a poll came through and the picture is saved.
  bool Succeeded() const { return succeeded_; }

 private:
  void Start();
  void Check();
  void Finish(bool polled);
  bool Save(const QString& path, const char* what);
  bool SavePages();

  CMainDlg& dlg_;
  QString path_;
  QTimer watch_;
  QElapsedTimer elapsed_;
  qint64 polledAt_ = -1;  // when the first poll came through
  ui::MessageBoxHandler previousHandler_;
  bool succeeded_ = false;
};

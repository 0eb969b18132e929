// The about box: the icon, the program's name and version, and "确定".
#pragma once

#include <QDialog>

#include "ui/ControlMap.h"

class CAboutDlg : public QDialog {
 public:
  explicit CAboutDlg(QWidget* parent = nullptr);

 private:
  ControlMap m_controls;
};

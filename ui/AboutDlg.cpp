#include "ui/AboutDlg.h"

#include <QPushButton>

#include "ui/AppIcon.h"
#include "ui/DialogBuilder.h"
#include "ui/DialogFont.h"
#include "ui/forms/ControlIds.h"

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  setFont(DialogFont());
  BuildDialog(this, forms::AboutDialog(), AppIcon(), m_controls);
  if (auto* ok = m_controls.As<QPushButton>(forms::ids::AboutOk)) {
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  }
}

#include "ui/TabPage.h"

#include <QKeyEvent>

CTabPage::CTabPage(int templateId) : templateId_(templateId) {}

bool CTabPage::Create(int templateId, QWidget* parent) {
  if (created_ || templateId != templateId_ || parent == nullptr) return false;
  setParent(parent, Qt::Widget);
  hide();
  created_ = true;
  return OnInitDialog();
}

void CTabPage::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Enter:
    case Qt::Key_Return:
      event->ignore();
      return;
    default:
      QDialog::keyPressEvent(event);
  }
}

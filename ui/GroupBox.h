// A group box whose frame starts at the middle of its title line, with the
// title set into the top edge, so the controls placed in dialog units inside
// it have the room the layout gives them.
#pragma once

#include <QGroupBox>

class CGroupBox : public QGroupBox {
 public:
  CGroupBox(const QString& title, QWidget* parent) : QGroupBox(title, parent) {}

 protected:
  void paintEvent(QPaintEvent* event) override;
};

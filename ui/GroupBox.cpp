#include "ui/GroupBox.h"

#include <QPainter>

void CGroupBox::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QFontMetrics metrics = fontMetrics();
  const int top = metrics.height() / 2;
  const QRect frame(0, top, width() - 2, height() - top - 2);

  // Etched: a shadow line with a light line beside it.
  painter.setPen(palette().color(QPalette::Mid));
  painter.drawRect(frame);
  painter.setPen(palette().color(QPalette::Light));
  painter.drawRect(frame.translated(1, 1));

  const QString text = title();
  if (text.isEmpty()) return;
  const int indent = metrics.averageCharWidth() + 2;
  const QRect titleRect(indent, 0, metrics.horizontalAdvance(text) + 4, metrics.height());
  painter.fillRect(titleRect, palette().color(QPalette::Window));
  painter.setPen(palette().color(QPalette::WindowText));
  painter.drawText(titleRect, Qt::AlignCenter, text);
}

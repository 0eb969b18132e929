// The marks on the live plot: a dashed line at each command or error state
// the recording marked, with its text worded in the language in use and
// kept inside the plot.
#include <qcustomplot.h>

#include <algorithm>

#include "ui/LivePlot.h"
#include "ui/Text.h"

int CLivePlot::MarkCount() const { return static_cast<int>(m_marks.size()); }

QString CLivePlot::MarkText(int index) const {
  return index >= 0 && index < MarkCount() ? m_marks[static_cast<size_t>(index)].text->text() : QString();
}

std::vector<QRectF> CLivePlot::MarkTextRects() const {
  std::vector<QRectF> rects;
  for (const PlacedMark& mark : m_marks) {
    if (mark.text->visible()) rects.emplace_back(mark.text->topLeft->pixelPosition(), mark.text->bottomRight->pixelPosition());
  }
  return rects;
}

bool CLivePlot::TakeMarks() {
  const std::vector<recording::Mark> marks = m_recording.Marks(m_nextMark);
  m_nextMark += marks.size();
  for (const recording::Mark& mark : marks) {
    const double key = KeyOf(mark.time);
    const QColor color = mark.kind == recording::MarkKind::ErrorState ? QColor(200, 30, 30) : QColor(70, 90, 150);
    auto* line = new QCPItemStraightLine(m_plot);
    line->point1->setCoords(key, 0);
    line->point2->setCoords(key, 1);
    line->setPen(QPen(color, 1, Qt::DashLine));
    auto* text = new QCPItemText(m_plot);
    text->position->setTypeX(QCPItemPosition::ptAbsolute);  // placed by FitMarkTexts
    text->position->setTypeY(QCPItemPosition::ptAxisRectRatio);
    // Marks close together stagger their texts down the plot.
    text->position->setCoords(0, 0.02 + 0.06 * static_cast<double>(m_marks.size() % 5));
    text->setPositionAlignment(Qt::AlignLeft | Qt::AlignTop);
    text->setColor(color);
    text->setPadding(QMargins(3, 1, 3, 1));
    text->setBrush(QBrush(QColor(255, 255, 255, 200)));
    m_marks.push_back({key, line, text, 0, mark});
    Word(m_marks.back());
  }
  return !marks.empty();
}

void CLivePlot::Word(PlacedMark& mark) {
  mark.text->setText(ToQString(recording::MarkText(mark.meaning)));
  const QMargins padding = mark.text->padding();
  mark.width = QFontMetrics(mark.text->font()).horizontalAdvance(mark.text->text()) + padding.left() + padding.right();
}

// A mark's text goes right of its line, or left of it where it would run
// past the plot's right edge, so that no text is cut; a line out of view
// shows no text.
void CLivePlot::FitMarkTexts() {
  const QRect rect = m_plot->axisRect()->rect();
  const double left = rect.left();
  const double right = rect.left() + rect.width();
  for (const PlacedMark& mark : m_marks) {
    const double x = m_plot->xAxis->coordToPixel(mark.key);
    const bool inView = x >= left && x <= right;
    mark.text->setVisible(inView);
    if (!inView) continue;
    const int width = mark.width;
    // Left of the line only where it fits there and not on the right; a
    // text wider than both sides goes as far right as it can, whole.
    const bool onLeft = x + width > right && x - width >= left;
    const double at = onLeft ? x : std::max(left, std::min(x, right - width));
    mark.text->setPositionAlignment((onLeft ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop);
    mark.text->position->setCoords(at, mark.text->position->coords().y());
  }
}

#include "ui/StepOverlay.h"

#include <qcustomplot.h>

#include <QEvent>
#include <QVBoxLayout>
#include <limits>

#include "ui/PlotSeries.h"
#include "ui/Text.h"

namespace {

constexpr const char* kTimeAxis = "命令后的时间 [s]";

}  // namespace

CStepOverlay::CStepOverlay(QWidget* parent) : QWidget(parent) {
  m_plot = new QCustomPlot(this);
  m_plot->setObjectName(QStringLiteral("stepPlot"));
  m_plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
  m_plot->axisRect()->setRangeZoomAxes({m_plot->xAxis}, {m_plot->yAxis, m_plot->yAxis2});
  m_plot->axisRect()->setRangeDragAxes({m_plot->xAxis}, {m_plot->yAxis, m_plot->yAxis2});
  m_plot->xAxis->setLabel(Tr(kTimeAxis));
  m_plot->legend->setVisible(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(m_plot);
}

void CStepOverlay::AddRun(std::shared_ptr<const recording::StepRun> run) {
  if (!run) return;
  m_runs.push_back(std::move(run));
  while (m_runs.size() > Runs) m_runs.pop_front();
  Redraw();
}

void CStepOverlay::SetShown(std::vector<size_t> fields) {
  m_shown = std::move(fields);
  Redraw();
}

void CStepOverlay::changeEvent(QEvent* event) {
  if (event->type() == QEvent::LanguageChange) Redraw();
  QWidget::changeEvent(event);
}

void CStepOverlay::Redraw() {
  m_plot->xAxis->setLabel(Tr(kTimeAxis));
  m_plot->clearGraphs();
  double first = 0;
  double last = 0;
  for (size_t r = 0; r < m_runs.size(); ++r) {
    const recording::StepRun& run = *m_runs[r];
    // Older runs fade; the newest is drawn last, on top.
    const int alpha = 255 - static_cast<int>((m_runs.size() - 1 - r) * 180 / Runs);
    for (const size_t field : m_shown) {
      QCPGraph* graph = m_plot->addGraph(m_plot->xAxis, plot::AxisFor(*m_plot, m_shown, field));
      QColor color = plot::SeriesColor(field);
      color.setAlpha(alpha);
      graph->setPen(QPen(color, r + 1 == m_runs.size() ? 2.0 : 1.2));
      graph->setName(QString::number(r + 1) + QStringLiteral(": ") + ToQString(recording::StepText(run.command)) + QStringLiteral(" · ") +
                     plot::SeriesName(field));
      QVector<double> keys;
      QVector<double> values;
      for (const recording::Sample& sample : run.samples) {
        keys.push_back(static_cast<double>(sample.time) / 1e6);
        values.push_back(recording::ValueOf(sample, field).value_or(std::numeric_limits<double>::quiet_NaN()));
      }
      graph->setData(keys, values, true);
      if (!keys.isEmpty()) {
        first = std::min(first, keys.front());
        last = std::max(last, keys.back());
      }
    }
  }
  plot::LabelAxes(*m_plot, m_shown);
  m_plot->xAxis->setRange(first, last > first ? last : first + 1);
  plot::FitValueAxes(*m_plot);
  m_plot->replot(QCustomPlot::rpQueuedReplot);
}

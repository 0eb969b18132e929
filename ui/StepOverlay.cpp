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
  plot_ = new QCustomPlot(this);
  plot_->setObjectName(QStringLiteral("stepPlot"));
  plot_->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
  plot_->axisRect()->setRangeZoomAxes({plot_->xAxis}, {plot_->yAxis, plot_->yAxis2});
  plot_->axisRect()->setRangeDragAxes({plot_->xAxis}, {plot_->yAxis, plot_->yAxis2});
  plot_->xAxis->setLabel(Tr(kTimeAxis));
  plot_->legend->setVisible(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(plot_);
}

void CStepOverlay::AddRun(std::shared_ptr<const recording::StepRun> run) {
  if (!run) return;
  runs_.push_back(std::move(run));
  while (runs_.size() > Runs) runs_.pop_front();
  Redraw();
}

void CStepOverlay::SetShown(std::vector<size_t> fields) {
  shown_ = std::move(fields);
  Redraw();
}

void CStepOverlay::changeEvent(QEvent* event) {
  if (event->type() == QEvent::LanguageChange) Redraw();
  QWidget::changeEvent(event);
}

void CStepOverlay::Redraw() {
  plot_->xAxis->setLabel(Tr(kTimeAxis));
  plot_->clearGraphs();
  double first = 0;
  double last = 0;
  for (size_t r = 0; r < runs_.size(); ++r) {
    const recording::StepRun& run = *runs_[r];
    // Older runs fade; the newest is drawn last, on top.
    const int alpha = 255 - static_cast<int>((runs_.size() - 1 - r) * 180 / Runs);
    for (const size_t field : shown_) {
      QCPGraph* graph = plot_->addGraph(plot_->xAxis, plot::AxisFor(*plot_, shown_, field));
      QColor color = plot::SeriesColor(field);
      color.setAlpha(alpha);
      graph->setPen(QPen(color, r + 1 == runs_.size() ? 2.0 : 1.2));
      graph->setName(QString::number(r + 1) + QStringLiteral(": ") + ToQString(run.label) + QStringLiteral(" · ") +
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
  plot::LabelAxes(*plot_, shown_);
  plot_->xAxis->setRange(first, last > first ? last : first + 1);
  plot::FitValueAxes(*plot_);
  plot_->replot(QCustomPlot::rpQueuedReplot);
}

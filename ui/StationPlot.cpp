#include "ui/StationPlot.h"

#include <QEvent>
#include <algorithm>
#include <QtNumeric>
#include <QVBoxLayout>
#include <qcustomplot.h>

#include "fields/StatusTexts.h"
#include "ui/PlotSeries.h"
#include "ui/Text.h"

CStationPlot::CStationPlot(QWidget* parent) : QWidget(parent), m_plot(new QCustomPlot(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(m_plot);
  m_plot->setMinimumSize(360, 200);
  m_plot->legend->setVisible(true);
  Name();
}

void CStationPlot::Begin(std::vector<size_t> fields) {
  m_plot->clearGraphs();
  const std::vector<QString> units = plot::UnitsOf(fields);
  m_fields.clear();
  for (size_t field : fields) {
    const QString unit = QString::fromUtf8(fields::StatusFields()[field].unit);
    const bool shownUnit = std::find(units.begin(), units.begin() + std::min(units.size(), plot::MaxAxes), unit) !=
                           units.begin() + std::min(units.size(), plot::MaxAxes);
    if (shownUnit && std::find(m_fields.begin(), m_fields.end(), field) == m_fields.end()) m_fields.push_back(field);
  }
  for (size_t field : m_fields) {
    QCPGraph* graph = m_plot->addGraph(m_plot->xAxis, plot::AxisFor(*m_plot, m_fields, field));
    graph->setPen(QPen(plot::SeriesColor(field), 1.5));
  }
  Name();
  m_plot->xAxis->setRange(0, 1);
  m_plot->replot();
}

void CStationPlot::Add(const std::vector<recording::Sample>& samples) {
  if (samples.empty() || m_fields.empty()) return;
  for (int i = 0; i < m_plot->graphCount(); ++i) {
    QCPGraph* graph = m_plot->graph(i);
    const size_t field = m_fields[static_cast<size_t>(i)];
    for (const recording::Sample& sample : samples) {
      const std::optional<double> value = sample.read != 0 ? fields::StatusValue(sample.status, field) : std::nullopt;
      // A failed read is a gap in the curve.
      graph->addData(static_cast<double>(sample.time) / 1e6, value ? *value : qQNaN());
    }
    // Every other point goes when the curve is full: the shape stays.
    if (graph->dataCount() > MaxPoints) {
      QVector<double> keys;
      QVector<double> values;
      for (int p = 0; p < graph->dataCount(); p += 2) {
        keys << graph->data()->at(p)->key;
        values << graph->data()->at(p)->value;
      }
      graph->setData(keys, values, true);
    }
  }
  bool found = false;
  const QCPRange keys = m_plot->graph(0)->getKeyRange(found);
  if (found) m_plot->xAxis->setRange(0, std::max(1.0, keys.upper));
  plot::FitValueAxes(*m_plot);
  m_plot->replot(QCustomPlot::rpQueuedReplot);
}

int CStationPlot::PointCount() const { return m_plot->graphCount() > 0 ? m_plot->graph(0)->dataCount() : 0; }

void CStationPlot::changeEvent(QEvent* event) {
  if (event->type() == QEvent::LanguageChange) Name();
  QWidget::changeEvent(event);
}

void CStationPlot::Name() {
  m_plot->xAxis->setLabel(Tr("命令后的时间 [s]"));
  for (int i = 0; i < m_plot->graphCount() && static_cast<size_t>(i) < m_fields.size(); ++i) {
    m_plot->graph(i)->setName(plot::SeriesName(m_fields[static_cast<size_t>(i)]));
  }
  plot::LabelAxes(*m_plot, m_fields);
  m_plot->replot(QCustomPlot::rpQueuedReplot);
}

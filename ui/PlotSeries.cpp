#include "ui/PlotSeries.h"

#include <qcustomplot.h>

#include <algorithm>
#include <cmath>

#include "fields/StatusTexts.h"
#include "ui/Text.h"

namespace plot {
namespace {

// One hue per measured value, apart enough to tell four lines apart.
constexpr int kHues[] = {0, 210, 120, 30, 280, 180, 330, 60, 240, 90, 300, 150};

}  // namespace

QString SeriesName(size_t field) {
  const fields::StatusField& f = fields::StatusFields()[field];
  return Tr(f.name) + QStringLiteral(" [") + Tr(f.unit) + QLatin1Char(']');
}

QColor SeriesColor(size_t field) {
  const auto measured = fields::MeasuredStatusFields();
  const auto at = std::find(measured.begin(), measured.end(), field);
  const size_t index = static_cast<size_t>(at - measured.begin()) % std::size(kHues);
  return QColor::fromHsv(kHues[index], 230, 200);
}

std::vector<QString> UnitsOf(std::span<const size_t> fields) {
  std::vector<QString> units;
  for (const size_t field : fields) {
    const QString unit = QString::fromUtf8(fields::StatusFields()[field].unit);
    if (std::find(units.begin(), units.end(), unit) == units.end()) units.push_back(unit);
  }
  return units;
}

QCPAxis* AxisFor(QCustomPlot& plot, std::span<const size_t> shown, size_t field) {
  const std::vector<QString> units = UnitsOf(shown);
  const QString unit = QString::fromUtf8(fields::StatusFields()[field].unit);
  return units.size() > 1 && units[1] == unit ? plot.yAxis2 : plot.yAxis;
}

void LabelAxes(QCustomPlot& plot, std::span<const size_t> shown) {
  QStringList left;
  QStringList right;
  for (const size_t field : shown) (AxisFor(plot, shown, field) == plot.yAxis2 ? right : left) << SeriesName(field);
  plot.yAxis->setLabel(left.join(QStringLiteral(", ")));
  plot.yAxis2->setLabel(right.join(QStringLiteral(", ")));
  plot.yAxis2->setVisible(!right.isEmpty());
}

void FitValueAxes(QCustomPlot& plot) {
  for (QCPAxis* axis : {plot.yAxis, plot.yAxis2}) {
    bool any = false;
    QCPRange range;
    for (int i = 0; i < plot.graphCount(); ++i) {
      QCPGraph* graph = plot.graph(i);
      if (!graph->visible() || graph->valueAxis() != axis) continue;
      bool found = false;
      const QCPRange r = graph->getValueRange(found, QCP::sdBoth, plot.xAxis->range());
      if (!found) continue;
      range = any ? QCPRange(std::min(range.lower, r.lower), std::max(range.upper, r.upper)) : r;
      any = true;
    }
    if (!any) continue;
    if (range.size() > 0) {
      const double margin = range.size() * 0.05;
      axis->setRange(range.lower - margin, range.upper + margin);
      continue;
    }
    // A flat line sits inside a band, not on an edge: two thirds up on the
    // left axis, one third on the right, so that flat lines on the two
    // axes never share a row and hide each other.
    const double margin = std::max(1.0, std::abs(range.lower) * 0.05);
    const bool left = axis == plot.yAxis;
    axis->setRange(range.lower - (left ? 2 : 1) * margin, range.upper + (left ? 1 : 2) * margin);
  }
}

QString ValueText(size_t field, double value) {
  if (!std::isfinite(value)) return QStringLiteral("-");
  const char* unit = fields::StatusFields()[field].unit;
  const QString shown = Tr(unit);
  // A unit that is a word in the language in use stands apart from the number.
  const bool word = shown != QString::fromUtf8(unit);
  return QString::number(value, 'f', fields::StatusDecimals(field)) + (word ? QStringLiteral(" ") : QString()) + shown;
}

}  // namespace plot

// The two plotting libraries Debian offers, against the live plot's budget:
// 4 series over a 10-minute window at 10 samples a second (6000 points
// each), a new sample every 100 ms, the window sliding and its vertical
// range fitted to what is visible, one redraw per new sample. For each it
// prints the process's CPU as a share of one core, how late a 10 ms probe
// timer on the window's thread fires (median, 99th percentile) and the
// redraws a second. Not a test: it prints figures.
#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "BenchFigures.h"
#include "LatenessProbe.h"

#ifdef KORVELT_HAVE_QCUSTOMPLOT
#include <qcustomplot.h>
#endif
#ifdef KORVELT_HAVE_QTCHARTS
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#endif

namespace {

constexpr int Series = 4;
constexpr int WindowSeconds = 600;
constexpr int RateHz = 10;
constexpr int Points = WindowSeconds * RateHz;

double Value(int series, int i) { return std::sin(i * 0.01 * (series + 1)) * (10 + series) + series * 3; }

// What one library has to do: take the first window of points, then one
// sample per series, slide and redraw.
struct Plot {
  std::function<QWidget*()> widget;
  std::function<void(int i)> add;  // sample i of every series
  std::function<int()> redraws;
};

#ifdef KORVELT_HAVE_QCUSTOMPLOT
class CountingPlot : public QCustomPlot {
 public:
  int paints = 0;

 protected:
  void paintEvent(QPaintEvent* event) override {
    ++paints;
    QCustomPlot::paintEvent(event);
  }
};

// `fast`: lines without antialiasing, as the plot window draws them.
Plot MakeQCustomPlot(bool fast) {
  auto* plot = new CountingPlot;
  if (fast) {
    plot->setNotAntialiasedElements(QCP::aeAll);
    plot->setPlottingHints(QCP::phFastPolylines | QCP::phCacheLabels);
  }
  for (int s = 0; s < Series; ++s) {
    QCPGraph* graph = plot->addGraph();
    graph->setPen(QPen(QColor::fromHsv(s * 80, 200, 200)));
    QVector<double> keys(Points), values(Points);
    for (int i = 0; i < Points; ++i) {
      keys[i] = i / double(RateHz);
      values[i] = Value(s, i);
    }
    graph->setData(keys, values, true);
  }
  Plot p;
  p.widget = [plot] { return plot; };
  p.add = [plot](int i) {
    const double key = i / double(RateHz);
    for (int s = 0; s < Series; ++s) {
      QCPGraph* graph = plot->graph(s);
      graph->addData(key, Value(s, i));
      graph->data()->removeBefore(key - WindowSeconds);
    }
    plot->xAxis->setRange(key - WindowSeconds, key);
    bool found = false;
    QCPRange range;
    for (int s = 0; s < Series; ++s) {
      const QCPRange r = plot->graph(s)->getValueRange(found, QCP::sdBoth, plot->xAxis->range());
      range = s == 0 ? r : QCPRange(std::min(range.lower, r.lower), std::max(range.upper, r.upper));
    }
    plot->yAxis->setRange(range);
    plot->replot(QCustomPlot::rpQueuedReplot);
  };
  p.redraws = [plot] { return plot->paints; };
  return p;
}
#endif

#ifdef KORVELT_HAVE_QTCHARTS
class CountingView : public QChartView {
 public:
  using QChartView::QChartView;
  int paints = 0;

 protected:
  void paintEvent(QPaintEvent* event) override {
    ++paints;
    QChartView::paintEvent(event);
  }
};

Plot MakeQtCharts() {
  auto* chart = new QChart;
  auto* x = new QValueAxis;
  auto* y = new QValueAxis;
  chart->addAxis(x, Qt::AlignBottom);
  chart->addAxis(y, Qt::AlignLeft);
  std::vector<QLineSeries*> series;
  for (int s = 0; s < Series; ++s) {
    auto* line = new QLineSeries;
    QList<QPointF> points;
    for (int i = 0; i < Points; ++i) points.append(QPointF(i / double(RateHz), Value(s, i)));
    line->replace(points);
    chart->addSeries(line);
    line->attachAxis(x);
    line->attachAxis(y);
    series.push_back(line);
  }
  chart->legend()->hide();
  auto* view = new CountingView(chart);
  Plot p;
  p.widget = [view] { return view; };
  p.add = [series, x, y](int i) {
    const double key = i / double(RateHz);
    double low = 1e300, high = -1e300;
    for (int s = 0; s < Series; ++s) {
      series[s]->append(key, Value(s, i));
      while (series[s]->count() > Points) series[s]->remove(0);
      for (const QPointF& point : series[s]->points()) {
        low = std::min(low, point.y());
        high = std::max(high, point.y());
      }
    }
    x->setRange(key - WindowSeconds, key);
    y->setRange(low, high);
  };
  p.redraws = [view] { return view->paints; };
  return p;
}
#endif

void Measure(const char* name, Plot plot, int seconds) {
  std::unique_ptr<QWidget> widget(plot.widget());
  widget->resize(1000, 600);
  widget->show();
  bench::RunEvents(500);
  int next = Points;
  QTimer feed;
  feed.setInterval(1000 / RateHz);
  QObject::connect(&feed, &QTimer::timeout, [&] { plot.add(next++); });

  bench::LatenessProbe probe;
  const int redraws0 = plot.redraws();
  const double cpu0 = bench::CpuSeconds();
  feed.start();
  probe.Start();
  bench::RunEvents(seconds * 1000);
  const double elapsed = probe.Stop();
  feed.stop();
  const double cpu = bench::CpuSeconds() - cpu0;
  const std::vector<double>& lateMs = probe.LateMs();
  std::printf("%-40s CPU %5.2f %% of a core   probe late: median %5.2f ms  p99 %6.2f ms   redraws %5.1f /s\n", name,
              100.0 * cpu / elapsed, bench::At(lateMs, 0.5), bench::At(lateMs, 0.99),
              (plot.redraws() - redraws0) / elapsed);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  std::printf("%d series x %d points (%d s at %d Hz), one sample each per 100 ms, %d s each, 1000x600 px\n", Series,
              Points, WindowSeconds, RateHz, seconds);
#ifdef KORVELT_HAVE_QCUSTOMPLOT
  Measure("QCustomPlot", MakeQCustomPlot(false), seconds);
  Measure("QCustomPlot, lines without antialiasing", MakeQCustomPlot(true), seconds);
#else
  std::printf("QCustomPlot: not built (libqcustomplot-dev missing)\n");
#endif
#ifdef KORVELT_HAVE_QTCHARTS
  Measure("Qt Charts", MakeQtCharts(), seconds);
#else
  std::printf("Qt Charts: not built (qt6-charts-dev missing)\n");
#endif
  return 0;
}

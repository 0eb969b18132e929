#include "ui/LivePlot.h"

#include <qcustomplot.h>

#include <QEvent>
#include <QLabel>
#include <QLoggingCategory>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <limits>

#include "fields/StatusTexts.h"
#include "ui/PlotSeries.h"
#include "ui/Text.h"

namespace {

constexpr size_t kCopyBlock = 1024;
constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();
// The cursor reads a series only from a sample this close to it.
constexpr double kCursorReach = 2.0;
// Pixels (less half a tick's jitter) the live view slides between two
// redraws.
constexpr double kSlideRedraw = 1.5;
// Seconds new samples may wait for the view to slide before they are drawn.
constexpr double kSampleWait = 0.16;

constexpr const char* kTimeAxis = "打开串口以来的时间";

// The time since the port was opened as the axis counts it, to the
// millisecond: "00:01:23.456".
QString ElapsedText(double key) {
  const auto ms = static_cast<long long>(std::llround(std::max(0.0, key) * 1000));
  return QString::asprintf("%02lld:%02lld:%02lld.%03lld", ms / 3'600'000, ms / 60'000 % 60, ms / 1000 % 60, ms % 1000);
}

// Stands in for the plot's paint buffer and holds nothing: the layers are
// drawn straight onto the window at its paint event, not into a buffer that
// would be cleared, filled and then copied onto the window at every redraw.
class CNoBuffer : public QCPAbstractPaintBuffer {
 public:
  using QCPAbstractPaintBuffer::QCPAbstractPaintBuffer;
  // No painter: the plot's replot draws no layer itself.
  QCPPainter* startPainting() override { return nullptr; }
  void draw(QCPPainter* /*painter*/) const override {}
  void clear(const QColor& /*color*/) override {}

 protected:
  void reallocateBuffer() override {}
};

// A plot that paints its layers directly at each paint event. The live view
// is redrawn whole at every change (it slides), so a buffer per layer would
// save nothing; all its layers are logical.
class CLiveCanvas : public QCustomPlot {
 public:
  explicit CLiveCanvas(QWidget* parent) : QCustomPlot(parent) {
    mPaintBuffers.clear();
    mPaintBuffers.append(QSharedPointer<QCPAbstractPaintBuffer>(new CNoBuffer(viewport().size(), 1.0)));
    // At each redraw the library says, once per layer and on the default
    // category, that this buffer gives it no painter, as intended: sixty
    // lines a second on standard error, formatted and written. The tool
    // itself writes nothing there.
    QLoggingCategory::defaultCategory()->setEnabled(QtDebugMsg, false);
  }

 protected:
  void paintEvent(QPaintEvent* /*event*/) override {
    QCPPainter painter(this);
    if (!painter.isActive()) return;
    if (mBackgroundBrush.style() != Qt::NoBrush) painter.fillRect(mViewport, mBackgroundBrush);
    draw(&painter);
  }
};

}  // namespace

CLivePlot::CLivePlot(const recording::StatusRecording& recording, std::function<recording::Micros()> now,
                     QWidget* parent)
    : QWidget(parent), m_recording(recording), m_now(std::move(now)) {
  m_plot = new CLiveCanvas(this);
  m_plot->setObjectName(QStringLiteral("livePlot"));
  // Lines without antialiasing draw at a fraction of the cost, and a
  // ten-minute window is no smoother with it.
  m_plot->setNotAntialiasedElements(QCP::aeAll);
  m_plot->setPlottingHints(QCP::phFastPolylines | QCP::phCacheLabels);
  // Every redraw fills the whole plot with its background first, so what
  // lies below it need not be painted too.
  m_plot->setAttribute(Qt::WA_OpaquePaintEvent);
  // The box of a box zoom is drawn with the rest of the plot instead of on
  // a buffer of its own, which every redraw would clear and blend over the
  // plot while it holds nothing.
  if (QCPLayer* overlay = m_plot->layer(QStringLiteral("overlay"))) overlay->setMode(QCPLayer::lmLogical);
  m_plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
  m_plot->axisRect()->setRangeZoomAxes({m_plot->xAxis}, {m_plot->yAxis, m_plot->yAxis2});
  m_plot->axisRect()->setRangeDragAxes({m_plot->xAxis}, {m_plot->yAxis, m_plot->yAxis2});
  QSharedPointer<QCPAxisTickerTime> ticker(new QCPAxisTickerTime);
  ticker->setTimeFormat(QStringLiteral("%h:%m:%s"));
  m_plot->xAxis->setTicker(ticker);
  m_plot->xAxis->setLabel(Tr(kTimeAxis));
  m_plot->yAxis2->setTickLabels(true);
  // The plot shows no legend (the axes name the series); a legend item per
  // graph would still be measured, text and all, at every redraw.
  m_plot->setAutoAddPlottableToLegend(false);
  for (const size_t field : fields::MeasuredStatusFields()) {
    QCPGraph* graph = m_plot->addGraph(m_plot->xAxis, m_plot->yAxis);
    graph->setName(plot::SeriesName(field));
    // A pen of one pixel is drawn a line at a time; a wider one is
    // outlined and filled as a shape, at several times the cost per redraw.
    graph->setPen(QPen(plot::SeriesColor(field), 1));
    graph->setVisible(false);
    m_graphs.push_back(graph);
  }
  m_cursor = new QCPItemStraightLine(m_plot);
  m_cursor->setPen(QPen(Qt::gray, 1, Qt::DotLine));
  m_cursor->setVisible(false);

  m_cursorLabel = new QLabel(this);
  m_cursorLabel->setObjectName(QStringLiteral("cursorText"));
  m_cursorLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(m_plot, 1);
  layout->addWidget(m_cursorLabel);

  connect(m_plot, &QCustomPlot::afterReplot, this, [this] { ++m_redraws; });
  connect(m_plot, &QCustomPlot::beforeReplot, this, &CLivePlot::FitMarkTexts);
  // A range the operator changes (box, drag, wheel) leaves the live view.
  connect(m_plot->xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this, [this] {
    if (m_settingRange) return;
    m_live = false;
    m_userValues = true;
  });
  m_plot->setMouseTracking(true);
  m_plot->installEventFilter(this);
  SetBoxZoom(true);
  connect(&m_timer, &QTimer::timeout, this, &CLivePlot::Refresh);
  Restart();
  UpdateTimer();
}

CLivePlot::~CLivePlot() = default;

QCPGraph* CLivePlot::GraphOf(size_t field) const {
  const auto measured = fields::MeasuredStatusFields();
  const auto at = std::find(measured.begin(), measured.end(), field);
  return at == measured.end() ? nullptr : m_graphs[static_cast<size_t>(at - measured.begin())];
}

void CLivePlot::SetShown(std::vector<size_t> fields) {
  m_shown = std::move(fields);
  for (QCPGraph* graph : m_graphs) graph->setVisible(false);
  for (const size_t field : m_shown) {
    if (QCPGraph* graph = GraphOf(field)) {
      graph->setValueAxis(plot::AxisFor(*m_plot, m_shown, field));
      graph->setVisible(true);
    }
  }
  plot::LabelAxes(*m_plot, m_shown);
  if (!m_userValues) plot::FitValueAxes(*m_plot);
  m_dirty = true;
  PlaceCursor(m_cursorKey);
}

void CLivePlot::SetWindowSeconds(double seconds) {
  m_windowSeconds = std::clamp(seconds, 1.0, KeptSeconds);
  UpdateTimer();
  BackToLive();
}

void CLivePlot::SetPaused(bool paused) {
  m_paused = paused;
  m_dirty = true;
}

void CLivePlot::BackToLive() {
  m_live = true;
  m_paused = false;
  m_userValues = false;
  m_dirty = true;
  Refresh();
}

void CLivePlot::SetBoxZoom(bool box) {
  m_plot->setSelectionRectMode(box ? QCP::srmZoom : QCP::srmNone);
}

recording::ExportRange CLivePlot::Visible() const {
  const QCPRange range = m_plot->xAxis->range();
  return {static_cast<recording::Micros>(std::floor(range.lower * 1e6)),
          static_cast<recording::Micros>(std::ceil(range.upper * 1e6))};
}

int CLivePlot::PointCount(size_t field) const {
  const QCPGraph* graph = GraphOf(field);
  return graph != nullptr ? graph->dataCount() : 0;
}

void CLivePlot::Restart() {
  m_start = m_recording.StartSteady();
  for (QCPGraph* graph : m_graphs) graph->data()->clear();
  for (const PlacedMark& mark : m_marks) {
    m_plot->removeItem(mark.line);
    m_plot->removeItem(mark.text);
  }
  m_marks.clear();
  // A window opened late shows the last ten minutes, not the whole day.
  const recording::Micros from = m_now() - static_cast<recording::Micros>(KeptSeconds * 1e6);
  m_nextSample = m_recording.FirstAtOrAfter(from);
  const std::vector<recording::Mark> kept = m_recording.Marks(0);
  m_nextMark = m_recording.MarksEnd() - kept.size();
  for (const recording::Mark& mark : kept) {
    if (mark.time < from) ++m_nextMark;
  }
  m_newestKey = 0;
  m_dirty = true;
}

bool CLivePlot::TakeSamples() {
  const auto measured = fields::MeasuredStatusFields();
  std::vector<recording::Sample>& block = m_copyBlock;
  block.resize(kCopyBlock);
  QVector<double> keys;
  std::vector<QVector<double>> values(measured.size());
  for (;;) {
    const recording::StatusRecording::Copied copied = m_recording.Copy(m_nextSample, block);
    if (copied.count == 0) break;
    for (size_t i = 0; i < copied.count; ++i) {
      keys.push_back(KeyOf(block[i].time));
      for (size_t j = 0; j < measured.size(); ++j) {
        // A failed read is a gap in every line, never a value.
        values[j].push_back(recording::ValueOf(block[i], measured[j]).value_or(kNoValue));
      }
    }
    m_nextSample = copied.first + copied.count;
  }
  if (keys.isEmpty()) return false;
  for (size_t j = 0; j < measured.size(); ++j) m_graphs[j]->addData(keys, values[j], true);
  m_newestKey = std::max(m_newestKey, keys.back());
  DropOld(m_newestKey);
  return true;
}

void CLivePlot::DropOld(double newestKey) {
  const double oldest = newestKey - KeptSeconds;
  for (QCPGraph* graph : m_graphs) graph->data()->removeBefore(oldest);
  auto keep = m_marks.begin();
  while (keep != m_marks.end() && keep->key < oldest) {
    m_plot->removeItem(keep->line);
    m_plot->removeItem(keep->text);
    ++keep;
  }
  m_marks.erase(m_marks.begin(), keep);
}

void CLivePlot::SetKeyRange(double lower, double upper) {
  m_settingRange = true;
  m_plot->xAxis->setRange(lower, upper);
  m_settingRange = false;
}

void CLivePlot::Refresh() {
  if (m_recording.StartSteady() != m_start) Restart();
  bool changed = TakeSamples();
  changed |= TakeMarks();
  if (Live()) {
    // The live view is drawn when it has slid by a pixel and a half since it
    // was last drawn, and new samples when that was a sixth of a second ago
    // or more: a poll of 10 a second no longer forces a redraw of its own
    // for every sample at the 1-minute window, and none waits long at any.
    const double now = KeyOf(m_now());
    const double pixel = m_windowSeconds / std::max(1, m_plot->axisRect()->width());
    const double since = now - m_drawnRight;
    changed = m_dirty || since >= kSlideRedraw * pixel || (changed && since >= kSampleWait);
    if (changed) {
      SetKeyRange(now - m_windowSeconds, now);
      m_drawnRight = now;
    }
  }
  if (!m_userValues) plot::FitValueAxes(*m_plot);
  if (changed || m_dirty) {
    if (m_cursor->visible()) PlaceCursor(m_cursorKey);
    m_plot->replot(QCustomPlot::rpQueuedReplot);
    m_dirty = false;
  }
}

void CLivePlot::PlaceCursor(double key) {
  m_cursorKey = key;
  if (key < 0) {
    m_cursor->setVisible(false);
    m_cursorLabel->clear();
    return;
  }
  m_cursor->point1->setCoords(key, 0);
  m_cursor->point2->setCoords(key, 1);
  m_cursor->setVisible(true);
  m_cursorLabel->setText(CursorText());
}

QString CLivePlot::CursorText() const {
  if (m_cursorKey < 0) return {};
  QStringList parts{ElapsedText(m_cursorKey)};
  for (const size_t field : m_shown) {
    const QCPGraph* graph = GraphOf(field);
    double value = kNoValue;
    if (graph != nullptr && !graph->data()->isEmpty()) {
      auto at = graph->data()->findBegin(m_cursorKey, true);
      if (at != graph->data()->constEnd() && std::abs(at->key - m_cursorKey) <= kCursorReach) value = at->value;
    }
    parts << Tr(fields::StatusFields()[field].name) + QLatin1Char(' ') + plot::ValueText(field, value);
  }
  return parts.join(QStringLiteral("   "));
}

void CLivePlot::changeEvent(QEvent* event) {
  if (event->type() == QEvent::LanguageChange) {
    m_plot->xAxis->setLabel(Tr(kTimeAxis));
    const auto measured = fields::MeasuredStatusFields();
    for (size_t i = 0; i < m_graphs.size() && i < measured.size(); ++i) m_graphs[i]->setName(plot::SeriesName(measured[i]));
    plot::LabelAxes(*m_plot, m_shown);
    if (m_cursorKey >= 0) m_cursorLabel->setText(CursorText());
    for (PlacedMark& mark : m_marks) Word(mark);
    m_plot->replot(QCustomPlot::rpQueuedReplot);
  }
  QWidget::changeEvent(event);
}

bool CLivePlot::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_plot) {
    if (event->type() == QEvent::MouseMove) {
      // A reading only over the plotted area: beside it lie the axes.
      const QPointF at = static_cast<QMouseEvent*>(event)->position();
      const bool over = m_plot->axisRect()->rect().contains(at.toPoint());
      PlaceCursor(over ? m_plot->xAxis->pixelToCoord(at.x()) : -1);
      m_plot->replot(QCustomPlot::rpQueuedReplot);
    } else if (event->type() == QEvent::Leave) {
      PlaceCursor(-1);
      m_plot->replot(QCustomPlot::rpQueuedReplot);
    }
  }
  return QWidget::eventFilter(watched, event);
}

void CLivePlot::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  UpdateTimer();
}

// The view slides by a pixel every window/width seconds; redrawing more
// often would draw the same picture again.
void CLivePlot::UpdateTimer() {
  const int width = std::max(100, m_plot->axisRect()->width());
  const int ms = std::clamp(static_cast<int>(m_windowSeconds * 1000 / width), MinRedrawMs, MaxRedrawMs);
  if (m_timer.interval() != ms || !m_timer.isActive()) m_timer.start(ms);
}

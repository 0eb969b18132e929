#include "ui/LivePlot.h"

#include <qcustomplot.h>

#include <QEvent>
#include <QLabel>
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
// Pixels (less half a tick's jitter) the live view may slide without new
// samples before it is drawn anyway.
constexpr double kSlideRedraw = 1.5;

constexpr const char* kTimeAxis = "打开串口以来的时间";

double KeyOf(recording::Micros time) { return static_cast<double>(time) / 1e6; }

// The time since the port was opened as the axis counts it, to the
// millisecond: "00:01:23.456".
QString ElapsedText(double key) {
  const auto ms = static_cast<long long>(std::llround(std::max(0.0, key) * 1000));
  return QString::asprintf("%02lld:%02lld:%02lld.%03lld", ms / 3'600'000, ms / 60'000 % 60, ms / 1000 % 60, ms % 1000);
}

}  // namespace

CLivePlot::CLivePlot(const recording::StatusRecording& recording, std::function<recording::Micros()> now,
                     QWidget* parent)
    : QWidget(parent), recording_(recording), now_(std::move(now)) {
  plot_ = new QCustomPlot(this);
  plot_->setObjectName(QStringLiteral("livePlot"));
  // Lines without antialiasing draw at a fraction of the cost, and a
  // ten-minute window is no smoother with it.
  plot_->setNotAntialiasedElements(QCP::aeAll);
  plot_->setPlottingHints(QCP::phFastPolylines | QCP::phCacheLabels);
  // Every redraw fills the whole plot with its background first, so what
  // lies below it need not be painted too.
  plot_->setAttribute(Qt::WA_OpaquePaintEvent);
  // The box of a box zoom is drawn with the rest of the plot instead of on
  // a buffer of its own, which every redraw would clear and blend over the
  // plot while it holds nothing.
  if (QCPLayer* overlay = plot_->layer(QStringLiteral("overlay"))) overlay->setMode(QCPLayer::lmLogical);
  plot_->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
  plot_->axisRect()->setRangeZoomAxes({plot_->xAxis}, {plot_->yAxis, plot_->yAxis2});
  plot_->axisRect()->setRangeDragAxes({plot_->xAxis}, {plot_->yAxis, plot_->yAxis2});
  QSharedPointer<QCPAxisTickerTime> ticker(new QCPAxisTickerTime);
  ticker->setTimeFormat(QStringLiteral("%h:%m:%s"));
  plot_->xAxis->setTicker(ticker);
  plot_->xAxis->setLabel(Tr(kTimeAxis));
  plot_->yAxis2->setTickLabels(true);
  // The plot shows no legend (the axes name the series); a legend item per
  // graph would still be measured, text and all, at every redraw.
  plot_->setAutoAddPlottableToLegend(false);
  for (const size_t field : fields::MeasuredStatusFields()) {
    QCPGraph* graph = plot_->addGraph(plot_->xAxis, plot_->yAxis);
    graph->setName(plot::SeriesName(field));
    graph->setPen(QPen(plot::SeriesColor(field), 1.5));
    graph->setVisible(false);
    graphs_.push_back(graph);
  }
  cursor_ = new QCPItemStraightLine(plot_);
  cursor_->setPen(QPen(Qt::gray, 1, Qt::DotLine));
  cursor_->setVisible(false);

  cursorLabel_ = new QLabel(this);
  cursorLabel_->setObjectName(QStringLiteral("cursorText"));
  cursorLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(plot_, 1);
  layout->addWidget(cursorLabel_);

  connect(plot_, &QCustomPlot::afterReplot, this, [this] { ++redraws_; });
  connect(plot_, &QCustomPlot::beforeReplot, this, &CLivePlot::FitMarkTexts);
  // A range the operator changes (box, drag, wheel) leaves the live view.
  connect(plot_->xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this, [this] {
    if (settingRange_) return;
    live_ = false;
    userValues_ = true;
  });
  plot_->setMouseTracking(true);
  plot_->installEventFilter(this);
  SetBoxZoom(true);
  connect(&timer_, &QTimer::timeout, this, &CLivePlot::Refresh);
  Restart();
  UpdateTimer();
}

CLivePlot::~CLivePlot() = default;

QCPGraph* CLivePlot::GraphOf(size_t field) const {
  const auto measured = fields::MeasuredStatusFields();
  const auto at = std::find(measured.begin(), measured.end(), field);
  return at == measured.end() ? nullptr : graphs_[static_cast<size_t>(at - measured.begin())];
}

void CLivePlot::SetShown(std::vector<size_t> fields) {
  shown_ = std::move(fields);
  for (QCPGraph* graph : graphs_) graph->setVisible(false);
  for (const size_t field : shown_) {
    if (QCPGraph* graph = GraphOf(field)) {
      graph->setValueAxis(plot::AxisFor(*plot_, shown_, field));
      graph->setVisible(true);
    }
  }
  plot::LabelAxes(*plot_, shown_);
  if (!userValues_) plot::FitValueAxes(*plot_);
  dirty_ = true;
  PlaceCursor(cursorKey_);
}

void CLivePlot::SetWindowSeconds(double seconds) {
  windowSeconds_ = std::clamp(seconds, 1.0, KeptSeconds);
  UpdateTimer();
  BackToLive();
}

void CLivePlot::SetPaused(bool paused) {
  paused_ = paused;
  dirty_ = true;
}

void CLivePlot::BackToLive() {
  live_ = true;
  paused_ = false;
  userValues_ = false;
  dirty_ = true;
  Refresh();
}

void CLivePlot::SetBoxZoom(bool box) {
  plot_->setSelectionRectMode(box ? QCP::srmZoom : QCP::srmNone);
}

recording::ExportRange CLivePlot::Visible() const {
  const QCPRange range = plot_->xAxis->range();
  return {static_cast<recording::Micros>(std::floor(range.lower * 1e6)),
          static_cast<recording::Micros>(std::ceil(range.upper * 1e6))};
}

int CLivePlot::PointCount(size_t field) const {
  const QCPGraph* graph = GraphOf(field);
  return graph != nullptr ? graph->dataCount() : 0;
}

int CLivePlot::MarkCount() const { return static_cast<int>(marks_.size()); }

std::vector<QRectF> CLivePlot::MarkTextRects() const {
  std::vector<QRectF> rects;
  for (const PlacedMark& mark : marks_) {
    if (mark.text->visible()) rects.emplace_back(mark.text->topLeft->pixelPosition(), mark.text->bottomRight->pixelPosition());
  }
  return rects;
}

void CLivePlot::Restart() {
  start_ = recording_.StartSteady();
  for (QCPGraph* graph : graphs_) graph->data()->clear();
  for (const PlacedMark& mark : marks_) {
    plot_->removeItem(mark.line);
    plot_->removeItem(mark.text);
  }
  marks_.clear();
  // A window opened late shows the last ten minutes, not the whole day.
  const recording::Micros from = now_() - static_cast<recording::Micros>(KeptSeconds * 1e6);
  nextSample_ = recording_.FirstAtOrAfter(from);
  const std::vector<recording::Mark> kept = recording_.Marks(0);
  nextMark_ = recording_.MarksEnd() - kept.size();
  for (const recording::Mark& mark : kept) {
    if (mark.time < from) ++nextMark_;
  }
  newestKey_ = 0;
  dirty_ = true;
}

bool CLivePlot::TakeSamples() {
  const auto measured = fields::MeasuredStatusFields();
  std::vector<recording::Sample>& block = copyBlock_;
  block.resize(kCopyBlock);
  QVector<double> keys;
  std::vector<QVector<double>> values(measured.size());
  for (;;) {
    const recording::StatusRecording::Copied copied = recording_.Copy(nextSample_, block);
    if (copied.count == 0) break;
    for (size_t i = 0; i < copied.count; ++i) {
      keys.push_back(KeyOf(block[i].time));
      for (size_t j = 0; j < measured.size(); ++j) {
        // A failed read is a gap in every line, never a value.
        values[j].push_back(recording::ValueOf(block[i], measured[j]).value_or(kNoValue));
      }
    }
    nextSample_ = copied.first + copied.count;
  }
  if (keys.isEmpty()) return false;
  for (size_t j = 0; j < measured.size(); ++j) graphs_[j]->addData(keys, values[j], true);
  newestKey_ = std::max(newestKey_, keys.back());
  DropOld(newestKey_);
  return true;
}

bool CLivePlot::TakeMarks() {
  const std::vector<recording::Mark> marks = recording_.Marks(nextMark_);
  nextMark_ += marks.size();
  for (const recording::Mark& mark : marks) {
    const double key = KeyOf(mark.time);
    const QColor color = mark.kind == recording::MarkKind::ErrorState ? QColor(200, 30, 30) : QColor(70, 90, 150);
    auto* line = new QCPItemStraightLine(plot_);
    line->point1->setCoords(key, 0);
    line->point2->setCoords(key, 1);
    line->setPen(QPen(color, 1, Qt::DashLine));
    auto* text = new QCPItemText(plot_);
    text->position->setTypeX(QCPItemPosition::ptAbsolute);  // placed by FitMarkTexts
    text->position->setTypeY(QCPItemPosition::ptAxisRectRatio);
    // Marks close together stagger their texts down the plot.
    text->position->setCoords(0, 0.02 + 0.06 * static_cast<double>(marks_.size() % 5));
    text->setPositionAlignment(Qt::AlignLeft | Qt::AlignTop);
    text->setText(ToQString(mark.text));
    text->setColor(color);
    text->setPadding(QMargins(3, 1, 3, 1));
    text->setBrush(QBrush(QColor(255, 255, 255, 200)));
    marks_.push_back({key, line, text});
  }
  return !marks.empty();
}

// A mark's text goes right of its line, or left of it where it would run
// past the plot's right edge, so that no text is cut; a line out of view
// shows no text.
void CLivePlot::FitMarkTexts() {
  const QRect rect = plot_->axisRect()->rect();
  const double left = rect.left();
  const double right = rect.left() + rect.width();
  for (const PlacedMark& mark : marks_) {
    const double x = plot_->xAxis->coordToPixel(mark.key);
    const bool inView = x >= left && x <= right;
    mark.text->setVisible(inView);
    if (!inView) continue;
    const QMargins padding = mark.text->padding();
    const int width =
        QFontMetrics(mark.text->font()).horizontalAdvance(mark.text->text()) + padding.left() + padding.right();
    // Left of the line only where it fits there and not on the right; a
    // text wider than both sides goes as far right as it can, whole.
    const bool onLeft = x + width > right && x - width >= left;
    const double at = onLeft ? x : std::max(left, std::min(x, right - width));
    mark.text->setPositionAlignment((onLeft ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop);
    mark.text->position->setCoords(at, mark.text->position->coords().y());
  }
}

void CLivePlot::DropOld(double newestKey) {
  const double oldest = newestKey - KeptSeconds;
  for (QCPGraph* graph : graphs_) graph->data()->removeBefore(oldest);
  auto keep = marks_.begin();
  while (keep != marks_.end() && keep->key < oldest) {
    plot_->removeItem(keep->line);
    plot_->removeItem(keep->text);
    ++keep;
  }
  marks_.erase(marks_.begin(), keep);
}

void CLivePlot::SetKeyRange(double lower, double upper) {
  settingRange_ = true;
  plot_->xAxis->setRange(lower, upper);
  settingRange_ = false;
}

void CLivePlot::Refresh() {
  if (recording_.StartSteady() != start_) Restart();
  bool changed = TakeSamples();
  changed |= TakeMarks();
  if (Live()) {
    // The view slides a pixel at each tick of the timer; between two
    // samples that moves only the axis, so it is drawn with the next sample,
    // unless it has slid by two pixels since it was last drawn (no samples
    // coming, or a window short enough that a tick slides it further).
    const double now = KeyOf(now_());
    const double pixel = windowSeconds_ / std::max(1, plot_->axisRect()->width());
    if (changed || dirty_ || now - drawnRight_ >= kSlideRedraw * pixel) {
      SetKeyRange(now - windowSeconds_, now);
      drawnRight_ = now;
      changed = true;
    }
  }
  if (!userValues_) plot::FitValueAxes(*plot_);
  if (changed || dirty_) {
    if (cursor_->visible()) PlaceCursor(cursorKey_);
    plot_->replot(QCustomPlot::rpQueuedReplot);
    dirty_ = false;
  }
}

void CLivePlot::PlaceCursor(double key) {
  cursorKey_ = key;
  if (key < 0) {
    cursor_->setVisible(false);
    cursorLabel_->clear();
    return;
  }
  cursor_->point1->setCoords(key, 0);
  cursor_->point2->setCoords(key, 1);
  cursor_->setVisible(true);
  cursorLabel_->setText(CursorText());
}

QString CLivePlot::CursorText() const {
  if (cursorKey_ < 0) return {};
  QStringList parts{ElapsedText(cursorKey_)};
  for (const size_t field : shown_) {
    const QCPGraph* graph = GraphOf(field);
    double value = kNoValue;
    if (graph != nullptr && !graph->data()->isEmpty()) {
      auto at = graph->data()->findBegin(cursorKey_, true);
      if (at != graph->data()->constEnd() && std::abs(at->key - cursorKey_) <= kCursorReach) value = at->value;
    }
    parts << Tr(fields::StatusFields()[field].name) + QLatin1Char(' ') + plot::ValueText(field, value);
  }
  return parts.join(QStringLiteral("   "));
}

void CLivePlot::changeEvent(QEvent* event) {
  if (event->type() == QEvent::LanguageChange) {
    plot_->xAxis->setLabel(Tr(kTimeAxis));
    const auto measured = fields::MeasuredStatusFields();
    for (size_t i = 0; i < graphs_.size() && i < measured.size(); ++i) graphs_[i]->setName(plot::SeriesName(measured[i]));
    plot::LabelAxes(*plot_, shown_);
    if (cursorKey_ >= 0) cursorLabel_->setText(CursorText());
    plot_->replot(QCustomPlot::rpQueuedReplot);
  }
  QWidget::changeEvent(event);
}

bool CLivePlot::eventFilter(QObject* watched, QEvent* event) {
  if (watched == plot_) {
    if (event->type() == QEvent::MouseMove) {
      // A reading only over the plotted area: beside it lie the axes.
      const QPointF at = static_cast<QMouseEvent*>(event)->position();
      const bool over = plot_->axisRect()->rect().contains(at.toPoint());
      PlaceCursor(over ? plot_->xAxis->pixelToCoord(at.x()) : -1);
      plot_->replot(QCustomPlot::rpQueuedReplot);
    } else if (event->type() == QEvent::Leave) {
      PlaceCursor(-1);
      plot_->replot(QCustomPlot::rpQueuedReplot);
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
  const int width = std::max(100, plot_->axisRect()->width());
  const int ms = std::clamp(static_cast<int>(windowSeconds_ * 1000 / width), MinRedrawMs, MaxRedrawMs);
  if (timer_.interval() != ms || !timer_.isActive()) timer_.start(ms);
}

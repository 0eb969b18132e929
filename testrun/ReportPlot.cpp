// The run step's plot on the report page: SVG drawn from the samples, a
// panel for each field the step measures. A window read at a fast line's
// speed holds tens of thousands of readings; the page keeps at most two a
// pixel column (the lowest and the highest), so that a spike still shows
// and the page stays small.
#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

#include "fields/CFormat.h"
#include "fields/StatusTexts.h"
#include "lang/Texts.h"
#include "testrun/Report.h"

namespace testrun {
namespace {

using lang::Tr;

// The drawing's own units; the page scales it to its width.
constexpr double kLeft = 54;
constexpr double kRight = 8;
constexpr double kWidth = kLeft + ReportPlotColumns + kRight;
static_assert(kWidth == ReportPlotWidth);
constexpr double kFullPanel = 64;  // a field's panel at its full height
constexpr double kLeastPanel = 24;  // below this a trend no longer reads
constexpr double kGap = 10;     // between panels, for the field's name
constexpr double kAxis = 22;    // the time axis under the last panel

std::string Number(double value) { return fields::CFormat("%.1f", value); }

// A value for a label: as few digits as the range needs.
std::string Label(double value, double span) {
  const int decimals = span >= 100 ? 0 : span >= 10 ? 1 : span >= 1 ? 2 : 3;
  return fields::CFormat("%.*f", decimals, value);
}

// The levels a field's measurements bound, each once, and whether it is an
// upper one: a deviation's limit is no level of the trace and is not drawn.
struct Level {
  double value;
  bool upper;
};

std::vector<Level> LimitsOf(const testplan::Run& run, size_t field) {
  std::vector<Level> limits;
  const auto add = [&limits](const std::optional<double>& limit, bool upper) {
    if (!limit) return;
    if (std::none_of(limits.begin(), limits.end(), [&](const Level& l) { return l.value == *limit; })) {
      limits.push_back({*limit, upper});
    }
  };
  for (const testplan::Measurement& m : run.measurements) {
    if (m.field != field || m.statistic == testplan::Statistic::StandardDeviation) continue;
    add(m.low, false);
    add(m.high, true);
  }
  return limits;
}

// One series thinned to its pixel columns: the lowest and highest reading
// of each, in the order read, the pen lifted after a column with a gap.
struct Point {
  int column;
  double value;
  bool penUp;  // no line to it from the point before
};

std::vector<Point> Thinned(const RunSamples& run, size_t field, double secondsPerColumn) {
  std::vector<Point> points;
  struct Column {
    int index = -1;
    double min = 0, max = 0;
    size_t minAt = 0, maxAt = 0;
    bool any = false;
    bool gap = false;
  } column;
  bool penUp = true;
  const auto flush = [&] {
    if (column.any) {
      const bool minFirst = column.minAt <= column.maxAt;
      points.push_back({column.index, minFirst ? column.min : column.max, penUp});
      if (column.min != column.max) points.push_back({column.index, minFirst ? column.max : column.min, false});
      penUp = false;
    }
    if (column.gap) penUp = true;
    column = Column{};
  };
  for (size_t i = 0; i < run.samples.size(); ++i) {
    const recording::Sample& sample = run.samples[i];
    const int index = std::clamp(static_cast<int>(static_cast<double>(sample.time) / 1e6 / secondsPerColumn), 0,
                                 ReportPlotColumns - 1);
    if (index != column.index) flush();
    column.index = index;
    const std::optional<double> value = recording::ValueOf(sample, field);
    if (!value) {
      column.gap = true;
      continue;
    }
    if (!column.any || *value < column.min) column.min = *value, column.minAt = i;
    if (!column.any || *value > column.max) column.max = *value, column.maxAt = i;
    column.any = true;
  }
  flush();
  return points;
}

// A step of 1, 2 or 5 times a power of ten giving at most `most` ticks.
double TickStep(double span, int most) {
  double step = std::pow(10.0, std::floor(std::log10(std::max(span, 1e-9))) - 1);
  for (int i = 0; span / step > most && i < 40; ++i) step *= (i % 3 == 1) ? 2.5 : 2;
  return step;
}

std::string Panel(const testplan::Run& run, const RunSamples& samples, size_t field, double top, double panel,
                  double secondsPerColumn, double windowFrom, double windowTo) {
  const fields::StatusField& info = fields::StatusFields()[field];
  const std::vector<Point> points = Thinned(samples, field, secondsPerColumn);
  const std::vector<Level> limits = LimitsOf(run, field);
  double low = std::numeric_limits<double>::infinity();
  double high = -low;
  for (const Point& p : points) low = std::min(low, p.value), high = std::max(high, p.value);
  for (const Level& limit : limits) low = std::min(low, limit.value), high = std::max(high, limit.value);
  if (!(low <= high)) low = 0, high = 1;
  if (high - low < 1e-9) low -= 1, high += 1;
  const double pad = (high - low) * 0.06;
  low -= pad;
  high += pad;
  const auto y = [&](double value) { return top + panel - (value - low) / (high - low) * panel; };
  const auto x = [](double column) { return kLeft + column; };

  std::string svg = "<text class=\"name\" x=\"" + Number(kLeft) + "\" y=\"" + Number(top - 2) + "\">" +
                    MarkupText(Tr(info.name) + (std::string(info.unit).empty() ? "" : " [" + Tr(std::string(info.unit)) + "]")) +
                    "</text>\n";
  svg += "<rect class=\"frame\" x=\"" + Number(kLeft) + "\" y=\"" + Number(top) + "\" width=\"" +
         Number(ReportPlotColumns) + "\" height=\"" + Number(panel) + "\"/>\n";
  if (windowTo > windowFrom) {
    svg += "<rect class=\"window\" x=\"" + Number(x(windowFrom / secondsPerColumn)) + "\" y=\"" + Number(top) +
           "\" width=\"" + Number((windowTo - windowFrom) / secondsPerColumn) + "\" height=\"" + Number(panel) +
           "\"/>\n";
  }
  for (const double value : {low + pad, high - pad}) {
    svg += "<text class=\"tick\" x=\"" + Number(kLeft - 3) + "\" y=\"" + Number(y(value) + 3) + "\">" +
           Label(value, high - low) + "</text>\n";
  }
  // An upper limit's value above its line, a lower one's below.
  for (const Level& limit : limits) {
    const double at = y(limit.value);
    svg += "<line class=\"limit\" x1=\"" + Number(kLeft) + "\" x2=\"" + Number(kLeft + ReportPlotColumns) +
           "\" y1=\"" + Number(at) + "\" y2=\"" + Number(at) + "\"/>\n";
    svg += "<text class=\"limitlabel\" x=\"" + Number(kLeft + ReportPlotColumns - 2) + "\" y=\"" +
           Number(limit.upper ? at - 2 : at + 8) + "\">" + Label(limit.value, high - low) + "</text>\n";
  }
  if (points.empty()) {
    svg += "<text class=\"empty\" x=\"" + Number(kLeft + ReportPlotColumns / 2.0) + "\" y=\"" +
           Number(top + panel / 2) + "\">" + MarkupText(Tr("无读数")) + "</text>\n";
    return svg;
  }
  std::string path;
  for (const Point& p : points) {
    path += (p.penUp ? "M" : "L") + Number(x(p.column + 0.5)) + " " + Number(y(p.value));
  }
  return svg + "<path class=\"series\" d=\"" + path + "\"/>\n";
}

// The fields the step's measurements take, each once, in their order.
std::vector<size_t> FieldsOf(const testplan::Run& run) {
  std::vector<size_t> fields;
  for (const testplan::Measurement& m : run.measurements) {
    if (std::find(fields.begin(), fields.end(), m.field) == fields.end()) fields.push_back(m.field);
  }
  return fields;
}

}  // namespace

std::string RunPlotSvg(const testplan::Run& run, const RunSamples& samples, double fitIn) {
  const std::vector<size_t> fields = FieldsOf(run);
  // The panels share what the page leaves them, down to a least height.
  double panel = kFullPanel;
  if (fitIn > 0 && !fields.empty()) {
    const double share = (fitIn - kGap - kAxis) / static_cast<double>(fields.size()) - kGap;
    panel = std::clamp(share, kLeastPanel, kFullPanel);
  }
  const double planned = std::chrono::duration<double>(run.settle + run.window).count();
  const double read = samples.samples.empty() ? 0 : static_cast<double>(samples.samples.back().time) / 1e6;
  const double seconds = std::max({planned, read, 0.1});
  const double secondsPerColumn = seconds / ReportPlotColumns;
  double windowFrom = 0, windowTo = 0;
  if (samples.firstWindowSample < samples.samples.size()) {
    windowFrom = static_cast<double>(samples.samples[samples.firstWindowSample].time) / 1e6;
    windowTo = read;
  }
  const double height = kGap + static_cast<double>(fields.size()) * (panel + kGap) + kAxis;
  std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " + Number(kWidth) + " " +
                    Number(height) + "\" role=\"img\">\n";
  double top = kGap;
  for (const size_t field : fields) {
    svg += Panel(run, samples, field, top, panel, secondsPerColumn, windowFrom, windowTo);
    top += panel + kGap;
  }
  // The time axis: seconds from the command.
  const double step = TickStep(seconds, 10);
  const double axis = top - kGap;
  for (int i = 0; i * step <= seconds + 1e-9; ++i) {
    const double at = kLeft + i * step / secondsPerColumn;
    svg += "<line class=\"tickline\" x1=\"" + Number(at) + "\" x2=\"" + Number(at) + "\" y1=\"" + Number(axis) +
           "\" y2=\"" + Number(axis + 3) + "\"/><text class=\"time\" x=\"" + Number(at) + "\" y=\"" +
           Number(axis + 12) + "\">" + Label(i * step, step * 100) + "</text>\n";
  }
  svg += "<text class=\"axis\" x=\"" + Number(kLeft + ReportPlotColumns) + "\" y=\"" + Number(axis + 21) + "\">" +
         MarkupText(Tr("自命令起的时间 [s]")) + "</text>\n";
  return svg + "</svg>\n";
}

}  // namespace testrun

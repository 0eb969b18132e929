// The plot window against its budget: the main window offscreen polling the
// simulated driver at 10 Hz ("自动更新") with the motor running, first
// without the plot window (what the rest of the process takes), then with
// it as it opens (its 1-minute window and its two series), then with 4
// series (two units) over its 10-minute window, which is full from the
// start. Each phase prints the process's CPU as a share of one core (the
// simulated driver serves in this process and is counted too), how late a
// 10 ms probe timer on the window's thread fires, and the plot's redraws a
// second. Not a test: it prints figures.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <qcustomplot.h>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "BenchFigures.h"
#include "LatenessProbe.h"
#include "SimulatedLine.h"
#include "ui/DemoApp.h"
#include "ui/LivePlot.h"
#include "ui/MainDlg.h"
#include "ui/PlotWindow.h"
#include "ui/forms/ControlIds.h"

namespace {

// 输出PWM and 输入PWM in %, 换向频率 and 输入频率 in Hz.
constexpr size_t kSeries[] = {0, 3, 10, 11};

// Ten minutes of samples behind the live ones, as if the port had been
// open that long: the window's clock is moved back and filled.
void FillTenMinutes(const recording::StatusRecording& shown) {
  // The benchmark plays the poll of the last ten minutes.
  auto& store = const_cast<recording::StatusRecording&>(shown);
  const auto now = recording::SteadyClock::now();
  const auto start = now - std::chrono::seconds(600);
  store.Restart(start, recording::WallClock::now() - std::chrono::seconds(600));
  for (int i = 0; i < 6000; ++i) {
    StatusBlock status{};
    status.outputPwm = static_cast<int16_t>(i % 1000);
    status.commutationFrequency = static_cast<int16_t>(i % 700);
    status.inputPwm = static_cast<uint16_t>(i % 300);
    status.inputFrequency = static_cast<int16_t>(i % 50);
    store.Add(start + std::chrono::milliseconds(100 * i), status);
  }
}

struct Phase {
  double cpuShare = 0;
  double medianLateMs = 0;
  double p99LateMs = 0;
  double redraws = 0;
  double polls = 0;
};

// Runs the window's events for `seconds` and measures them.
Phase Measure(int seconds, const sim::SimulatedDriver& driver, const CPlotWindow* plot) {
  bench::LatenessProbe probe;
  const int redraws0 = plot != nullptr ? plot->Live()->Redraws() : 0;
  const uint64_t polls0 = driver.RequestCount();
  const double cpu0 = bench::CpuSeconds();
  probe.Start();
  bench::RunEvents(seconds * 1000);
  const double elapsed = probe.Stop();
  const double cpu = bench::CpuSeconds() - cpu0;
  const std::vector<double>& lateMs = probe.LateMs();
  Phase phase;
  phase.cpuShare = 100.0 * cpu / elapsed;
  phase.medianLateMs = bench::At(lateMs, 0.5);
  phase.p99LateMs = bench::At(lateMs, 0.99);
  phase.redraws = plot != nullptr ? (plot->Live()->Redraws() - redraws0) / elapsed : 0;
  phase.polls = (driver.RequestCount() - polls0) / elapsed;
  return phase;
}

// The window thread's CPU for one whole redraw of the live plot (layout,
// layers, paint) in milliseconds: the median of 20 rounds of 25, free of
// what else the process does and steadier than a share over time.
double RedrawMs(CPlotWindow& plot) {
  auto* canvas = plot.findChild<QCustomPlot*>(QStringLiteral("livePlot"));
  if (canvas == nullptr) return 0;
  std::vector<double> rounds;
  for (int round = 0; round < 20; ++round) {
    timespec t0{}, t1{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t0);
    for (int i = 0; i < 25; ++i) canvas->replot(QCustomPlot::rpImmediateRefresh);
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t1);
    rounds.push_back(((t1.tv_sec - t0.tv_sec) * 1e3 + (t1.tv_nsec - t0.tv_nsec) / 1e6) / 25);
  }
  return bench::Median(rounds);
}

void Print(const char* what, const Phase& phase) {
  std::printf("%s, polls %.1f /s: CPU %.2f %% of a core   probe late: median %.2f ms  p99 %.2f ms   redraws %.1f /s\n",
              what, phase.polls, phase.cpuShare, phase.medianLateMs, phase.p99LateMs, phase.redraws);
}

// A frequency run, so that the speed and the current move.
bool RunMotor(CMainDlg& dlg, const sim::SimulatedDriver& driver) {
  if (dlg.m_link.WriteSpeedCommand(dlg.m_address, 200, 0) != ResultSuccess) return false;
  bench::RunEvents(500);
  return driver.Register(0x0020) != 0;
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  UseCNumericConventions();

  SimulatedLine line(1, sim::DriverOptions{.learned = true});
  sim::SimulatedDriver& driver = line.Driver();

  auto dlg = std::make_unique<CMainDlg>();
  dlg->show();
  auto* open = qobject_cast<QAbstractButton*>(dlg->Control(forms::ids::OpenPortButton));
  open->click();
  if (!dlg->m_link.IsOpen()) {
    std::printf("the port did not open\n");
    return 1;
  }
  FillTenMinutes(dlg->Session().Recording());
  qobject_cast<QAbstractButton*>(dlg->Control(forms::ids::AutoUpdate))->click();
  if (!RunMotor(*dlg, driver)) {
    std::printf("the motor did not start\n");
    return 1;
  }
  bench::RunEvents(1000);
  Print("no plot window", Measure(seconds, driver, nullptr));

  dlg->OnPlotWindow();
  CPlotWindow* plot = dlg->PlotWindow();
  bench::RunEvents(1000);
  char what[160];
  std::snprintf(what, sizeof what, "plot window as opened, %zu series, 1-minute window",
                plot->Live()->Shown().size());
  Print(what, Measure(seconds, driver, plot));
  std::printf("  one redraw of the plot as opened: %.3f ms of the window thread's CPU\n", RedrawMs(*plot));

  for (QCheckBox* box : plot->findChildren<QCheckBox*>()) box->setChecked(false);
  for (const size_t field : kSeries) plot->SeriesBox(field)->setChecked(true);
  plot->Combo("windowLength")->setCurrentIndex(plot->Combo("windowLength")->count() - 1);
  bench::RunEvents(1000);
  std::snprintf(what, sizeof what, "plot window, 4 series, 10-minute window (%d points each)",
                plot->Live()->PointCount(kSeries[0]));
  Print(what, Measure(seconds, driver, plot));
  dlg.reset();
  return 0;
}

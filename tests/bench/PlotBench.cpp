// The plot window against its budget: the main window offscreen polling the
// simulated driver at 10 Hz ("自动更新"), the plot window open with 4 series
// (two units) over its 10-minute window, which is full from the start. It
// prints the process's CPU as a share of one core (the simulated driver
// serves in this process and is counted too), how late a 10 ms probe timer
// on the window's thread fires, and the plot's redraws a second. Not a
// test: it prints figures.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
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

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  UseCNumericConventions();

  SimulatedLine line(1);
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
  dlg->OnPlotWindow();
  CPlotWindow* plot = dlg->PlotWindow();
  for (QCheckBox* box : plot->findChildren<QCheckBox*>()) box->setChecked(false);
  for (const size_t field : kSeries) plot->SeriesBox(field)->setChecked(true);
  plot->Combo("windowLength")->setCurrentIndex(plot->Combo("windowLength")->count() - 1);
  bench::RunEvents(1000);

  bench::LatenessProbe probe;
  const int redraws0 = plot->Live()->Redraws();
  const uint64_t polls0 = driver.RequestCount();
  const double cpu0 = bench::CpuSeconds();
  probe.Start();
  bench::RunEvents(seconds * 1000);
  const double elapsed = probe.Stop();
  const double cpu = bench::CpuSeconds() - cpu0;
  const std::vector<double>& lateMs = probe.LateMs();
  std::printf("plot window, 4 series, 10-minute window (%d points each), polls %.1f /s: CPU %.2f %% of a core   "
              "probe late: median %.2f ms  p99 %.2f ms   redraws %.1f /s\n",
              plot->Live()->PointCount(kSeries[0]), (driver.RequestCount() - polls0) / elapsed,
              100.0 * cpu / elapsed, bench::At(lateMs, 0.5), bench::At(lateMs, 0.99),
              (plot->Live()->Redraws() - redraws0) / elapsed);
  dlg.reset();
  return 0;
}

// "生产测试" running a unit beside the main window: the window offscreen
// with its port open at 115200 bit/s to the simulated driver on a
// wire-timed line (the simulator in a process of its own, so that the
// process's CPU is the window's alone), "自动更新" ticked; first the window
// polling alone, then one unit of examples/production run from the station
// window, its prompt answered as it comes. Each phase prints how late a
// 10 ms probe timer on the window's thread fires (median, 99th percentile,
// maximum) and the process's CPU as a share of one core; then the budget:
// p99 at most 20 ms and CPU at most 5 % during the unit. Not a test: it
// prints figures.
// Usage: korvelt_station_bench [seconds of the polling phase]
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "BenchFigures.h"
#include "LatenessProbe.h"
#include "PtyPair.h"
#include "SimulatorProcess.h"
#include "ui/DemoApp.h"
#include "ui/MainDlg.h"
#include "ui/StationDlg.h"
#include "ui/forms/ControlIds.h"

namespace {

constexpr int Baud = 115200;
constexpr double LateBudgetMs = 20;
constexpr double CpuBudget = 5;

struct Phase {
  double seconds = 0, cpuShare = 0;
  bench::Lateness late;
};

// Runs the event loop while `going` holds (checked every 50 ms), at most
// `limitMs`, with the probe and the CPU counted meanwhile.
template <class Going>
Phase Measure(Going going, int limitMs) {
  Phase phase;
  bench::LatenessProbe probe;
  const double cpu0 = bench::CpuSeconds();
  probe.Start();
  for (int waited = 0; going() && waited < limitMs; waited += 50) bench::RunEvents(50);
  phase.seconds = probe.Stop();
  phase.cpuShare = 100.0 * (bench::CpuSeconds() - cpu0) / phase.seconds;
  phase.late = probe.Figures();
  return phase;
}

void Print(const char* what, const Phase& phase) {
  std::printf("%-28s %5.1f s   probe late: median %5.2f ms  p99 %6.2f ms  max %6.2f ms  (%zu firings)   CPU %5.2f %% "
              "of a core\n",
              what, phase.seconds, phase.late.medianMs, phase.late.p99Ms, phase.late.maxMs, phase.late.firings, phase.cpuShare);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  UseCNumericConventions();
  DataHome results;  // the unit's record goes to a folder of the bench's own

  PortsFolder ports;
  bench::SimulatorProcess sim(
      {"--com", "1", "--ports", ports.Path(), "--learned", "--wire", "--baud", std::to_string(Baud)});
  if (!sim.Ready()) return 1;

  auto dlg = std::make_unique<CMainDlg>();
  dlg->show();
  auto* rates = qobject_cast<QComboBox*>(dlg->Control(forms::ids::BaudCombo));
  rates->setCurrentIndex(rates->findText(QString::number(Baud)));
  qobject_cast<QAbstractButton*>(dlg->Control(forms::ids::OpenPortButton))->click();
  if (!dlg->m_link.IsOpen()) {
    std::printf("COM1 did not open at %d bit/s\n", Baud);
    return 1;
  }
  qobject_cast<QAbstractButton*>(dlg->Control(forms::ids::AutoUpdate))->click();
  bench::RunEvents(1000);
  std::printf("window offscreen, the simulated driver on a wire-timed line at %d bit/s (simulator in its own "
              "process), \"自动更新\" ticked\n",
              Baud);
  Print("the window polling", Measure([] { return true; }, seconds * 1000));

  CStationDlg* station = dlg->StationWindow();
  station->show();
  if (!station->LoadPlan(KORVELT_EXAMPLES_DIR "/production/kvb4815.json")) return 1;
  station->SerialEntry()->setText(QStringLiteral("KV4815-000001"));
  bench::RunEvents(500);
  station->Start();
  if (!station->Running()) {
    std::printf("the unit did not start\n");
    return 1;
  }
  // The operator confirms the prompt as soon as it shows.
  const Phase unit = Measure(
      [station] {
        if (station->PromptBox()->isVisible()) station->Continue();
        return station->Running();
      },
      120000);
  Print("a unit of the example plan", unit);
  std::printf("the unit ended %s\n", station->Banner()->text().toUtf8().constData());
  std::printf("budget: probe late p99 <= %.0f ms during the unit: %.2f ms, %s\n", LateBudgetMs, unit.late.p99Ms,
              unit.late.p99Ms <= LateBudgetMs ? "met" : "MISSED");
  std::printf("budget: CPU <= %.0f %% of a core during the unit: %.2f %%, %s\n", CpuBudget, unit.cpuShare,
              unit.cpuShare <= CpuBudget ? "met" : "MISSED");
  return 0;
}

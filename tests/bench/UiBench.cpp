// Benchmark of the window's responsiveness: the main window offscreen against
// the simulated driver on a pseudo-terminal, port open and "自动更新"
// ticked, for three behaviours of the driver (answering at once, after 70 ms,
// never). For each it prints how late a 10 ms probe timer on the
// user-interface thread fires (median, 99th percentile, maximum), the real
// poll rate, and how long the window then takes to close. Then the window
// polling a driver behind a Modbus TCP gateway (the simulator in a process
// of its own) while the gateway answers, while it is held (SIGSTOP: the
// connection stays up and nothing answers) and once it is killed (the
// connection drops): the probe's lateness in each phase and how long after
// the kill the window said the link was lost. Not a test: it prints figures.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QMessageBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "BenchFigures.h"
#include "LatenessProbe.h"
#include "PtyPair.h"
#include "SimulatorProcess.h"
#include "sim/SimulatedDriver.h"
#include "sim/SlaveServer.h"
#include "ui/DemoApp.h"
#include "ui/MainDlg.h"
#include "ui/MessageBox.h"
#include "ui/forms/ControlIds.h"

namespace {

constexpr int WarmUpMs = 500;

struct Behaviour {
  const char* name;
  sim::Fault fault;
};

using bench::RunEvents;

bool Click(CMainDlg& dlg, int controlId) {
  auto* button = qobject_cast<QAbstractButton*>(dlg.Control(controlId));
  if (button == nullptr) return false;
  button->click();
  return true;
}

using bench::At;

bool Measure(const Behaviour& behaviour, sim::SimulatedDriver& driver, int seconds) {
  driver.SetFault(behaviour.fault);
  auto dlg = std::make_unique<CMainDlg>();
  dlg->show();
  if (!Click(*dlg, forms::ids::OpenPortButton) || !dlg->m_link.IsOpen()) {
    std::printf("%s: the port did not open\n", behaviour.name);
    return false;
  }
  Click(*dlg, forms::ids::AutoUpdate);
  RunEvents(WarmUpMs);

  bench::LatenessProbe probe;
  const uint64_t requests0 = driver.RequestCount();
  probe.Start();
  RunEvents(seconds * 1000);
  const double elapsed = probe.Stop();
  const uint64_t polls = driver.RequestCount() - requests0;

  // Close while a poll is on its way: wait for the next request to reach the driver.
  const uint64_t before = driver.RequestCount();
  QElapsedTimer waited;
  waited.start();
  while (driver.RequestCount() == before && waited.elapsed() < 2000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  QElapsedTimer closing;
  closing.start();
  dlg.reset();
  const double closeMs = closing.nsecsElapsed() / 1e6;

  const std::vector<double>& lateMs = probe.LateMs();
  std::printf("%-22s probe late: median %6.2f ms  p99 %7.2f ms  max %7.2f ms  (%zu firings)   "
              "polls %5.2f /s   close %6.2f ms\n",
              behaviour.name, At(lateMs, 0.5), At(lateMs, 0.99), lateMs.empty() ? 0.0 : lateMs.back(), lateMs.size(),
              static_cast<double>(polls) / elapsed, closeMs);
  std::fflush(stdout);
  driver.ClearFault();
  return true;
}

void PrintLateness(const char* phase, const bench::LatenessProbe& probe, double elapsed, uint64_t polls) {
  const std::vector<double>& lateMs = probe.LateMs();
  std::printf("%-30s probe late: median %6.2f ms  p99 %7.2f ms  max %7.2f ms  (%zu firings)   polls %5.2f /s\n",
              phase, At(lateMs, 0.5), At(lateMs, 0.99), lateMs.empty() ? 0.0 : lateMs.back(), lateMs.size(),
              static_cast<double>(polls) / elapsed);
  std::fflush(stdout);
}

bool MeasureDroppedGateway(int seconds) {
  bench::SimulatorProcess gateway({"--modbus-tcp", "0"});
  if (!gateway.Ready()) return false;
  QElapsedTimer sinceKill;
  double lostAfterMs = -1;
  QString lostText;
  ui::MessageBoxHandler previous = ui::SetMessageBoxHandler([&](QWidget*, const QString&, const QString& text) {
    if (lostAfterMs < 0 && sinceKill.isValid()) {
      lostAfterMs = sinceKill.nsecsElapsed() / 1e6;
      lostText = text;
    }
    return static_cast<int>(QMessageBox::Ok);
  });
  auto dlg = std::make_unique<CMainDlg>();
  dlg->show();
  const QString port = QString("modbus-tcp://127.0.0.1:%1").arg(gateway.Port());
  auto* ports = qobject_cast<QComboBox*>(dlg->Control(forms::ids::PortCombo));
  if (ports == nullptr) return false;
  ports->setEditText(port);
  if (!Click(*dlg, forms::ids::OpenPortButton) || !dlg->m_link.IsOpen()) {
    std::printf("%s: the port did not open\n", port.toUtf8().constData());
    return false;
  }
  std::printf("window offscreen, simulated driver behind %s, \"自动更新\" ticked, %d s each\n", port.toUtf8().constData(),
              seconds);
  Click(*dlg, forms::ids::AutoUpdate);
  RunEvents(WarmUpMs);
  struct Phase {
    const char* name;
    int signal;  // sent as the phase starts; 0: none
  };
  const Phase phases[] = {{"gateway answers", 0}, {"gateway held (SIGSTOP)", SIGSTOP}, {"gateway killed", SIGKILL}};
  for (const Phase& phase : phases) {
    if (phase.signal == SIGKILL) sinceKill.start();
    if (phase.signal != 0) gateway.Signal(phase.signal);
    const uint64_t transactions0 = dlg->m_link.Statistics().transactions;
    bench::LatenessProbe probe;
    probe.Start();
    RunEvents(seconds * 1000);
    const double elapsed = probe.Stop();
    PrintLateness(phase.name, probe, elapsed, dlg->m_link.Statistics().transactions - transactions0);
  }
  if (lostAfterMs < 0) {
    std::printf("the window did not say the link was lost\n");
  } else {
    std::printf("link lost said %.1f ms after the kill: %s\n", lostAfterMs,
                lostText.section('\n', 0, 0).toUtf8().constData());
  }
  std::printf("port open afterwards: %s\n", dlg->m_link.IsOpen() ? "yes" : "no");
  dlg.reset();
  ui::SetMessageBoxHandler(previous);
  return lostAfterMs >= 0;
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  UseCNumericConventions();

  PtyPair pty;
  PortsFolder ports;
  ports.Map(1, pty.SlavePath());
  sim::SimulatedDriver driver;
  sim::SlaveServer server(driver, pty.Master());

  const Behaviour behaviours[] = {
      {"answers at once", {}},
      {"answers after 70 ms", sim::Fault::Delayed(std::chrono::milliseconds(70))},
      {"never answers", sim::Fault::Of(sim::FaultKind::NoAnswer)},
  };
  std::printf("window offscreen, simulated driver on COM1 (%s), \"自动更新\" ticked, %d s each\n",
              pty.SlavePath().c_str(), seconds);
  bool ok = true;
  for (const Behaviour& behaviour : behaviours) ok &= Measure(behaviour, driver, seconds);
  ok &= MeasureDroppedGateway(seconds);
  return ok ? 0 : 1;
}

// "总线总览" with a full line beside the main window: the window offscreen
// with its port open at 115200 bit/s to 32 simulated drivers on one
// wire-timed line (the simulator in a process of its own, so that the
// process's CPU is the window's alone), "自动更新" ticked; first without the
// overview, then with it open and all 32 drivers listed by address. Each
// phase prints how late a 10 ms probe timer on the window's thread fires
// (median, 99th percentile, maximum), the process's CPU as a share of one
// core, the window's own polls and the overview's reads a second, and the
// memory the process holds before and after; then the budget: p99 at most
// 20 ms and CPU at most 5 % with the overview open. Not a test: it prints
// figures.
// Usage: korvelt_overview_bench [seconds]
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QSpinBox>
#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "BenchFigures.h"
#include "LatenessProbe.h"
#include "PtyPair.h"
#include "SimulatorProcess.h"
#include "session/BusWatch.h"
#include "ui/BusOverviewDlg.h"
#include "ui/DemoApp.h"
#include "ui/MainDlg.h"
#include "ui/forms/ControlIds.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int Drivers = 32;
constexpr int Baud = 115200;
constexpr int WarmUpMs = 1000;
constexpr double LateBudgetMs = 20;
constexpr double CpuBudget = 5;

// Each thread's run time so far in nanoseconds and its voluntary switches
// (its wake-ups), by thread id, from /proc: where the process's CPU goes.
struct ThreadTimes {
  struct Times {
    uint64_t runNs = 0;
    uint64_t wakeUps = 0;
  };
  std::map<long, Times> byThread;

  static ThreadTimes Now() {
    ThreadTimes now;
    DIR* tasks = opendir("/proc/self/task");
    if (tasks == nullptr) return now;
    while (const dirent* entry = readdir(tasks)) {
      const long tid = std::atol(entry->d_name);
      if (tid <= 0) continue;
      Times times;
      const std::string folder = std::string("/proc/self/task/") + entry->d_name;
      if (std::FILE* f = std::fopen((folder + "/schedstat").c_str(), "r")) {
        unsigned long long ns = 0;
        if (std::fscanf(f, "%llu", &ns) == 1) times.runNs = ns;
        std::fclose(f);
      }
      if (std::FILE* f = std::fopen((folder + "/status").c_str(), "r")) {
        char line[256];
        unsigned long long switches = 0;
        while (std::fgets(line, sizeof line, f) != nullptr) {
          if (std::sscanf(line, "voluntary_ctxt_switches: %llu", &switches) == 1) times.wakeUps = switches;
        }
        std::fclose(f);
      }
      now.byThread[tid] = times;
    }
    closedir(tasks);
    return now;
  }
};

// What one thread took between two snapshots, as a share of a core and in
// wake-ups a second.
struct ThreadShare {
  long tid = 0;
  double cpuShare = 0;
  double wakeUps = 0;
};

std::vector<ThreadShare> Shares(const ThreadTimes& before, const ThreadTimes& after, double seconds) {
  std::vector<ThreadShare> shares;
  for (const auto& [tid, times] : after.byThread) {
    const auto was = before.byThread.find(tid);
    const ThreadTimes::Times start = was != before.byThread.end() ? was->second : ThreadTimes::Times{};
    shares.push_back({tid, 100.0 * static_cast<double>(times.runNs - start.runNs) / 1e9 / seconds,
                      static_cast<double>(times.wakeUps - start.wakeUps) / seconds});
  }
  std::sort(shares.begin(), shares.end(), [](const ThreadShare& a, const ThreadShare& b) { return a.cpuShare > b.cpuShare; });
  return shares;
}

struct Phase {
  bench::Lateness late;
  double cpuShare = 0;
  double polls = 0;       // the window's own status reads a second
  double watchReads = 0;  // the overview's reads a second, all rows together
  long residentBefore = -1, residentAfter = -1;
  std::vector<ThreadShare> threads;
};

double WatchReads(CMainDlg& dlg) {
  double reads = 0;
  for (const session::BusWatch::Row& row : dlg.BusWatch().Rows(Clock::now())) reads += row.readsPerSecond;
  return reads;
}

Phase Measure(CMainDlg& dlg, int seconds) {
  const recording::StatusRecording& recording = dlg.Session().Recording();
  Phase phase;
  phase.residentBefore = bench::ResidentBytes();
  bench::LatenessProbe probe;
  const uint64_t samples0 = recording.End();
  const double cpu0 = bench::CpuSeconds();
  const ThreadTimes threads0 = ThreadTimes::Now();
  probe.Start();
  bench::RunEvents(seconds * 1000);
  const double elapsed = probe.Stop();
  phase.cpuShare = 100.0 * (bench::CpuSeconds() - cpu0) / elapsed;
  phase.threads = Shares(threads0, ThreadTimes::Now(), elapsed);
  phase.polls = static_cast<double>(recording.End() - samples0) / elapsed;
  phase.watchReads = WatchReads(dlg);
  phase.residentAfter = bench::ResidentBytes();
  phase.late = probe.Figures();
  return phase;
}

void Print(const char* what, const Phase& phase) {
  std::printf("%-30s probe late: median %5.2f ms  p99 %6.2f ms  max %6.2f ms  (%zu firings)   CPU %5.2f %% of a core"
              "   polls %5.2f /s   overview reads %6.2f /s   resident %.1f -> %.1f MiB\n",
              what, phase.late.medianMs, phase.late.p99Ms, phase.late.maxMs, phase.late.firings, phase.cpuShare, phase.polls,
              phase.watchReads, phase.residentBefore / 1048576.0, phase.residentAfter / 1048576.0);
  std::printf("  by thread:");
  for (const ThreadShare& thread : phase.threads) {
    if (thread.cpuShare < 0.05) continue;
    std::printf("  %s %.2f %% (%.0f wake-ups/s)", thread.tid == getpid() ? "window" : std::to_string(thread.tid).c_str(),
                thread.cpuShare, thread.wakeUps);
  }
  std::printf("\n");
  std::fflush(stdout);
}

// Every listed driver has answered its identity and its status.
bool AllAnswered(CMainDlg& dlg) {
  const std::vector<session::BusWatch::Row> rows = dlg.BusWatch().Rows(Clock::now());
  if (rows.size() != Drivers) return false;
  for (const session::BusWatch::Row& row : rows) {
    if (!row.info || !row.status) return false;
  }
  return true;
}

bool OpenAt115200(CMainDlg& dlg) {
  auto* rates = qobject_cast<QComboBox*>(dlg.Control(forms::ids::BaudCombo));
  const int at = rates != nullptr ? rates->findText(QString::number(Baud)) : -1;
  if (at < 0) return false;
  rates->setCurrentIndex(at);
  auto* open = qobject_cast<QAbstractButton*>(dlg.Control(forms::ids::OpenPortButton));
  if (open == nullptr) return false;
  open->click();
  return dlg.m_link.IsOpen();
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  UseCNumericConventions();

  PortsFolder ports;
  bench::SimulatorProcess sim({"--com", "1", "--ports", ports.Path(), "--learned", "--wire", "--baud",
                               std::to_string(Baud), "--address", "1-" + std::to_string(Drivers)});
  if (!sim.Ready()) return 1;

  auto dlg = std::make_unique<CMainDlg>();
  dlg->show();
  if (!OpenAt115200(*dlg)) {
    std::printf("COM1 did not open at %d bit/s\n", Baud);
    return 1;
  }
  auto* autoUpdate = qobject_cast<QAbstractButton*>(dlg->Control(forms::ids::AutoUpdate));
  autoUpdate->click();
  bench::RunEvents(WarmUpMs);
  std::printf("window offscreen, %d simulated drivers on one wire-timed line at %d bit/s (simulator in its own "
              "process), \"自动更新\" ticked, %d s each\n",
              Drivers, Baud, seconds);
  Print("without the overview", Measure(*dlg, seconds));

  CBusOverviewDlg* overview = dlg->BusOverviewWindow();
  overview->show();
  auto* address = overview->findChild<QSpinBox*>();
  for (int a = 1; a <= Drivers; ++a) {
    address->setValue(a);
    overview->AddAddress();
  }
  // Each driver's identity is read once, before its first status: not
  // measured.
  const auto known = Clock::now();
  for (const auto deadline = known + std::chrono::seconds(60); !AllAnswered(*dlg) && Clock::now() < deadline;) {
    bench::RunEvents(100);
  }
  if (!AllAnswered(*dlg)) {
    std::printf("the %d drivers did not all answer within 60 s\n", Drivers);
    return 1;
  }
  std::printf("all %d rows identified and read after %.1f s\n", Drivers,
              std::chrono::duration<double>(Clock::now() - known).count());
  bench::RunEvents(WarmUpMs);
  char what[64];
  std::snprintf(what, sizeof what, "overview open, %d drivers", Drivers);
  const Phase open = Measure(*dlg, seconds);
  Print(what, open);

  std::printf("budget: probe late p99 <= %.0f ms with the overview open: %.2f ms, %s\n", LateBudgetMs, open.late.p99Ms,
              open.late.p99Ms <= LateBudgetMs ? "met" : "missed");
  std::printf("budget: CPU <= %.0f %% of a core with the overview open: %.2f %%, %s\n", CpuBudget, open.cpuShare,
              open.cpuShare <= CpuBudget ? "met" : "missed");
  overview->close();
  dlg.reset();
  sim.Stop();
  return 0;
}

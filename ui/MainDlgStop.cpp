// The stop that is always at hand: F9 in every window of the tool, and the
// stop buttons of the tool's other windows, send the stop command with the
// stop mode chosen on "电机控制". A scan that holds the port gives it back
// for the stop, and leaving the tool with the motor running asks first.
#include <QApplication>

#include "fields/OpenFailureText.h"
#include "link/PortDiagnosis.h"
#include "ui/MainDlg.h"
#include "ui/BusOverviewDlg.h"
#include "ui/MessageBox.h"
#include "ui/ScanDlg.h"
#include "ui/StationDlg.h"
#include "ui/Text.h"

namespace {

constexpr const char* kLeaveRunning = "电机正在运行。退出前是否停止电机?";
// By LeaveChoice.
const char* const kLeaveButtons[] = {"停止电机并退出(&S)", "退出, 电机继续运行(&Q)", "不退出(&C)"};
enum LeaveChoice : size_t { StopAndLeave, LeaveRunning, Stay };

}  // namespace

bool CMainDlg::StopMotor(QWidget* over) {
  // While a scan has the port, the stop cannot wait for it to end: the scan
  // ends within its try and the port is opened for the stop, then left as
  // the scan found it.
  bool closeAfter = false;
  if (m_session.Lent()) {
    const bool wasOpen = m_session.WasOpenWhenLent();
    if (m_scanDlg) m_scanDlg->EndScan();
    TakePortBack();
    if (!wasOpen) {
      const Line line = PanelSettings();
      UpdateAddress();
      closeAfter = OpenLine(line, session::Session::Open::SameSession);
    }
  }
  const ModbusResult result = m_link.WriteStopCommand(m_address, m_motorControlPage.StopMode());
  if (closeAfter) ClosePortAndButton();
  // Only a failure is shown, as for the page's own button.
  if (result != ResultSuccess) ui::ShowMessage(over != nullptr ? over : this, ResultText(result));
  return result == ResultSuccess;
}

void CMainDlg::OnStopShortcut() {
  // While the station tests a unit, the key ends it wherever it is pressed:
  // its run step's stop goes out on the unit's thread, and the record
  // keeps it as ABORTED.
  if (StationRunning()) {
    m_stationDlg->StopRun();
    return;
  }
  QWidget* modal = QApplication::activeModalWidget();
  // In "总线总览" the key stops every driver it lists.
  if (modal == nullptr && m_overviewDlg && QApplication::activeWindow() == m_overviewDlg.get()) {
    m_overviewDlg->StopAll();
    return;
  }
  StopMotor(modal != nullptr ? modal : QApplication::activeWindow());
}

bool CMainDlg::LendPortToScan() {
  const bool wasOpen = m_session.LendToScan();
  // The poll still out and the button go as for a close.
  if (wasOpen) ClosePortAndButton();
  return wasOpen;
}

void CMainDlg::TakePortBack() {
  // "自动更新" polls again on the next tick.
  switch (m_session.TakeBack([this](const Line& line) { return OpenLink(line); })) {
    case session::Session::Return::Reopened:
      LineOpened();
      break;
    case session::Session::Return::ReopenFailed:
      ui::ShowMessage(this, fields::OpenFailureMessage(DiagnoseOpenFailure(m_link.LastOpenFailure())));
      break;
    case session::Session::Return::Nothing:
      break;
  }
}

bool CMainDlg::MotorRunning() {
  if (!m_link.IsOpen()) return false;
  StatusBlock status{};
  if (m_link.ReadStatus(m_address, status) != ResultSuccess) return false;
  const bool turning = status.motorSpeed != 0 && status.motorSpeed != 0xFFFF;
  return status.outputPwm != 0 || turning;
}

// "文件" → "退出", Esc and the window's close all come here.
void CMainDlg::reject() {
  // A unit under test ends first, its stop and record with it.
  if (StationRunning()) m_stationDlg->reject();
  // A scan's port comes back first, so that the motor can be asked about.
  if (m_session.Lent()) {
    if (m_scanDlg) m_scanDlg->EndScan();
    TakePortBack();
  }
  if (MotorRunning()) {
    std::vector<QString> buttons;
    for (const char* button : kLeaveButtons) buttons.push_back(Tr(button));
    switch (ui::AskChoice(this, lang::Tr(kLeaveRunning), buttons)) {
      case StopAndLeave:
        // A stop that failed has said why; the operator stays with the motor.
        if (!StopMotor(this)) return;
        break;
      case LeaveRunning:
        break;
      default:
        return;
    }
  }
  QDialog::reject();
}

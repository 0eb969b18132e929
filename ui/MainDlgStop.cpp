// The stop that is always at hand: F9 in every window of the tool, and the
// stop buttons of the tool's other windows, send the stop command with the
// stop mode chosen on "电机控制".
#include <QApplication>

#include "ui/MainDlg.h"
#include "ui/MessageBox.h"

void CMainDlg::StopMotor(QWidget* over) {
  const ModbusResult result = m_link.WriteStopCommand(m_address, m_motorControlPage.StopMode());
  // Only a failure is shown, as for the page's own button.
  if (result != ResultSuccess) ui::ShowMessage(over != nullptr ? over : this, ResultText(result));
}

void CMainDlg::OnStopShortcut() { StopMotor(QApplication::activeWindow()); }

// The tools menu's windows: the bus scan, which borrows the connection
// panel's port and hands a driver it found back to the panel, and the frame
// log of every transaction.
#include <QComboBox>

#include "ui/MainDlg.h"
#include "ui/ScanDlg.h"
#include "ui/Text.h"
#include "ui/TrafficDlg.h"
#include "ui/forms/ConnectionPanel.h"

namespace {

// A tool window shown, or brought to the front when it is already.
void Present(QWidget* window) {
  window->show();
  window->raise();
  window->activateWindow();
}

}  // namespace

CScanDlg* CMainDlg::ScanWindow() {
  if (!m_scanDlg) m_scanDlg = std::make_unique<CScanDlg>(*this);
  return m_scanDlg.get();
}

CTrafficDlg* CMainDlg::TrafficWindow() {
  if (!m_trafficDlg) m_trafficDlg = std::make_unique<CTrafficDlg>(*this, m_frameLog);
  return m_trafficDlg.get();
}

void CMainDlg::OnScan() { Present(ScanWindow()); }

void CMainDlg::OnTraffic() { Present(TrafficWindow()); }

CMainDlg::PanelLine CMainDlg::PanelSettings() {
  UpdateData(true);
  PanelLine line;
  line.comNumber = static_cast<unsigned>(m_portIndex + 1);
  const bool rateChosen = m_baudCombo != nullptr && m_baudIndex >= 0 && m_baudIndex < m_baudCombo->count();
  if (rateChosen) line.baud = forms::BaudRateFromText(ToStdString(m_baudCombo->itemText(m_baudIndex)));
  line.parity = m_parityIndex;
  return line;
}

bool CMainDlg::ReleasePort() {
  if (!m_link.IsOpen()) return false;
  ClosePortAndButton();
  return true;
}

void CMainDlg::UseDriver(uint8_t address, int baud, int parity) {
  ReleasePort();
  UpdateData(true);
  const forms::AddressSwitches switches = forms::SwitchesForAddress(address);
  std::copy(switches.begin(), switches.end(), std::begin(m_addressBits));
  for (int i = 0; m_baudCombo != nullptr && i < m_baudCombo->count(); ++i) {
    if (forms::BaudRateFromText(ToStdString(m_baudCombo->itemText(i))) == baud) m_baudIndex = i;
  }
  m_parityIndex = parity;
  UpdateData(false);
  OnOpenPort();
}

// The tools menu's windows: the bus scan, which borrows the connection
// panel's port and hands a driver it found back to the panel, the overview
// of the line's drivers, the frame log of every transaction and the
// production test station, which runs its units on the panel's port.
#include <QComboBox>

#include "ui/MainDlg.h"
#include "ui/BusOverviewDlg.h"
#include "ui/ScanDlg.h"
#include "ui/StationDlg.h"
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
  if (!m_scanDlg) {
    m_scanDlg = std::make_unique<CScanDlg>(CScanDlg::Owner{
        this, [this] { return PanelSettings(); }, [this] { return LendPortToScan(); }, [this] { TakePortBack(); },
        m_session.FrameLogOfLink(),
        [this](uint8_t address, int baud, Parity parity) { return UseDriver(address, baud, parity); }});
  }
  return m_scanDlg.get();
}

CTrafficDlg* CMainDlg::TrafficWindow() {
  if (!m_trafficDlg) m_trafficDlg = std::make_unique<CTrafficDlg>(*this, m_session.FrameLogOfLink());
  return m_trafficDlg.get();
}

CBusOverviewDlg* CMainDlg::BusOverviewWindow() {
  if (!m_overviewDlg) {
    m_overviewDlg = std::make_unique<CBusOverviewDlg>(CBusOverviewDlg::Owner{
        this, &m_busWatch, &m_link,
        [this] { return m_scanDlg ? m_scanDlg->Results() : std::vector<scan::Found>{}; },
        [this] { return m_motorControlPage.StopMode(); }, [this](uint8_t address) { UseAddress(address); },
        [this] { return paramfile::HeaderNow(m_session.Origin()); }, [this] { return m_paramFiles->Jobs().Running(); },
        [this](std::function<void()> scanned) {
          ScanWindow()->AfterNextScan(std::move(scanned));
          Present(ScanWindow());
        }});
  }
  return m_overviewDlg.get();
}

CStationDlg* CMainDlg::StationWindow() {
  if (!m_stationDlg) {
    m_stationDlg = std::make_unique<CStationDlg>(CStationDlg::Owner{
        this, &m_session,
        [this] { return m_session.CaptureRunning() || m_paramFiles->Jobs().Running() || m_session.Lent(); },
        [this] { StopMotor(m_stationDlg.get()); }});
  }
  return m_stationDlg.get();
}

bool CMainDlg::StationRunning() const { return m_stationDlg && m_stationDlg->Running(); }

void CMainDlg::OnStation() { Present(StationWindow()); }

void CMainDlg::OnScan() { Present(ScanWindow()); }

void CMainDlg::OnBusOverview() { Present(BusOverviewWindow()); }

void CMainDlg::OnTraffic() { Present(TrafficWindow()); }

Line CMainDlg::PanelSettings() {
  UpdateData(true);
  Line line;
  line.port = PanelPort();
  const bool rateChosen = m_baudCombo != nullptr && m_baudIndex >= 0 && m_baudIndex < m_baudCombo->count();
  if (rateChosen) line.baud = forms::BaudRateFromText(ToStdString(m_baudCombo->itemText(m_baudIndex)));
  line.parity = ParityFromIndex(m_parityIndex);
  return line;
}

bool CMainDlg::ReleasePort() {
  if (!m_link.IsOpen()) return false;
  ClosePortAndButton();
  return true;
}

bool CMainDlg::UseDriver(uint8_t address, int baud, Parity parity) {
  ReleasePort();
  UpdateData(true);
  const forms::AddressSwitches switches = forms::SwitchesForAddress(address);
  std::copy(switches.begin(), switches.end(), std::begin(m_addressBits));
  for (int i = 0; m_baudCombo != nullptr && i < m_baudCombo->count(); ++i) {
    if (forms::BaudRateFromText(ToStdString(m_baudCombo->itemText(i))) == baud) m_baudIndex = i;
  }
  m_parityIndex = ParityIndex(parity);
  UpdateData(false);
  OnOpenPort();
  return m_link.IsOpen();
}

void CMainDlg::UseAddress(uint8_t address) {
  UpdateData(true);
  const forms::AddressSwitches switches = forms::SwitchesForAddress(address);
  std::copy(switches.begin(), switches.end(), std::begin(m_addressBits));
  UpdateData(false);
  UpdateAddress();
}

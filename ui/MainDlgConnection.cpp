// The connection panel: port, baud rate and parity, the address switches and
// the open/close button.
#include <QComboBox>
#include <QEvent>
#include <QFileInfo>
#include <QPushButton>

#include "link/Line.h"
#include "link/PortDiagnosis.h"
#include "link/PortNames.h"
#include "link/PortText.h"
#include "ui/Connecting.h"
#include "ui/MainDlg.h"
#include "ui/MessageBox.h"
#include "ui/Retranslate.h"
#include "ui/TabCtrl.h"
#include "ui/Text.h"
#include "ui/forms/ConnectionPanel.h"
#include "ui/forms/ControlIds.h"
#include "ui/forms/DialogLayout.h"
#include "fields/OpenFailureText.h"

namespace {

constexpr const char* kScanHoldsPort = "扫描正在使用串口。请等扫描结束, 或先取消扫描。";

}  // namespace

void CMainDlg::UpdateAddress() {
  UpdateData(true);
  forms::AddressSwitches checked{};
  std::copy(std::begin(m_addressBits), std::end(m_addressBits), checked.begin());
  const uint8_t address = forms::AddressFromSwitches(checked);
  if (address != m_address) DiscardStatusPoll();
  m_address = address;
}

void CMainDlg::OnAddressSwitch() { UpdateAddress(); }

void CMainDlg::OnOpenPort() {
  UpdateAddress();  // takes all controls into their members first
  if (m_session.Lent()) {
    ui::ShowMessage(this, Tr(kScanHoldsPort));
    return;
  }
  if (m_link.IsOpen()) {
    // A step test ends with its stop command: it goes out before the port
    // closes, so closing never leaves the motor running. One write, waited
    // for at most a transaction's time-out.
    m_session.EndCapture();
    ClosePortAndButton();
    return;
  }
  // No rate selected (or no list) is a failed open, not a rate of 0.
  const bool rateChosen = m_baudCombo != nullptr && m_baudIndex >= 0 && m_baudIndex < m_baudCombo->count();
  const int baudRate = rateChosen ? forms::BaudRateFromText(ToStdString(m_baudCombo->itemText(m_baudIndex))) : 0;
  const std::string port = PanelPort();
  if (!rateChosen) {
    ui::ShowMessage(this, Tr(forms::texts::OpenFailed));
  } else if (!OpenLine({port, baudRate, ParityFromIndex(m_parityIndex)}, session::Session::Open::NewSession)) {
    // Looked up now, while the cause (a holder, a missing adapter) is still there.
    ui::ShowMessage(this, fields::OpenFailureMessage(DiagnoseOpenFailure(m_link.LastOpenFailure())));
  } else {
    RememberPort(port);
  }
}

std::string CMainDlg::PanelPort() const {
  auto* ports = m_controls.As<QComboBox>(forms::ids::PortCombo);
  const QString typed = ports != nullptr ? ports->currentText().trimmed() : QString();
  if (typed.isEmpty()) return "COM" + std::to_string(m_portIndex + 1);
  return ToStdString(typed);
}

void CMainDlg::RememberPort(const std::string& port) {
  constexpr int kRemembered = 5;
  auto* ports = m_controls.As<QComboBox>(forms::ids::PortCombo);
  if (ports == nullptr) return;
  const QString text = ToQString(port);
  const int comItems = static_cast<int>(forms::ComboItems(forms::ids::PortCombo).size());
  const int at = ports->findText(text, Qt::MatchFixedString);
  if (at >= 0 && at < comItems) return;  // a COM item, typed
  if (at >= 0) ports->removeItem(at);
  ports->insertItem(comItems, text);
  while (ports->count() > comItems + kRemembered) ports->removeItem(ports->count() - 1);
  ports->setCurrentIndex(comItems);
}

bool CMainDlg::OpenLink(const Line& line) {
  if (!IsNetworkPort(line.port)) return m_link.OpenLine(line) != 0;
  // The window keeps painting while the connection comes; the poll waits
  // for the session to have noted the line.
  m_connecting = true;
  const bool opened = ui::OpenWhileShowing(this, ToQString(line.port), [&] { return m_link.OpenLine(line) != 0; });
  m_connecting = false;
  return opened;
}

bool CMainDlg::OpenLine(const Line& line, session::Session::Open how) {
  if (!OpenLink(line)) return false;
  m_session.NoteOpened(line, how);
  LineOpened();
  return true;
}

void CMainDlg::LineOpened() {
  m_pollRate.Restart(forms::PollRate::Clock::now());
  ShowPortButton();
}

void CMainDlg::ShowPortButton() {
  if (auto* button = m_controls.As<QPushButton>(forms::ids::OpenPortButton)) {
    ui::SetSourceText(button, m_link.IsOpen() ? forms::texts::ClosePort : forms::texts::OpenPort);
  }
}

void CMainDlg::ClosePortAndButton() {
  DiscardStatusPoll();
  m_session.Close();
  ShowPortButton();
}

// Closing what is left of the port lets the operator open it again once the
// adapter is back, and stops the status poll.
void CMainDlg::OnPortLost() {
  const std::string device = m_link.DevicePath();
  ClosePortAndButton();
  ui::ShowMessage(this, lang::Fill(lang::Tr(forms::texts::PortLost), {device}));
}

// The item texts stay "COM1".."COM15"; the tooltips tell which device each
// number reaches on this machine, and the adapter's name that survives
// replugging where it has one, looked up again whenever the operator
// reaches for the list, since adapters come and go.
void CMainDlg::RefreshPortTooltips() {
  auto* ports = m_controls.As<QComboBox>(forms::ids::PortCombo);
  if (ports == nullptr) return;
  for (int i = 0; i < ports->count(); ++i) {
    // Typed ports after the COM items name themselves.
    const unsigned number = ComNumberOf(ToStdString(ports->itemText(i)));
    if (number == 0) continue;
    const QString path = QString::fromStdString(ResolveComPort(number));
    QString tip;
    if (!path.isEmpty()) {
      const QFileInfo info(path);
      tip = info.isSymLink() ? path + QStringLiteral(" \u2192 ") + info.symLinkTarget() : path;
      const QString stable = QString::fromStdString(StableDeviceName(path.toStdString()));
      if (!stable.isEmpty() && !tip.contains(stable)) tip += QLatin1Char('\n') + stable;
    }
    ports->setItemData(i, tip, Qt::ToolTipRole);
  }
  ports->setToolTip(ports->itemData(ports->currentIndex(), Qt::ToolTipRole).toString());
}

bool CMainDlg::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::LayoutRequest && m_tab != nullptr) {
    auto* page = qobject_cast<QWidget*>(watched);
    const bool aPage = page != nullptr && page->parentWidget() == m_tab;
    if (aPage && page->minimumSizeHint().width() > PageArea().width()) {
      FitToTexts();
    }
  }
  if (watched == m_controls.Get(forms::ids::PortCombo) &&
      (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::ToolTip ||
       event->type() == QEvent::KeyPress)) {
    RefreshPortTooltips();
  }
  return QDialog::eventFilter(watched, event);
}

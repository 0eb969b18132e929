// The 100 ms tick: a port that went away, the traffic display, the
// statistics line and, while the port is open, the status poll of
// "自动更新" and of the drivers "总线总览" watches, which wait for the
// drivers on a worker of their own and share the line in turn.
#include <QLineEdit>

#include "ui/MainDlg.h"
#include "ui/Text.h"
#include "ui/forms/ControlIds.h"
#include "fields/HexText.h"
#include "ui/forms/BoxTexts.h"

namespace {

// How long one tick's poll may keep the line for the watched drivers: just
// under the tick, so that the next tick finds the worker free.
constexpr auto kWatchTurn = std::chrono::milliseconds(90);

// Rewriting an unchanged text would reset the operator's selection and
// scroll position in the edit. A new text is shown from its first byte.
void SetIfChanged(QLineEdit* edit, const std::string& text) {
  if (edit == nullptr) return;
  const QString newText = ToQString(text);
  if (edit->text() == newText) return;
  edit->setText(newText);
  edit->setCursorPosition(0);
}

}  // namespace

void CMainDlg::OnAutoUpdate() {
  UpdateData(true);
  DiscardStatusPoll();
  if (m_autoUpdate != 0) m_pollRate.Restart(forms::PollRate::Clock::now());
}

void CMainDlg::OnTimer() {
  if (m_connecting) return;
  if (m_link.PortLost()) OnPortLost();
  SetIfChanged(m_controls.As<QLineEdit>(forms::ids::SentFrame), fields::FormatHexBytes(m_link.LastSentFrame()));
  SetIfChanged(m_controls.As<QLineEdit>(forms::ids::ReceivedFrame),
               fields::FormatHexBytes(m_link.LastReceivedFrame()));
  ShowStatistics();
  if (!m_link.IsOpen()) return;
  if (m_session.CaptureRunning()) {
    if (m_autoUpdate != 0) ShowCapturedStatus();
    return;
  }
  if (m_autoUpdate != 0 || !m_busWatch.Empty()) StartStatusPoll();
}

// While a capture holds the poll, the box shows its newest sample that read
// the whole block, so that it does not look stuck.
void CMainDlg::ShowCapturedStatus() {
  recording::Sample newest[1];
  const uint64_t end = m_session.Recording().End();
  if (end == 0 || m_session.Recording().Copy(end - 1, newest).count == 0 || newest[0].read != recording::WholeBlock) return;
  ShowStatus(newest[0].status);
}

void CMainDlg::ShowStatus(const StatusBlock& status) {
  m_shownStatus = status;
  for (const forms::FieldText& field : forms::StatusTexts(status)) SetControlText(field.controlId, field.text);
}

void CMainDlg::ShowStatusFailure(ModbusResult result) {
  m_shownStatus.reset();
  m_shownStatusFailure = result;
  const std::string text = ResultText(result);
  for (int controlId : forms::StatusFailureFields()) SetControlText(controlId, text);
}

void CMainDlg::ShowStatistics() {
  const double pollsPerSecond = m_pollRate.PerSecond(forms::PollRate::Clock::now());
  SetControlText(forms::ids::StatisticsLine, forms::StatisticsText(m_link.Statistics(), pollsPerSecond));
}

// The read waits for the driver on the worker, so a slow or silent driver
// never holds up the window. A tick that finds the last poll still out
// starts none: polls never pile up behind a slow line.
void CMainDlg::StartStatusPoll() {
  // A capture reads the status as fast as the line goes, and so does a
  // unit's measuring window; the poll waits.
  if (m_session.CaptureRunning() || StationRunning()) return;
  const uint8_t address = m_address;
  const unsigned generation = m_pollGeneration;
  const bool ownPoll = m_autoUpdate != 0;
  m_pollWorker.Post([this, address, generation, ownPoll] {
    const auto at = recording::SteadyClock::now();
    // The watched drivers fill the rest of the tick, after the window's own
    // read, so the line stays busy without the two queueing up.
    if (!m_busWatch.Empty()) {
      const auto until = session::BusWatch::Clock::now() + kWatchTurn;
      if (ownPoll) PollOwnStatus(address, generation, at);
      m_busWatch.PollTurn(m_link, until);
      return;
    }
    if (ownPoll) PollOwnStatus(address, generation, at);
  });
}

void CMainDlg::PollOwnStatus(uint8_t address, unsigned generation, recording::SteadyClock::time_point at) {
  StatusBlock status{};
  const ModbusResult result = m_link.ReadStatus(address, status);
  // Every poll goes into the recording; a failed one is a gap.
  recording::Record(m_session.Recording(), {at, result, status, result == ResultSuccess ? recording::WholeBlock : 0u});
  // Queued to the window: the fields are set on its thread. The window
  // joins this worker before it goes, so it is there to receive.
  QMetaObject::invokeMethod(
      this, [this, generation, result, status] { OnStatusPolled(generation, result, status); },
      Qt::QueuedConnection);
}

void CMainDlg::OnStatusPolled(unsigned generation, ModbusResult result, const StatusBlock& status) {
  // Closed, unticked or readdressed since the poll began: it shows nothing.
  if (generation != m_pollGeneration || m_autoUpdate == 0 || !m_link.IsOpen()) return;
  m_pollRate.Count(forms::PollRate::Clock::now());
  if (result == ResultSuccess) {
    ShowStatus(status);
    return;
  }
  // A poll that fails shows why in the live measurements and tries again on
  // the next tick; no box, so polling never stops the operator.
  ShowStatusFailure(result);
}

void CMainDlg::StopStatusPoll() {
  DiscardStatusPoll();
  // Closing the port ends a read that waits for an answer at once; the
  // link's own end would close it a moment later anyway.
  m_link.ClosePort();
  m_pollWorker.Stop();
}

// The 100 ms tick: a port that went away, the traffic display and, while
// "自动更新" is ticked and the port is open, the status poll.
#include <QLineEdit>

#include "ui/MainDlg.h"
#include "ui/Text.h"
#include "ui/forms/ControlIds.h"
#include "ui/forms/HexText.h"
#include "ui/forms/StatusTexts.h"

namespace {

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

void CMainDlg::OnAutoUpdate() { UpdateData(true); }

void CMainDlg::OnTimer() {
  if (m_link.PortLost()) OnPortLost();
  SetIfChanged(m_controls.As<QLineEdit>(forms::ids::SentFrame), forms::FormatHexBytes(m_link.LastSentFrame()));
  SetIfChanged(m_controls.As<QLineEdit>(forms::ids::ReceivedFrame),
               forms::FormatHexBytes(m_link.LastReceivedFrame()));
  if (m_autoUpdate == 0 || !m_link.IsOpen()) return;

  StatusBlock status{};
  const ModbusResult result = m_link.ReadStatus(m_address, status);
  if (result == ResultSuccess) {
    for (const forms::FieldText& field : forms::StatusTexts(status)) SetControlText(field.controlId, field.text);
    return;
  }
  // A poll that fails shows why in the live measurements and tries again on
  // the next tick; no box, so polling never stops the operator.
  const std::string text = ResultText(result);
  for (int controlId : forms::StatusFailureFields()) SetControlText(controlId, text);
}

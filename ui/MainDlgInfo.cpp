// Device information and identification, read on demand.
#include <QLabel>

#include "ui/MainDlg.h"
#include "ui/Text.h"
#include "ui/MessageBox.h"
#include "ui/forms/BoxTexts.h"

void CMainDlg::OnReadInfo() {
  DeviceInfoBlock info{};
  UpdateData(true);
  const ModbusResult result = m_link.ReadDeviceInfo(m_address, info);
  if (result != ResultSuccess) {
    ui::ShowMessage(this, ResultText(result));
    return;
  }
  ShowDeviceInfo(info);
}

void CMainDlg::ShowDeviceInfo(const DeviceInfoBlock& info) {
  m_shownInfo = info;
  for (const forms::FieldText& field : forms::DeviceInfoTexts(info)) SetControlText(field.controlId, field.text);
}

void CMainDlg::OnOemInfo() {
  std::string text;
  const ModbusResult result = m_link.ReadDeviceIdentificationText(m_address, text);
  ui::ShowMessage(this, result == ResultSuccess ? text : ResultText(result));
}

std::string CMainDlg::ControlText(int controlId) const {
  auto* label = qobject_cast<QLabel*>(m_controls.Get(controlId));
  return label != nullptr ? ToStdString(label->text()) : std::string();
}

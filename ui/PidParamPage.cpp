#include "ui/PidParamPage.h"

#include "ui/forms/PidParamForm.h"

namespace pid = forms::pid;

CPidParamPage::CPidParamPage() : CFieldPage(IDD), m_gains(pid::Gains(), pid::ConfigureButton) {}

bool CPidParamPage::OnInitDialog() {
  Build(pid::Groups(), {pid::Gains(), pid::Controls()});
  Bind(m_gains);
  OnClicked(pid::ReadButton, &CPidParamPage::OnReadPid);
  OnClicked(pid::ConfigureButton, &CPidParamPage::OnConfigurePid);
  EnableControl(pid::ConfigureButton, false);
  return true;
}

void CPidParamPage::OnReadPid() { ReadBlock(m_gains, &DriverLink::ReadPid); }

void CPidParamPage::OnConfigurePid() { ConfigureBlock(m_gains, &DriverLink::WritePid); }

bool CPidParamPage::ShowParamBlock(const fields::ParamBlock& block, const uint8_t* record) {
  return ShowIfBlock(m_gains, RegisterMap::Pid, block, record);
}

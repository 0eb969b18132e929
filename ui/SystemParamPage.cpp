#include "ui/SystemParamPage.h"

#include <QComboBox>
#include <QLineEdit>

#include "ui/Text.h"
#include "ui/forms/SystemParamForm.h"

namespace sys = forms::sysparam;

CSystemParamPage::CSystemParamPage() : CFieldPage(IDD), m_params(sys::Fields(), sys::ConfigureButton) {}

bool CSystemParamPage::OnInitDialog() {
  Build(sys::Groups(), {sys::Fields(), sys::Controls()});
  Bind(m_params);
  OnClicked(sys::ReadButton, &CSystemParamPage::OnReadSystemParams);
  OnClicked(sys::ConfigureButton, &CSystemParamPage::OnConfigureSystemParams);
  // Only the operator's choice: a read that selects an item must leave the
  // ranges it read as they are.
  OnActivated(sys::AnalogTypeList, &CSystemParamPage::OnSelchangeAnalogType);
  OnActivated(sys::LogicLevelList, &CSystemParamPage::OnSelchangeLogicLevel);
  EnableControl(sys::ConfigureButton, false);
  return true;
}

void CSystemParamPage::OnReadSystemParams() { ReadBlock(m_params, &DriverLink::ReadSystemParams); }

void CSystemParamPage::OnConfigureSystemParams() { ConfigureBlock(m_params, &DriverLink::WriteSystemParams); }

void CSystemParamPage::OnSelchangeAnalogType() { ApplyListDefaults(sys::AnalogTypeList); }

void CSystemParamPage::OnSelchangeLogicLevel() { ApplyListDefaults(sys::LogicLevelList); }

void CSystemParamPage::ApplyListDefaults(int listId) {
  auto* list = m_controls.As<QComboBox>(listId);
  if (list == nullptr) return;
  for (const sys::ListDefault& entry : sys::ListDefaults()) {
    if (entry.list != listId || entry.selection != list->currentIndex()) continue;
    if (auto* edit = m_controls.As<QLineEdit>(entry.edit)) edit->setText(ToQString(entry.text));
  }
}

bool CSystemParamPage::ShowParamBlock(const fields::ParamBlock& block, const uint8_t* record) {
  return ShowIfBlock(m_params, RegisterMap::SystemParams, block, record);
}

#include "ui/ReciprocatePage.h"

#include <algorithm>
#include <cstring>

#include "ui/forms/ReciprocateForm.h"

namespace rec = forms::reciprocate;

CReciprocatePage::CReciprocatePage()
    : CFieldPage(IDD),
      m_reciprocation(rec::Reciprocation(), rec::ConfigureReciprocateButton),
      m_presetSpeeds(rec::PresetSpeeds(0), rec::ConfigurePresetButton) {}

bool CReciprocatePage::OnInitDialog() {
  Build(rec::Groups(), {rec::Reciprocation(), rec::PresetSpeeds(0), rec::Controls()});
  Bind(m_reciprocation);
  Bind(m_presetSpeeds);
  OnClicked(rec::ReadReciprocateButton, &CReciprocatePage::OnReadReciprocate);
  OnClicked(rec::ConfigureReciprocateButton, &CReciprocatePage::OnConfigureReciprocate);
  OnClicked(rec::ReadPresetButton, &CReciprocatePage::OnReadPresetSpeed);
  OnClicked(rec::ConfigurePresetButton, &CReciprocatePage::OnConfigurePresetSpeed);
  OnClicked(rec::ResetSq2Button, &CReciprocatePage::OnResetSq2);
  OnClicked(rec::ResetSq1Button, &CReciprocatePage::OnResetSq1);
  OnClicked(rec::MeasureStrokeButton, &CReciprocatePage::OnMeasureStroke);
  OnClicked(rec::CancelButton, &CReciprocatePage::OnCancelOperation);
  EnableControl(rec::ConfigureReciprocateButton, false);
  EnableControl(rec::ConfigurePresetButton, false);
  // The watch runs for the page's whole life, shown or hidden.
  m_watch.setParent(this);
  m_watch.setInterval(WatchPeriodMs);
  connect(&m_watch, &QTimer::timeout, this, &CReciprocatePage::OnTimer);
  m_watch.start();
  return true;
}

void CReciprocatePage::OnDestroy() { m_watch.stop(); }

void CReciprocatePage::OnReadReciprocate() { ReadBlock(m_reciprocation, &DriverLink::ReadReciprocate); }

void CReciprocatePage::OnConfigureReciprocate() { ConfigureBlock(m_reciprocation, &DriverLink::WriteReciprocate); }

// The speeds' scale is the one of the mode read.
void CReciprocatePage::OnReadPresetSpeed() {
  PresetSpeedBlock record{};
  if (ReadRecord(&DriverLink::ReadPresetSpeed, record)) {
    ShowRecord(m_presetSpeeds, record, rec::PresetSpeeds(record.speedMode));
  }
}

// The speeds' scale is the one of the mode about to be sent.
void CReciprocatePage::OnConfigurePresetSpeed() {
  m_presetSpeeds.form.Take();
  const uint16_t mode = rec::SpeedModeToSend(m_presetSpeeds.form.Values(), m_presetSpeeds.lastRead);
  ConfigureBlock(m_presetSpeeds, &DriverLink::WritePresetSpeed, rec::PresetSpeeds(mode));
}

void CReciprocatePage::OnResetSq2() { SendCommand(RegisterMap::ReciprocateResetSq2); }

void CReciprocatePage::OnResetSq1() { SendCommand(RegisterMap::ReciprocateResetSq1); }

void CReciprocatePage::OnMeasureStroke() {
  if (SendCommand(RegisterMap::ReciprocateMeasureStroke)) m_measuring = true;
}

// The watch goes on until the register reads 0.
void CReciprocatePage::OnCancelOperation() { SendCommand(RegisterMap::ReciprocateCancel); }

bool CReciprocatePage::SendCommand(uint16_t value) {
  const ModbusResult result = Link() != nullptr
                                  ? Link()->WriteSingleRegister(Address(), RegisterMap::ReciprocateCommand, value)
                                  : ResultPortNotOpen;
  if (result != ResultSuccess) ShowResult(result);
  return result == ResultSuccess;
}

void CReciprocatePage::OnTimer() {
  if (!m_measuring || Link() == nullptr) return;
  uint8_t word[2] = {};
  uint16_t received = sizeof word;
  if (Link()->ReadHoldingRegisters(Address(), RegisterMap::ReciprocateCommand, 1, word, &received) != ResultSuccess ||
      received != sizeof word) {
    return;
  }
  if (word[0] != 0 || word[1] != 0) return;
  // Cleared first: a tick during the read's own message box does nothing.
  m_measuring = false;
  OnReadReciprocate();
}

// The preset speeds in the scale of the mode read, as their "读取" shows them.
bool CReciprocatePage::ShowParamBlock(const fields::ParamBlock& block, const uint8_t* record) {
  PresetSpeedBlock preset{};
  std::memcpy(&preset, record, std::min<size_t>(sizeof preset, block.spec->recordBytes));
  return ShowIfBlock(m_reciprocation, RegisterMap::Reciprocate, block, record) ||
         ShowIfBlock(m_presetSpeeds, RegisterMap::PresetSpeed, block, record, rec::PresetSpeeds(preset.speedMode));
}

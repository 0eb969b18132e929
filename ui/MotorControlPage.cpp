#include "ui/MotorControlPage.h"

#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <algorithm>

#include "ui/Retranslate.h"
#include "ui/Text.h"
#include "ui/forms/DialogLayout.h"
#include "ui/forms/MotorControlForm.h"

namespace mc = forms::motorcontrol;

namespace {

constexpr int TimerPeriodMs = 100;

// The register selectors of WriteSpeedCommand.
constexpr int PwmSelector = 0;
constexpr int FrequencySelector = 1;

}  // namespace

CMotorControlPage::CMotorControlPage()
    : CFieldPage(IDD), m_ramps(mc::Ramps(), mc::id::SetRamp), m_entries(mc::Entries()) {}

bool CMotorControlPage::OnInitDialog() {
  Build(mc::Groups(), {mc::Ramps(), mc::Entries(), mc::Controls()});
  Bind(m_ramps);
  BindTable(m_entries, 0);
  m_ramps.form.SetValues(fields::ToTexts(mc::Ramps(), mc::InitialRamps));
  m_ramps.form.Show();
  m_entries.SetValues(mc::InitialEntries());
  m_entries.Show();

  if (QSlider* pwm = Slider(mc::id::PwmSlider)) pwm->setRange(-mc::PwmLimit, mc::PwmLimit);
  const int frequencyLimit = mc::FrequencyMaximum(m_entries.Values()[mc::FrequencyMax].text).limit;
  if (QSlider* frequency = Slider(mc::id::FrequencySlider)) frequency->setRange(-frequencyLimit, frequencyLimit);
  const int positionLimit = mc::PositionMaximum(m_entries.Values()[mc::PositionMax].text).limit;
  if (QSlider* position = Slider(mc::id::PositionSlider)) position->setRange(-positionLimit, positionLimit);
  RefreshSliderLabels();

  OnClicked(mc::id::RunPwm, &CMotorControlPage::OnRunPwm);
  OnClicked(mc::id::RunFrequency, &CMotorControlPage::OnRunFrequency);
  OnClicked(mc::id::RunPosition, &CMotorControlPage::OnRunPosition);
  OnClicked(mc::id::Stop, &CMotorControlPage::OnStop);
  if (QWidget* stop = Control(mc::id::Stop)) ui::SetSourceToolTip(stop, forms::texts::StopTooltip);
  OnClicked(mc::id::ReadRamp, &CMotorControlPage::OnReadRamp);
  OnClicked(mc::id::SetRamp, &CMotorControlPage::OnSetRamp);
  if (QWidget* frequencyMax = Control(mc::id::FrequencyMax)) frequencyMax->installEventFilter(this);
  if (auto* positionMax = m_controls.As<QLineEdit>(mc::id::PositionMax)) {
    connect(positionMax, &QLineEdit::textChanged, this, &CMotorControlPage::OnChangeMaxPosition);
  }
  connect(&m_timer, &QTimer::timeout, this, &CMotorControlPage::RefreshSliderLabels);
  m_timer.start(TimerPeriodMs);
  return true;
}

void CMotorControlPage::OnDestroy() { m_timer.stop(); }

bool CMotorControlPage::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusOut && watched == Control(mc::id::FrequencyMax)) OnKillFocusMaxFrequency();
  return CFieldPage::eventFilter(watched, event);
}

QSlider* CMotorControlPage::Slider(int controlId) const { return m_controls.As<QSlider>(controlId); }

void CMotorControlPage::SetText(int controlId, const std::string& text) {
  const QString wanted = ToQString(text);
  QWidget* control = Control(controlId);
  if (auto* edit = qobject_cast<QLineEdit*>(control)) {
    if (edit->text() != wanted) edit->setText(wanted);
  } else if (auto* label = qobject_cast<QLabel*>(control)) {
    if (label->text() != wanted) label->setText(wanted);
  }
}

template <class Call>
void CMotorControlPage::RunCommand(Call call) {
  const ModbusResult result = Link() != nullptr ? call(*Link(), Address()) : ResultPortNotOpen;
  if (result != ResultSuccess) ShowResult(result);
}

void CMotorControlPage::RefreshSliderLabels() {
  if (QSlider* pwm = Slider(mc::id::PwmSlider)) SetText(mc::id::PwmLabel, mc::PwmText(pwm->value()));
  if (QSlider* frequency = Slider(mc::id::FrequencySlider)) {
    SetText(mc::id::FrequencyLabel, mc::FrequencyText(frequency->value()));
  }
  if (QSlider* position = Slider(mc::id::PositionSlider)) {
    SetText(mc::id::PositionLabel, mc::PositionText(position->value()));
  }
}

void CMotorControlPage::OnRunPwm() {
  const QSlider* pwm = Slider(mc::id::PwmSlider);
  const auto duty = static_cast<uint16_t>(pwm != nullptr ? pwm->value() : 0);
  RunCommand([duty](DriverLink& link, uint8_t slave) { return link.WriteSpeedCommand(slave, duty, PwmSelector); });
}

void CMotorControlPage::OnRunFrequency() {
  const QSlider* frequency = Slider(mc::id::FrequencySlider);
  const auto tenths = static_cast<uint16_t>(frequency != nullptr ? frequency->value() : 0);
  RunCommand(
      [tenths](DriverLink& link, uint8_t slave) { return link.WriteSpeedCommand(slave, tenths, FrequencySelector); });
}

uint16_t CMotorControlPage::StopMode() {
  m_entries.Take();
  return static_cast<uint16_t>(std::max(m_entries.Values()[mc::StopMode].index, 0));
}

void CMotorControlPage::OnStop() {
  const uint16_t mode = StopMode();
  RunCommand([mode](DriverLink& link, uint8_t slave) { return link.WriteStopCommand(slave, mode); });
}

void CMotorControlPage::OnRunPosition() {
  m_entries.Take();
  const forms::FormValues& values = m_entries.Values();
  const std::optional<uint16_t> frequency = mc::MoveFrequencyWord(values[mc::MoveFrequency].text);
  if (!frequency) {
    Refuse(m_entries, {mc::MoveFrequency, mc::MoveFrequencyMessage()});
    return;
  }
  const QSlider* slider = Slider(mc::id::PositionSlider);
  const int32_t position = slider != nullptr ? slider->value() : 0;
  const auto type = static_cast<uint16_t>(std::max(values[mc::PositionType].index, 0));
  RunCommand([&](DriverLink& link, uint8_t slave) { return link.WritePositionMove(slave, *frequency, position, type); });
}

void CMotorControlPage::OnReadRamp() { ReadBlock(m_ramps, &DriverLink::ReadRamp); }

void CMotorControlPage::OnSetRamp() { ConfigureBlock(m_ramps, &DriverLink::WriteRamp); }

void CMotorControlPage::OnKillFocusMaxFrequency() {
  m_entries.Take();
  const mc::SliderMaximum maximum = mc::FrequencyMaximum(m_entries.Values()[mc::FrequencyMax].text);
  SetText(mc::id::FrequencyMax, maximum.text);
  if (QSlider* frequency = Slider(mc::id::FrequencySlider)) frequency->setRange(-maximum.limit, maximum.limit);
}

void CMotorControlPage::OnChangeMaxPosition() {
  m_entries.Take();
  const mc::SliderMaximum maximum = mc::PositionMaximum(m_entries.Values()[mc::PositionMax].text);
  SetText(mc::id::PositionMax, maximum.text);
  if (QSlider* position = Slider(mc::id::PositionSlider)) position->setRange(-maximum.limit, maximum.limit);
}

bool CMotorControlPage::ShowParamBlock(const fields::ParamBlock& block, const uint8_t* record) {
  return ShowIfBlock(m_ramps, RegisterMap::Ramp, block, record);
}

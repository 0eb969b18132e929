// The "电机控制" page: runs the motor by PWM duty, by commutation frequency
// and to a position, stops it three ways, and reads and sets the ramps.
#pragma once

#include <QTimer>
#include <string>

#include "driver/RegisterMap.h"
#include "ui/FieldPage.h"

class QSlider;

class CMotorControlPage : public CFieldPage {
 public:
  static constexpr int IDD = 130;

  CMotorControlPage();

  void OnRunPwm();
  void OnRunFrequency();
  void OnRunPosition();
  void OnStop();
  // The stop mode chosen on the page (0 normal, 1 emergency, 2 free stop):
  // what its stop button sends, and the main window's stop from anywhere.
  uint16_t StopMode();
  void OnReadRamp();
  void OnSetRamp();
  bool ShowParamBlock(const fields::ParamBlock& block, const uint8_t* record) override;
  // The frequency maximum is clamped when its edit loses the focus; the
  // position maximum at every change of its text.
  void OnKillFocusMaxFrequency();
  void OnChangeMaxPosition();
  // The value labels follow the sliders on every tick of the page's timer.
  void RefreshSliderLabels();

  void OnDestroy() override;

 protected:
  bool OnInitDialog() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QSlider* Slider(int controlId) const;
  // Rewrites an edit or a label only when its text changes.
  void SetText(int controlId, const std::string& text);
  // Runs one command on the link; only a failure is shown.
  template <class Call>
  void RunCommand(Call call);

  BlockForm<RampBlock> m_ramps;
  FieldForm m_entries;
  QTimer m_timer;
};

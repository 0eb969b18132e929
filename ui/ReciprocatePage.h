// The "往复运动" page: the reciprocation settings and the preset speeds, each
// group read and configured on its own; the test buttons send homing to SQ1
// or SQ2, stroke measurement and cancel, and a 250 ms watch shows the stroke
// once a measurement has ended.
#pragma once

#include <QTimer>
#include <cstdint>

#include "driver/RegisterMap.h"
#include "ui/FieldPage.h"

class CReciprocatePage : public CFieldPage {
 public:
  static constexpr int IDD = 136;
  static constexpr int WatchPeriodMs = 250;

  CReciprocatePage();

  void OnReadReciprocate();
  void OnConfigureReciprocate();
  void OnReadPresetSpeed();
  void OnConfigurePresetSpeed();
  bool ShowParamBlock(const fields::ParamBlock& block, const uint8_t* record) override;
  void OnResetSq2();
  void OnResetSq1();
  void OnMeasureStroke();
  void OnCancelOperation();
  // The watch: while a measurement runs, reads the command register and,
  // once it reads 0, the reciprocation block. Failed reads say nothing.
  void OnTimer();

  // A measurement was started and the watch has not yet seen its end.
  bool IsMeasuring() const { return m_measuring; }

  void OnDestroy() override;

 protected:
  bool OnInitDialog() override;

 private:
  // Writes `value` to the command register; a failure is shown.
  bool SendCommand(uint16_t value);

  BlockForm<ReciprocateBlock> m_reciprocation;
  BlockForm<PresetSpeedBlock> m_presetSpeeds;
  bool m_measuring = false;
  QTimer m_watch;
};
